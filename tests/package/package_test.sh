#!/usr/bin/env bash
# Builds the Debian package from a built tree, checks its contents and metadata, lints it, unpacks
# it into a temporary root and starts the unpacked launcher on the X display in $DISPLAY with a
# temporary HOME.
#   package_test.sh CPACK BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
cpack=$1 build=$2 source=$3 version=$4

tmp=$(mktemp -d /tmp/corvane-package-test.XXXXXX)
program_pid=
cleanup() {
    if [ -n "$program_pid" ]; then
        kill "$program_pid" 2>/dev/null || true
        wait "$program_pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "--- $* ($SECONDS s)"; }

step "building the package"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
    { cat "$tmp/cpack.log"; fail "cpack failed"; }
deb=$tmp/out/corvane_${version}_amd64.deb
[ -f "$deb" ] || { ls "$tmp/out"; fail "no corvane_${version}_amd64.deb"; }

step "metadata"
[ "$(dpkg-deb -f "$deb" Package)" = corvane ] || fail "Package is not corvane"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version is not $version"
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
expect_file -rw-r--r-- usr/lib/corvane/plugins/markdown_export.so
expect_file -rw-r--r-- usr/lib/corvane/plugins/html_export.so
for f in usr/share/applications/corvane.desktop usr/share/doc/corvane/copyright \
    usr/share/doc/corvane/changelog.gz usr/share/man/man1/corvane.1.gz \
    usr/share/man/man1/corvane-admin.1.gz usr/share/corvane/server/README.md \
    usr/share/corvane/server/schema.sql usr/share/corvane/server/admin.sql \
    usr/share/corvane/server/nginx/corvane usr/share/corvane/server/www/changelog.txt \
    usr/share/corvane/server/www/download.html usr/include/corvane_plugin.h \
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

step "unpacking"
root=$tmp/root
dpkg-deb -x "$deb" "$root"
cmp -s "$root/usr/share/corvane/server/schema.sql" "$source/db/schema.sql" ||
    fail "the server kit's schema is not db/schema.sql"

# Every library the binaries load directly is a dependency, found by dpkg-shlibdeps.
libs=$(objdump -p "$root/usr/lib/corvane/corvane" "$root/usr/bin/corvane-admin" |
    awk '$1 == "NEEDED" { print $2 }' | sort -u)
dpkg -S $(printf '*/x86_64-linux-gnu/%s ' $libs) 2>/dev/null |
    sed -E 's/^([^:]+):[^ ]* (.*)$/\1 \2/' >"$tmp/owners"
for lib in $libs; do
    owner=$(awk -v lib="$lib" '{ n = split($2, p, "/") } p[n] == lib { print $1; exit }' "$tmp/owners")
    [ -n "$owner" ] || fail "no package holds $lib"
    depends_on "$owner" || fail "Depends lacks $owner (for $lib)"
done
for package in libwxgtk3.2-1 libmariadb3; do
    depends_on "$package" || fail "Depends lacks $package"
done
# The program reports the package's version.
grep -qaF -- "$version-" "$root/usr/lib/corvane/corvane" ||
    fail "the program does not report version $version"

step "lintian"
lintian_status=0
lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || lintian_status=$?
grep -v "^running with root privileges" "$tmp/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

step "starting the unpacked launcher"
home=$tmp/home
mkdir -p "$home"
env -u XDG_DATA_HOME HOME="$home" "$root/usr/bin/corvane" >"$tmp/run.log" 2>&1 &
program_pid=$!
timeout 60 xdotool search --sync --onlyvisible --name '^Corvane$' >/dev/null ||
    { cat "$tmp/run.log"; fail "the main window did not open"; }
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
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=

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
