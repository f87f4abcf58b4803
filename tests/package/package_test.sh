#!/usr/bin/env bash
# Builds the Debian package as the READMEs say, with scripts/package on a fresh copy of the source
# tree that lies below a directory only its owner may enter: first for another cloud (a private
# database with a port and password of its own), then the standard package. Checks what building
# installs, the versions and settings of both packages, the standard package's contents, metadata
# and lint, and starts the unpacked launchers with a temporary HOME on a private display, beside
# the copy's own services.
#   package_test.sh SOURCE_DIR RELEASE
set -euo pipefail
source=$1 release=$2

tmp=$(mktemp -d /tmp/corvane-package-test.XXXXXX)
chmod 700 "$tmp"
program_pid=
close_window() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    program_pid=
}
cleanup() {
    close_window
    declare -F stop_services >/dev/null && stop_services
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "--- $* ($SECONDS s)"; }

step "what building the package installs"
# scripts/package sets up only what building needs: nothing it installs, directly or through
# dependencies, is a server or a display.
apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances $("$source/scripts/setup" --package --list) |
    grep -v '^ ' | sort -u >"$tmp/build-packages"
[ "$(wc -l <"$tmp/build-packages")" -gt 100 ] || fail "apt knows too little: $(cat "$tmp/build-packages")"
servers=$(grep -E '^(mariadb-server|mysql-server|nginx|apache2|xvfb|xserver-xorg-core)' \
    "$tmp/build-packages") && fail "building the package installs $servers"

step "a fresh copy of the source tree"
# What a clone holds: the tree without what building and running leave in it (.gitignore), and
# without git's own files.
copy=$tmp/corvane
mkdir "$copy"
tar -C "$source" -cf - --anchored --exclude='./build*' --exclude=./.run --exclude=./snippets \
    --exclude='./*.deb' --exclude=./.git --no-anchored --exclude='*.swp' --exclude=__pycache__ . |
    tar -C "$copy" -xf -
[ -x "$copy/scripts/package" ] && [ ! -e "$copy/build-package" ] || fail "the copy is not fresh"

# The copy's own services: a display, the database and the HTTP services, all below $tmp.
CORVANE_SERVICES_DIR=$tmp/services
source "$copy/scripts/services.sh"
trap cleanup EXIT
start_xvfb
start_db
start_http
db_port=$CORVANE_DB_PORT
sql() { mariadb --no-defaults --socket="$CORVANE_TEST_DB_DIR/mysqld.sock" -uroot -N -e "$1"; }
team_password="team-$RANDOM-password"
# The team's cloud takes the program's account over TLS only.
sql "ALTER USER 'corvane'@'%' IDENTIFIED BY '$team_password' REQUIRE SSL"
export CORVANE_DB_PASSWORD=$team_password
# Object files compiled for one copy serve the next when ccache is in use.
export CCACHE_BASEDIR=$copy

# package [CMAKE ARGUMENTS]: runs scripts/package on the copy; prints the package's path.
package() {
    "$copy/scripts/package" "$@" >"$tmp/package.log" 2>&1 || {
        tail -n 40 "$tmp/package.log" >&2
        return 1
    }
    tail -n 1 "$tmp/package.log"
}
# unpack DEB DIR
unpack() { rm -rf "$2" && dpkg-deb -x "$1" "$2"; }
# open_window LOG COMMAND...: starts the program and waits for its main window. A search fails
# outright when a window it looks at goes away meanwhile (the splash screen), so it is repeated.
open_window() {
    "${@:2}" >"$1" 2>&1 &
    program_pid=$!
    local _
    for _ in $(seq 600); do
        xdotool search --onlyvisible --name '^Corvane$' >/dev/null 2>&1 && return
        kill -0 "$program_pid" 2>/dev/null || break
        sleep 0.1
    done
    cat "$1"
    fail "the main window did not open: $*"
}

step "the package for another cloud"
# Its certificate is signed by the CA the package carries, so TLS is required.
team_deb=$(package -DCORVANE_DB_PORT="$db_port" -DCORVANE_DB_PASSWORD="$team_password" \
    -DCORVANE_DB_CA="$CORVANE_TEST_DB_CA") || fail "scripts/package for another cloud failed"
