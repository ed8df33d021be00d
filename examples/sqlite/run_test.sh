#!/bin/sh
# The SQLite extension in the sqlite3 shell: each function on known values,
# and version 7 keys in the order the identifiers were made.
#   run_test.sh SQLITE3 EXTENSION
sqlite3=$1
extension=$2
fail=0
query() { "$sqlite3" -batch -bail :memory: ".load $extension" "$1"; }
check() {
    got=$(query "$2" 2>&1)
    if [ "$got" != "$3" ]; then echo "FAIL: $1: got '$got', want '$3'"; fail=1; fi
}
id=AAECAwQFBgcICQoLDA0ODw==
check "varo_uuid_rfc" "SELECT varo_uuid_rfc('$id');" 03020100-0504-0706-0809-0a0b0c0d0e0f
check "varo_uuid_key" "SELECT hex(varo_uuid_key('$id'));" 030201000504070608090A0B0C0D0E0F
check "NULL for a text that is not canonical" \
    "SELECT varo_uuid_rfc('AAECAwQFBgcICQoLDA0ODx==') IS NULL, varo_uuid_key('x') IS NULL, varo_uuid_key(NULL) IS NULL, varo_uuid_rfc(x'00') IS NULL;" "1|1|1|1"
# Version 4 and 7 by the version digit of the RFC form; the texts valid.
check "varo_uuid() and varo_uuid_v7()" \
    "SELECT substr(varo_uuid_rfc(varo_uuid()), 15, 1), substr(varo_uuid_rfc(varo_uuid_v7()), 15, 1), length(varo_uuid()), varo_uuid() != varo_uuid();" "4|7|24|1"
# 10,000 version 7 identifiers made in the order of n, in a WITHOUT ROWID
# table keyed by varo_uuid_key: read back by key, they come in order of n.
check "ORDER BY varo_uuid_key(id) is the order of generation" "
CREATE TABLE t(key BLOB PRIMARY KEY, id TEXT NOT NULL, n INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE made(n INTEGER PRIMARY KEY, id TEXT NOT NULL);
WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 10000)
INSERT INTO made SELECT n, varo_uuid_v7() FROM c;
INSERT INTO t SELECT varo_uuid_key(id), id, n FROM made;
SELECT count(*), count(DISTINCT id), sum(n = r) FROM
    (SELECT id, n, row_number() OVER (ORDER BY varo_uuid_key(id)) AS r FROM t);
SELECT count(*) FROM t WHERE key != varo_uuid_key(id);" "10000|10000|10000
0"
[ $fail -eq 0 ] && echo "sqlite_extension: all checks passed"
exit $fail
