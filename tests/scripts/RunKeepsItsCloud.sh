#!/usr/bin/env bash
# scripts/run keeps its cloud from one run to the next, recovers from a run that was killed, and
# starts over with --fresh. Each run opens the program until its first idle moment.
#   RunKeepsItsCloud.sh PROGRAM
set -euo pipefail
program=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d /tmp/corvane-run-test.XXXXXX)
# The cloud lies below a directory that only its owner may enter, as a checkout below /root does:
# its servers must still read their files.
chmod 700 "$work"
db="$work/cloud/db"
cleanup() {
    "$root/scripts/db" stop "$db" 2>/dev/null || true
    [ -f "$work/cloud/http/nginx.pid" ] && kill "$(cat "$work/cloud/http/nginx.pid")" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
export CORVANE_RUN_DIR=$work CORVANE_RUN_PROGRAM=$program CORVANE_EXIT_WHEN_IDLE=1
fail() {
    echo "FAILED: $*" >&2
    exit 1
}
# Runs SQL as root on the stopped cloud of the last run, starting and stopping its server.
sql() {
    "$root/scripts/db" start "$db" "$(cat "$db/port")" >/dev/null
    mariadb --no-defaults --socket="$db/mysqld.sock" -uroot -N corvane -e "$1"
    "$root/scripts/db" stop "$db"
}

"$root/scripts/run" >"$work/run1.log" 2>&1 || fail "first run: $(cat "$work/run1.log")"
# The program reached its cloud, which takes encrypted connections only, with TLS required.
grep -q "Failed to connect" "$work/run1.log" && fail "the first run did not reach its cloud: $(cat "$work/run1.log")"
ca=$(cat "$db/tls/ca.pem")
demo=$(sql "SELECT COUNT(*) FROM snippets")
[ "$demo" -gt 0 ] || fail "no demo data after the first run"
[ -d "$work/snippets" ] || fail "no local snippets after the first run"
sql "INSERT INTO snippets(uid, title, language, content) VALUES(1, 'kept', 'C', 'x')"

# The next run keeps the row and does not load the demo data again.
"$root/scripts/run" >"$work/run2.log" 2>&1 || fail "second run: $(cat "$work/run2.log")"
[ "$(sql "SELECT COUNT(*) FROM snippets")" = $((demo + 1)) ] || fail "the second run lost or added rows"
# The certificates were made once, and the second run reached the cloud with them.
[ "$(cat "$db/tls/ca.pem")" = "$ca" ] || fail "the second run made new certificates"
grep -q "Failed to connect" "$work/run2.log" && fail "the second run did not reach its cloud"
pgrep -f "datadir=$db/data" >/dev/null && fail "the database still runs after the window closed"

# A run killed outright leaves its server running and its pid and socket files behind.
unset CORVANE_EXIT_WHEN_IDLE
setsid "$root/scripts/run" >"$work/run3.log" 2>&1 &
leader=$!
for _ in $(seq 200); do
    [ -S "$db/mysqld.sock" ] && [ -f "$work/cloud/http/nginx.pid" ] && pgrep -f "$program" >/dev/null && break
    sleep 0.1
done
pgrep -f "$program" >/dev/null || fail "the third run did not start: $(cat "$work/run3.log")"
[ "$(mariadb --no-defaults --socket="$db/mysqld.sock" -uroot -N -e "SELECT @@require_secure_transport")" = 1 ] ||
    fail "the running cloud does not require TLS"
kill -9 -- -"$leader"
sleep 0.5
pgrep -f "datadir=$db/data" >/dev/null || fail "the killed run's server should have outlived it"
export CORVANE_EXIT_WHEN_IDLE=1
"$root/scripts/run" >"$work/run4.log" 2>&1 || fail "run after a killed one: $(cat "$work/run4.log")"
[ "$(sql "SELECT COUNT(*) FROM snippets WHERE title = 'kept'")" = 1 ] || fail "the row is gone after the killed run"

# --fresh starts over from the demo data.
"$root/scripts/run" --fresh >"$work/run5.log" 2>&1 || fail "fresh run: $(cat "$work/run5.log")"
[ "$(sql "SELECT COUNT(*) FROM snippets")" = "$demo" ] || fail "--fresh kept rows"
echo "scripts/run keeps its cloud: passed"