team_version=$(dpkg-deb -f "$team_deb" Version)
[[ "$team_version" =~ ^"$release"\+cloud[0-9]{14}$ ]] ||
    fail "the team's version is $team_version, not $release+cloud<time>"
[ "$(basename "$team_deb")" = "corvane_${team_version}_amd64.deb" ] || fail "named $team_deb"
dpkg --compare-versions "$team_version" gt "$release" ||
    fail "$team_version does not replace $release"
team=$tmp/team
unpack "$team_deb" "$team"
# The source archive leaves out the build directory, whose cache holds the password in clear.
tar -xzOf "$team/usr/share/corvane/server/corvane-source.tar.gz" >"$tmp/archived-bytes"
grep -qaF "$team_password" "$tmp/archived-bytes" && fail "the source archive holds the team's password"

# The package installs the CA where the program looks for it; unpacked here, the tool finds no CA
# there and refuses the server, as it would refuse one whose certificate does not verify.
cmp -s "$team/usr/share/corvane/cloud-ca.pem" "$CORVANE_TEST_DB_CA" || fail "the package lacks the CA"
grep -qaF /usr/share/corvane/cloud-ca.pem "$team/usr/lib/corvane/corvane" ||
    fail "the program does not read the installed CA"
env -u CORVANE_DB_HOST -u CORVANE_DB_PORT -u CORVANE_DB_TLS -u CORVANE_DB_CA \
    CORVANE_ADMIN_PASSWORD=corvane-admin-local "$team/usr/bin/corvane-admin" list \
    >"$tmp/admin.log" 2>&1 && fail "the team's corvane-admin connected without its CA"
grep -qF "the cloud's certificate could not be verified" "$tmp/admin.log" ||
    fail "the team's corvane-admin: $(cat "$tmp/admin.log")"
# Without any other setting from the environment, the tool and the program reach the build's port
# with the build's password, over TLS verified with the package's CA.
team_env=(env -u CORVANE_DB_HOST -u CORVANE_DB_PORT -u CORVANE_DB_TLS -u CORVANE_DB_PASSWORD
    -u XDG_DATA_HOME CORVANE_DB_CA="$team/usr/share/corvane/cloud-ca.pem")
"${team_env[@]}" CORVANE_ADMIN_PASSWORD=corvane-admin-local \
    "$team/usr/bin/corvane-admin" list >"$tmp/admin.log" 2>&1 ||
    { cat "$tmp/admin.log"; fail "the team's corvane-admin does not reach port $db_port"; }
home=$tmp/home
mkdir -p "$home"
open_window "$tmp/team-run.log" "${team_env[@]}" HOME="$home" "$team/usr/bin/corvane"
[ "$(sql "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE USER = 'corvane'")" -ge 1 ] ||
    fail "the team's program is not connected to its cloud"
close_window

step "clear text to another host only when asked for"
# Configuring is enough to tell: the build's settings header says what the program does.
cmake -S "$copy" -B "$tmp/configure" -G Ninja -DCORVANE_TESTS=OFF \
    -DCORVANE_DB_HOST=db.example.org >"$tmp/configure.log" 2>&1 || fail "$(cat "$tmp/configure.log")"
grep -q 'kDbTls = "required"' "$tmp/configure/generated/BuildSettings.h" ||
    fail "a build for db.example.org does not require TLS"
package -DCORVANE_DB_HOST=db.example.org -DCORVANE_DB_TLS=off >/dev/null 2>&1 &&
    fail "a package for db.example.org was built for clear text"
grep -q "would send every login's password" "$tmp/package.log" ||
    fail "clear text refused without saying why: $(tail -n 5 "$tmp/package.log")"
cmake -S "$copy" -B "$tmp/configure" -DCORVANE_DB_TLS=off -DCORVANE_DB_CLEAR_TEXT=ON \
    >"$tmp/configure.log" 2>&1 || fail "clear text asked for is refused: $(cat "$tmp/configure.log")"
grep -q 'kDbTls = "off"' "$tmp/configure/generated/BuildSettings.h" || fail "clear text not set"

