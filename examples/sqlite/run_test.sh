#!/bin/sh
# The SQLite extension in the sqlite3 shell: each function on known values,
# and version 7 and 6 keys in the order the identifiers were made.
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
# 16 bytes in network order, the BLOB other systems share, both ways:
# known values, and 10,000 random BLOBs (each byte value at each place
# about 40 times) against their hex digits, which are the RFC form's.
check "varo_uuid_to_blob and varo_uuid_from_blob" \
    "SELECT hex(varo_uuid_to_blob('$id')), varo_uuid_from_blob(x'030201000504070608090a0b0c0d0e0f'), varo_uuid_rfc(varo_uuid_from_blob(x'c232ab00941411ecb3c89f6bdeced846'));" \
    "030201000504070608090A0B0C0D0E0F|$id|c232ab00-9414-11ec-b3c8-9f6bdeced846"
check "varo_uuid_from_blob of 10,000 random BLOBs" "
CREATE TABLE r(b BLOB);
WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 10000)
INSERT INTO r SELECT randomblob(16) FROM c;
SELECT sum(replace(varo_uuid_rfc(varo_uuid_from_blob(b)), '-', '') = lower(hex(b))),
    sum(varo_uuid_to_blob(varo_uuid_from_blob(b)) = b), sum(varo_uuid_key(varo_uuid_from_blob(b)) = b) FROM r;" \
    "10000|10000|10000"
check "NULL for anything but a text or a 16-byte BLOB" \
    "SELECT varo_uuid_to_blob('AAECAwQFBgcICQoLDA0ODx==') IS NULL, varo_uuid_to_blob(NULL) IS NULL, varo_uuid_from_blob(NULL) IS NULL,
        varo_uuid_from_blob('$id') IS NULL, varo_uuid_from_blob(x'') IS NULL, varo_uuid_from_blob(zeroblob(15)) IS NULL,
        varo_uuid_from_blob(zeroblob(17)) IS NULL, varo_uuid_from_blob(1) IS NULL;" "1|1|1|1|1|1|1|1"
# The time of versions 1, 6 (to the 100 ns) and 7 (to the millisecond):
# the RFC's example of 1 and 6, the last 100 ns before 1970, the first and
# last millisecond of version 7; NULL for another version or a bad text.
check "varo_uuid_time" \
    "SELECT varo_uuid_time('AKsywhSU7BGzyJ9r3s7YRg=='), varo_uuid_time('TEHJHiojAGuzyJ9r3s7YRg=='), varo_uuid_time('_z+BE9IdshGAAAAAAAAAAA==');
     SELECT varo_uuid_time('AAAAAAAAAHCAAAAAAAAAAA=='), varo_uuid_time('________AHCAAAAAAAAAAA==');
     SELECT varo_uuid_time('$id') IS NULL, varo_uuid_time(varo_uuid()) IS NULL, varo_uuid_time(NULL) IS NULL, varo_uuid_time('x') IS NULL;" \
    "2022-02-22T19:22:22.0000000Z|2022-02-22T19:22:22.0000000Z|1969-12-31T23:59:59.9999999Z
1970-01-01T00:00:00.000Z|10889-08-02T05:31:50.655Z
1|1|1|1"
# Versions 6 and 1 made now: the version digit, the node's multicast bit,
# a time SQLite reads as now.
check "varo_uuid_v6() and varo_uuid_v1()" "
WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 500),
    made(v, id) AS (SELECT 6, varo_uuid_v6() FROM c UNION ALL SELECT 1, varo_uuid_v1() FROM c)
SELECT v, count(DISTINCT id), sum(substr(varo_uuid_rfc(id), 15, 1) = CAST(v AS TEXT)),
    sum(instr('13579bdf', substr(varo_uuid_rfc(id), 26, 1)) > 0),
    sum(abs(julianday(varo_uuid_time(id)) - julianday('now')) * 86400 < 5) FROM made GROUP BY v ORDER BY v;" \
    "1|500|500|500|500
