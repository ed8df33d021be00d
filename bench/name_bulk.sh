#!/bin/sh
# The bulk job of name-based identifiers: one identifier per line of a file
# of LINES URLs, through `varo-uuid -5 @url -` and through a python3 -c
# loop over uuid.uuid5(NAMESPACE_URL, line), each timed on the same file
# (best of three), and the ratio of the two. The outputs are checked to
# name the same identifiers. scripts/bench runs it after the other
# benchmarks.
#   name_bulk.sh TOOL [LINES [DIR]]     (LINES: 1000000, DIR: a scratch directory)
set -eu
tool=$1
lines=${2:-1000000}
dir=${3:-$(mktemp -d)}
mkdir -p "$dir"

names=$dir/urls.txt
python3 -c '
import sys
n = int(sys.argv[1])
sys.stdout.write("".join(f"https://example.com/catalog/item/{i}?ref=bulk\n" for i in range(n)))
' "$lines" >"$names"

# The best of three runs of a command, in nanoseconds.
best() {
    best_ns=
    for _ in 1 2 3; do
        begin=$(date +%s%N)
        "$@"
        end=$(date +%s%N)
        ns=$((end - begin))
        [ -n "$best_ns" ] && [ "$best_ns" -le "$ns" ] || best_ns=$ns
    done
    echo "$best_ns"
}
ours() { "$tool" -5 @url - <"$names" >"$dir/ours.txt"; }
python() {
    python3 -c '
import sys, uuid
ns = uuid.NAMESPACE_URL
sys.stdout.write("".join(str(uuid.uuid5(ns, line[:-1])) + "\n" for line in sys.stdin))
' <"$names" >"$dir/python.txt"
}
ours_ns=$(best ours)
python_ns=$(best python)
"$tool" --rfc - <"$dir/ours.txt" | cmp -s - "$dir/python.txt" ||
    { echo "name_bulk.sh: varo-uuid and Python differ" >&2; exit 1; }

python3 - "$lines" "$ours_ns" "$python_ns" <<'PY'
import sys
lines, ours, python = int(sys.argv[1]), int(sys.argv[2]), int(sys.argv[3])
print(f"Name-based, {lines:,} lines of URLs, one version 5 identifier each (best of 3):")
print(f"  varo-uuid -5 @url -          {ours / 1e9:7.3f} s  {ours / lines:8.1f} ns a line")
print(f"  python3 -c ... uuid.uuid5    {python / 1e9:7.3f} s  {python / lines:8.1f} ns a line")
print(f"  varo-uuid / python3          {ours / python:7.3f}")
PY