step "a port that is not one"
for port in 65536 03306; do
    package -DCORVANE_DB_PORT="$port" >/dev/null 2>&1 && fail "port $port was taken"
    grep -q "CORVANE_DB_PORT is not a TCP port number" "$tmp/package.log" ||
        fail "port $port: $(tail -n 5 "$tmp/package.log")"
done

step "the standard package, built next in the same tree"
deb=$(package) || fail "scripts/package failed"
[ "$(basename "$deb")" = "corvane_${release}_amd64.deb" ] || fail "the standard package is $deb"
root=$tmp/root
unpack "$deb" "$root"
# Nothing of the team's build is left: the tool is back on the standard port.
env -u CORVANE_DB_PORT CORVANE_DB_HOST=127.0.0.1 CORVANE_ADMIN_PASSWORD=none \
    "$root/usr/bin/corvane-admin" list >"$tmp/admin.log" 2>&1 && fail "logged in with no password"
grep -qF "at 127.0.0.1:3306 " "$tmp/admin.log" || fail "not port 3306: $(cat "$tmp/admin.log")"

step "metadata"
[ "$(dpkg-deb -f "$deb" Package)" = corvane ] || fail "Package is not corvane"
[ "$(dpkg-deb -f "$deb" Version)" = "$release" ] || fail "Version is not $release"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "Architecture is not amd64"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
depends_on() { [[ ", $depends," == *", $1 "* || ", $depends," == *", $1,"* ]]; }

step "contents"
dpkg-deb -c "$deb" | awk '{ print $1, $6 }' >"$tmp/contents"
expect_file() { # MODE PATH
    grep -qxF -- "$1 ./$2" "$tmp/contents" || fail "missing, or not mode $1: $2"
}
expect_file -rwxr-xr-x usr/bin/corvane
expect_file -rwxr-xr-x usr/bin/corvane-admin
expect_file -rwxr-xr-x usr/share/corvane/server/galera/corvane-node-check
expect_file -rwxr-xr-x usr/lib/corvane/corvane
expect_file -rwxr-xr-x usr/lib/corvane/corvane-http
expect_file -rw-r--r-- usr/lib/corvane/plugins/markdown_export.so
expect_file -rw-r--r-- usr/lib/corvane/plugins/html_export.so
for f in usr/share/applications/corvane.desktop usr/share/doc/corvane/copyright \
    usr/share/doc/corvane/changelog.gz usr/share/man/man1/corvane.1.gz \
    usr/share/man/man1/corvane-admin.1.gz usr/share/corvane/server/README.md \
    usr/share/corvane/server/schema.sql usr/share/corvane/server/admin.sql \
    usr/share/corvane/server/nginx/corvane usr/share/corvane/server/www/changelog.txt \
    usr/share/corvane/server/www/download.html usr/share/corvane/server/corvane-source.tar.gz \
    usr/include/corvane_plugin.h \
    usr/share/corvane/server/galera/60-corvane-galera.cnf \
    usr/share/corvane/server/galera/corvane-node-check.service \
    usr/share/corvane/server/haproxy/haproxy.cfg \
    usr/share/doc/corvane/examples/plugins/markdown_export.c \
    usr/share/doc/corvane/examples/plugins/html_export.c; do
    expect_file -rw-r--r-- "$f"
done
for size in 16 32 48 64 128 256; do
    expect_file -rw-r--r-- "usr/share/icons/hicolor/${size}x${size}/apps/corvane.png"
done
for icon in "$source"/icons/*.png; do
    expect_file -rw-r--r-- "usr/share/corvane/icons/$(basename "$icon")"
done
cmp -s "$root/usr/share/corvane/server/schema.sql" "$source/db/schema.sql" ||
    fail "the server kit's schema is not db/schema.sql"
# The source archive holds the source tree as the copy had it, and nothing that building added.
tar -tzf "$root/usr/share/corvane/server/corvane-source.tar.gz" | grep -v '/$' |
    sed 's,^corvane-source/,,' | sort >"$tmp/archived"
(cd "$copy" && find . \( -path ./build-package -o -name '*.deb' \) -prune -o \! -type d -print) |
    sed 's,^\./,,' | sort >"$tmp/source-files"
diff "$tmp/source-files" "$tmp/archived" >&2 || fail "the source archive differs from the tree"

# Every library the binaries load directly is a dependency, found by dpkg-shlibdeps.
libs=$(objdump -p "$root/usr/lib/corvane/corvane" "$root/usr/lib/corvane/corvane-http" \
    "$root/usr/bin/corvane-admin" |
    awk '$1 == "NEEDED" { print $2 }' | sort -u)
dpkg -S $(printf '*/x86_64-linux-gnu/%s ' $libs) 2>/dev/null |
    sed -E 's/^([^:]+):[^ ]* (.*)$/\1 \2/' >"$tmp/owners"
