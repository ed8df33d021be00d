#!/bin/sh
# Inserts ROWS rows into an on-disk WITHOUT ROWID table keyed by
# varo_uuid_key(id), once with version 4 identifiers and once with version 7,
# 10,000 rows a transaction, and prints both times, both database files'
# sizes and their ratios. scripts/bench runs it after the other benchmarks.
#   bench.sh SQLITE3 EXTENSION [ROWS [DIR]]     (ROWS: 1000000, DIR: a scratch directory)
set -eu
sqlite3=$1
extension=$2
rows=${3:-1000000}
dir=${4:-$(mktemp -d)}
batch=10000
mkdir -p "$dir"

# The statements for one run: the table, then the rows in transactions.
statements() {
    echo ".load $extension"
    echo "CREATE TABLE t(key BLOB PRIMARY KEY, n INTEGER NOT NULL) WITHOUT ROWID;"
    start=1
    while [ "$start" -le "$rows" ]; do
        end=$((start + batch - 1))
        [ "$end" -le "$rows" ] || end=$rows
        echo "BEGIN;"
        echo "WITH RECURSIVE c(n) AS (SELECT $start UNION ALL SELECT n + 1 FROM c WHERE n < $end)"
        echo "INSERT INTO t SELECT varo_uuid_key($1()), n FROM c;"
        echo "COMMIT;"
        start=$((end + 1))
    done
}

# Runs one version; prints "nanoseconds bytes".
run() {
    db=$dir/$1.db
    rm -f "$db" "$db-journal"
    statements "$1" >"$dir/$1.sql"
    begin=$(date +%s%N)
    "$sqlite3" -batch -bail "$db" <"$dir/$1.sql"
    end=$(date +%s%N)
    [ "$("$sqlite3" "$db" "SELECT count(*) FROM t;")" = "$rows" ] || { echo "bench.sh: $1: rows missing" >&2; exit 1; }
    echo "$((end - begin)) $(wc -c <"$db")"
}

v4=$(run varo_uuid)
v7=$(run varo_uuid_v7)
echo "SQLite: $rows rows into an on-disk WITHOUT ROWID table keyed by varo_uuid_key, $batch a transaction ($("$sqlite3" --version | cut -d' ' -f1))"
echo "$v4 $v7" | awk '{
    printf "  version 4: %8.2f s  %8.1f MiB\n", $1 / 1e9, $2 / 1048576
    printf "  version 7: %8.2f s  %8.1f MiB\n", $3 / 1e9, $4 / 1048576
    printf "  version 7 / version 4: time %.3f, file size %.3f\n", $3 / $1, $4 / $2
}'
