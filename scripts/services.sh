# Private services for tests and demo runs, sourced by scripts/test and scripts/run.
# Everything lives in one temporary directory and is stopped by PID on exit, failure or interrupt.

CORVANE_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
SERVICES_DIR=$(mktemp -d /tmp/corvane-services.XXXXXX)
SERVICE_PIDS=()

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
    rm -rf "$SERVICES_DIR"
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
}

# Starts a private MariaDB on a free loopback port and loads the schema, the moderators' account
# (and optional extra SQL files).
start_db() {
    local dir="$SERVICES_DIR/db" port
    port=$(free_port)
    "$CORVANE_ROOT/scripts/db" start "$dir" "$port"
    "$CORVANE_ROOT/scripts/db" load "$dir" "$CORVANE_ROOT/db/schema.sql" "$CORVANE_ROOT/db/admin.sql" "$@"
    export CORVANE_DB_HOST=127.0.0.1
    export CORVANE_DB_PORT=$port
    export CORVANE_DB_PASSWORD=${CORVANE_DB_PASSWORD:-corvane-local}
    # Tests reach the server as root through its socket to seed data, and restart it through scripts/db.
    export CORVANE_TEST_DB_DIR=$dir
}
