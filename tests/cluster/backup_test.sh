#!/usr/bin/env bash
# The server kit's backup recipe, run on the cluster that scripts/cluster started: node3 leaves
# the cluster's pace (HAProxy takes it out), mariadb-backup copies it, it rejoins the pace, the
# copy is prepared, and a server started on the copy holds what the cluster held.
#   backup_test.sh SOURCE_DIR      (the cluster in $CORVANE_TEST_CLUSTER_DIR)
set -euo pipefail
source=$1
cluster=${CORVANE_TEST_CLUSTER_DIR:?the cluster tests run through scripts/test}

tmp=$(mktemp -d /tmp/corvane-backup-test.XXXXXX)
cleanup() {
    "$source/scripts/db" stop "$tmp" || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}
# sql SOCKET STATEMENT: the rows, tab-separated, as root.
sql() {
    mariadb --no-defaults --socket="$1" -uroot --batch --skip-column-names -e "$2"
}
node1=$cluster/node1/mysqld.sock node3=$cluster/node3/mysqld.sock

sql "$node1" "TRUNCATE corvane.snippets;
    INSERT INTO corvane.snippets(uid, title, content) VALUES(1, 'kept', 'a'), (1, 'too', 'b')"
sql "$node3" "SET GLOBAL wsrep_desync = ON"
[ "$(sql "$node3" "SHOW STATUS LIKE 'wsrep_local_state_comment'" | cut -f2)" = Donor/Desynced ] ||
    fail "node3 did not leave the cluster's pace"
status=0
mariadb-backup --backup --galera-info --socket="$node3" --user=root --target-dir="$tmp/data" \
    >"$tmp/backup.log" 2>&1 || status=$?
sql "$node3" "SET GLOBAL wsrep_desync = OFF"
[ "$status" = 0 ] || { cat "$tmp/backup.log" >&2; fail "mariadb-backup --backup failed"; }
mariadb-backup --prepare --target-dir="$tmp/data" >"$tmp/prepare.log" 2>&1 ||
    { cat "$tmp/prepare.log" >&2; fail "mariadb-backup --prepare failed"; }

# The copy knows the point in the cluster's history it was taken at.
uuid=$(sql "$node3" "SHOW STATUS LIKE 'wsrep_cluster_state_uuid'" | cut -f2)
grep -qs "^$uuid:[0-9]" "$tmp/data/xtrabackup_galera_info" ||
    fail "the backup does not name the cluster's position ($uuid)"

# A server of its own on the copy, without the network or the cluster.
mariadbd --no-defaults --user=root --datadir="$tmp/data" --socket="$tmp/mysqld.sock" \
    --skip-networking --pid-file="$tmp/mysqld.pid" --log-error="$tmp/error.log" \
    --innodb-buffer-pool-size=32M </dev/null >/dev/null 2>&1 &
for _ in $(seq 300); do
    sql "$tmp/mysqld.sock" "SELECT 1" >/dev/null 2>&1 && break
    sleep 0.1
done
rows=$(sql "$tmp/mysqld.sock" "SELECT title, content FROM corvane.snippets ORDER BY sid") ||
    { cat "$tmp/error.log" >&2; fail "the copy does not start"; }
[ "$rows" = $'kept\ta\ntoo\tb' ] || fail "the copy holds: $rows"
echo "backup of node3 restored with its rows"
