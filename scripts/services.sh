# Private services for tests and demo runs, sourced by scripts/test and scripts/run.
# Everything lives in one directory and is stopped by PID on exit, failure or interrupt. The
# directory is a temporary one, removed at the end, unless CORVANE_SERVICES_DIR names one to keep
# (scripts/run keeps its cloud from one run to the next).

CORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [ -n "${CORVANE_SERVICES_DIR:-}" ]; then
    SERVICES_DIR=$CORVANE_SERVICES_DIR
    SERVICES_KEPT=1
    mkdir -p "$SERVICES_DIR"
else
    SERVICES_DIR=$(mktemp -d /tmp/corvane-services.XXXXXX)
    SERVICES_KEPT=0
fi
SERVICE_PIDS=()
# The Galera cluster behind HAProxy (scripts/cluster) has its place here: the cluster tests start
# it themselves (a ctest fixture), start_cluster starts it at once. Its nodes run as the mysql
# user, which must be able to pass through this directory.
export CORVANE_TEST_CLUSTER_DIR=$SERVICES_DIR/cluster
chmod 711 "$SERVICES_DIR"

stop_services() {
    local pid
    for pid in "${SERVICE_PIDS[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${SERVICE_PIDS[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    # The database may have been restarted by a test under a new PID: its pid file knows.
    "$CORVANE_ROOT/scripts/db" stop "$SERVICES_DIR/db" 2>/dev/null || true
    [ ! -d "$CORVANE_TEST_CLUSTER_DIR" ] ||
        "$CORVANE_ROOT/scripts/cluster" stop "$CORVANE_TEST_CLUSTER_DIR" 2>/dev/null || true
    [ "$SERVICES_KEPT" = 1 ] || rm -rf "$SERVICES_DIR"
}
trap stop_services EXIT
trap 'exit 130' INT TERM

# A TCP port on loopback that nothing answers on.
free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 20000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return
        fi
    done
}

# Stops the process a pid file names when it is still running that program (a leftover of a run
# that was killed), and removes the pid file.
stop_pid_file() {
    local file=$1 program=$2 pid i
    [ -f "$file" ] || return 0
    pid=$(cat "$file" 2>/dev/null || true)
    if [ -n "$pid" ] && grep -qs "$program" "/proc/$pid/comm"; then
        kill "$pid" 2>/dev/null || true
        for i in $(seq 100); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
    fi
    rm -f "$file"
}

start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$SERVICES_DIR/display" 2>/dev/null &
    SERVICE_PIDS+=($!)
    local i
    for i in $(seq 100); do
        [ -s "$SERVICES_DIR/display" ] && break
        sleep 0.05
    done
    [ -s "$SERVICES_DIR/display" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(cat "$SERVICES_DIR/display")"
    # No accessibility bus runs here: GTK would only try to reach one (and keep what it made).
    export NO_AT_BRIDGE=1
}

# Starts a private nginx on a free loopback port for the two HTTP services, and on a second one
# with TLS ($CORVANE_TEST_HTTPS_HOST, its certificate signed by $CORVANE_TEST_HTTPS_CA). /ip.php
# answers the caller's address; the update service answers from files under
# $CORVANE_TEST_HTTP_ROOT:
#   PREFIX/app-ext/version-OS.txt   the body of PREFIX/app-ext/version.php?os=OS (404 when missing)
#   PREFIX/app-ext/changelog.txt    the changelog
#   PREFIX/download.html            the page of PREFIX/download.php
# PREFIX is empty for the default answers (the current version). A test writes its own answers
# into a directory of its own and points CORVANE_UPDATE_HOST at host:port/that-directory.
start_http() {
    local dir="$SERVICES_DIR/http" port tls_port i
    port=$(free_port)
    tls_port=$(free_port)
    while [ "$tls_port" = "$port" ]; do tls_port=$(free_port); done
    mkdir -p "$dir/www/app-ext" "$dir/temp"
    [ -f "$dir/tls/server-cert.pem" ] ||
        "$CORVANE_ROOT/server/make-certificates" "$dir/tls" 127.0.0.1 >/dev/null
    printf '2.1.1a-linux' >"$dir/www/app-ext/version-linux.txt"
    printf 'Corvane 2.1.1a\n\n- Snippets on disk and in the cloud.\n' >"$dir/www/app-ext/changelog.txt"
    printf '<html><body><h1>Corvane downloads</h1></body></html>\n' >"$dir/www/download.html"
    # An nginx left running by a run that was killed would hold on to this directory.
    stop_pid_file "$dir/nginx.pid" nginx
    sed -e "s|@DIR@|$dir|g" -e "s|@PORT@|$port|g" -e "s|@TLS_PORT@|$tls_port|g" \
        -e "s|@USER@|$(id -un)|g" \
        "$CORVANE_ROOT/scripts/nginx.conf.in" >"$dir/nginx.conf"
    nginx -c "$dir/nginx.conf" -e "$dir/error.log" 2>>"$dir/error.log" &
    SERVICE_PIDS+=($!)
    for i in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
        sleep 0.05
    done
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || {
        echo "nginx did not start; see $dir/error.log" >&2
        return 1
    }
    export CORVANE_IP_ECHO_HOST=127.0.0.1:$port
    export CORVANE_UPDATE_HOST=127.0.0.1:$port
    export CORVANE_TEST_HTTP_ROOT=$dir/www
    export CORVANE_TEST_HTTPS_HOST=https://127.0.0.1:$tls_port
    export CORVANE_TEST_HTTPS_CA=$dir/tls/ca.pem
}

# Starts a private MariaDB on a free loopback port. A new data directory gets the schema, the
# moderators' account and the SQL files given (demo data); a kept one is used as it is.
start_db() {
    local dir="$SERVICES_DIR/db" port new=0
    port=$(free_port)
    [ -d "$dir/data/mysql" ] || new=1
    # The server offers TLS with certificates of its own, made once (scripts/db requires it when
    # CORVANE_DB_REQUIRE_TLS=1); the program verifies them against tls/ca.pem.
    [ -f "$dir/tls/server-cert.pem" ] ||
        "$CORVANE_ROOT/server/make-certificates" "$dir/tls" 127.0.0.1 localhost >/dev/null
    "$CORVANE_ROOT/scripts/db" start "$dir" "$port"
    if [ "$new" = 1 ]; then
        "$CORVANE_ROOT/scripts/db" load "$dir" "$CORVANE_ROOT/db/schema.sql" \
            "$CORVANE_ROOT/db/admin.sql" "$@"
    fi
    export CORVANE_DB_HOST=127.0.0.1
    export CORVANE_DB_PORT=$port
    export CORVANE_DB_PASSWORD=${CORVANE_DB_PASSWORD:-corvane-local}
    # Tests reach the server as root through its socket to seed data, and restart it through scripts/db.
    export CORVANE_TEST_DB_DIR=$dir
    export CORVANE_TEST_DB_CA=$dir/tls/ca.pem
}

# Starts the 3-node Galera cluster with HAProxy in front (scripts/cluster); CORVANE_TEST_CLUSTER_DIR
# names its directory, whose file `port` holds HAProxy's port.
start_cluster() {
    "$CORVANE_ROOT/scripts/cluster" start "$CORVANE_TEST_CLUSTER_DIR"
}