for lib in $libs; do
    owner=$(awk -v lib="$lib" '{ n = split($2, p, "/") } p[n] == lib { print $1; exit }' "$tmp/owners")
    [ -n "$owner" ] || fail "no package holds $lib"
    depends_on "$owner" || fail "Depends lacks $owner (for $lib)"
done
for package in libwxgtk3.2-1 libmariadb3 libcurl4; do
    depends_on "$package" || fail "Depends lacks $package"
done
# The program reports the release ("2.1.1a-linux", which the compiler may store in pieces).
grep -qaF -- "$release-" "$root/usr/lib/corvane/corvane" ||
    fail "the program does not report version $release"

step "lintian"
# Informational tags are shown too: a binary built without a hardening flag is one.
lintian_status=0
lintian --display-info --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 || lintian_status=$?
grep -v "^running with root privileges" "$tmp/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors or warnings"
grep -q ': hardening-' "$tmp/lintian.log" && fail "a binary lacks a hardening flag"

step "starting the unpacked launcher"
home=$tmp/home2
mkdir -p "$home"
# The cloud takes the program's account over TLS only: the environment asks the standard
# package for it.
open_window "$tmp/run.log" env -u XDG_DATA_HOME HOME="$home" CORVANE_DB_TLS=required \
    CORVANE_DB_CA="$CORVANE_TEST_DB_CA" "$root/usr/bin/corvane"
work=$home/.local/share/corvane
[ "$(readlink -f "/proc/$program_pid/cwd")" = "$work" ] || fail "the program does not run in $work"
[ -d "$work/snippets" ] && [ -d "$work/plugins" ] || fail "no snippets/ or plugins/ in $work"
# A new working directory starts with the sample plug-ins.
[ -f "$work/plugins/markdown_export.so" ] && [ -f "$work/plugins/html_export.so" ] ||
    fail "the sample plug-ins are not in $work/plugins"
[ "$(readlink -f "$work/icons")" = "$root/usr/share/corvane/icons" ] ||
    fail "icons/ does not lead to the installed icons"
# Every icon the program names is there, through the working directory, as a PNG.
icons=$(grep -aoE '\./icons/[A-Za-z0-9_]+\.png' "$root/usr/lib/corvane/corvane" | sort -u)
[ -n "$icons" ] || fail "the program names no icons"
for icon in $icons; do
    [ "$(head -c 8 "$work/$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "$icon does not load from $work"
done
close_window
# The program's HTTP requests are made by the helper installed beside it.
[ "$("$root/usr/lib/corvane/corvane-http" "http://$CORVANE_IP_ECHO_HOST/ip.php" 2000 3000 256)" = \
    127.0.0.1 ] || fail "the installed HTTP helper does not answer"

step "XDG_DATA_HOME, and a stale icons link"
data=$tmp/data
mkdir -p "$data/corvane"
ln -s /nonexistent "$data/corvane/icons"
CORVANE_EXIT_WHEN_IDLE=1 XDG_DATA_HOME=$data HOME="$home" "$root/usr/bin/corvane" \
    >"$tmp/run2.log" 2>&1 || { cat "$tmp/run2.log"; fail "the program did not start and end"; }
[ "$(readlink -f "$data/corvane/icons")" = "$root/usr/share/corvane/icons" ] ||
    fail "the stale icons link was not renewed"
[ -d "$data/corvane/snippets" ] || fail "no snippets/ under XDG_DATA_HOME"

step "done"