6|500|500|500|500"
# Name-based: the RFC's vectors; the namespace in each spelling the tool
# takes; a name as TEXT or as BLOB, NUL bytes included; NULL gives NULL.
dns=6ba7b810-9dad-11d1-80b4-00c04fd430c8
check "varo_uuid_v5() and varo_uuid_v3()" \
    "SELECT varo_uuid_rfc(varo_uuid_v5('@dns', 'www.example.com')), varo_uuid_rfc(varo_uuid_v3('@dns', 'www.example.com'));" \
    "2ed6657d-e927-568b-95e1-2665a8aea6a2|5df41881-3aed-3515-88a7-2f4a814cf09e"
check "every spelling of a namespace, and TEXT or BLOB" "
SELECT count(DISTINCT varo_uuid_v5(ns, name)) FROM
    (SELECT column1 AS ns FROM (VALUES ('@dns'), ('ELina62d0RGAtADAT9QwyA=='), ('$dns'),
        ('{$dns}'), ('urn:uuid:$dns'), ('6BA7B8109DAD11D180B400C04FD430C8'))),
    (SELECT column1 AS name FROM (VALUES ('www.example.com'), (CAST('www.example.com' AS BLOB))));
SELECT varo_uuid_v5('@url', x'') = varo_uuid_v5('@url', ''), varo_uuid_v5('@url', x'00') != varo_uuid_v5('@url', ''),
    varo_uuid_rfc(varo_uuid_v5('@oid', '1.3.6.1.4.1')), varo_uuid_rfc(varo_uuid_v3('@x500', 'CN=Example,O=Org')),
    varo_uuid_rfc(varo_uuid_v5('AAAAAAAAAAAAAAAAAAAAAA==', x'610062'));" "1
1|1|106dd502-8b3e-50db-80ed-1134f5c18eae|ea8993eb-87f6-3576-94e2-1a421679a046|a7650b9f-f19f-5300-8a13-91160ea8de2c"
check "NULL in, NULL out" "SELECT varo_uuid_v5(NULL, 'x') IS NULL, varo_uuid_v3('@dns', NULL) IS NULL;" "1|1"
# A bad namespace or a name that is a number fails the statement.
for bad in "varo_uuid_v5('@DNS', 'x')" "varo_uuid_v5('AAECAwQFBgcICQoLDA0ODx==', 'x')" \
    "varo_uuid_v3(' $dns', 'x')" "varo_uuid_v5(x'00', 'x')" "varo_uuid_v5(1, 'x')" \
    "varo_uuid_v3('@url', 42)" "varo_uuid_v5('@url', 4.5)"; do
    if got=$(query "SELECT $bad;" 2>&1) || ! printf '%s' "$got" | grep -q 'varo_uuid: '; then
        echo "FAIL: $bad is not an error: '$got'"
        fail=1
    fi
done
# Version 4 and 7 by the version digit of the RFC form; the texts valid.
check "varo_uuid() and varo_uuid_v7()" \
    "SELECT substr(varo_uuid_rfc(varo_uuid()), 15, 1), substr(varo_uuid_rfc(varo_uuid_v7()), 15, 1), length(varo_uuid()), varo_uuid() != varo_uuid();" "4|7|24|1"
# 10,000 version 7 identifiers made in the order of n, in a WITHOUT ROWID
# table keyed by varo_uuid_key: read back by key, they come in order of n.
for v in 7 6; do
check "ORDER BY varo_uuid_key(id) is the order of generation, version $v" "
CREATE TABLE t(key BLOB PRIMARY KEY, id TEXT NOT NULL, n INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE made(n INTEGER PRIMARY KEY, id TEXT NOT NULL);
WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM c WHERE n < 10000)
INSERT INTO made SELECT n, varo_uuid_v$v() FROM c;
INSERT INTO t SELECT varo_uuid_key(id), id, n FROM made;
SELECT count(*), count(DISTINCT id), sum(n = r) FROM
    (SELECT id, n, row_number() OVER (ORDER BY varo_uuid_key(id)) AS r FROM t);
SELECT count(*) FROM t WHERE key != varo_uuid_key(id);" "10000|10000|10000
0"
done
[ $fail -eq 0 ] && echo "sqlite_extension: all checks passed"
exit $fail
