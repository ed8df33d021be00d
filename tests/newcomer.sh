#!/bin/sh
# The newcomer's path through the README, with the commands taken from the
# page: "Install" (in a copy of the source tree, with HOME in a scratch
# folder, so ~/.local is there), "A first program" (its program saved under
# the name it gives, built and run) and "SQLite", in one shell, each output
# against what the page shows. `sudo apt-get install` is not run: the
# packages it names must be installed already.
#   newcomer.sh SOURCE_DIR SCRATCH
set -eu
src=$(cd "$1" && pwd)
scratch=$2
fail() { echo "newcomer: $*" >&2; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch/home" "$scratch/src"
(cd "$src" && tar --exclude=./build --exclude=./.git -cf - .) | tar -xf - -C "$scratch/src"

# The lines of the code blocks of README section $1 ("## $1"), each block
# opened by a line "```LANG".
section() {
    awk -v want="## $1" '
        /^## / { inside = ($0 == want) }
        inside && /^```/ { block = !block; if (block) print; next }
        inside && block' "$src/README.md"
}

# The program of "A first program": the C block, under the name its first
# line gives ("/* hello.c: ... */").
section "A first program" | awk '/^```c$/ { c = 1; next } /^```/ { c = 0 } c' >"$scratch/program.c"
program=$(sed -n '1s|^/\* \([A-Za-z0-9_]*\.c\):.*|\1|p' "$scratch/program.c")
[ -n "$program" ] || fail "the first program does not name its file"

# One script: the Install block as it stands, the program saved, then each
# "$ " command of the other two sections with its output into a file of its own.
{
    echo 'sudo() { if [ "$1 $2" = "apt-get install" ]; then shift 2; for p; do case $p in -*) ;; *)'
    echo '    dpkg-query -W -f="\${Status}" "$p" 2>/dev/null | grep -q "ok installed" || { echo "not installed: $p" >&2; exit 1; } ;; esac; done; else "$@"; fi; }'
    echo 'set -e'
    section Install | grep -v '^```'
    echo "cp '$scratch/program.c' '$program'"
    for s in "A first program" SQLite; do
        section "$s" | sed -n 's/^\$ //p' | while IFS= read -r cmd; do
            printf '%s >"%s/out.%s" 2>&1\n' "$cmd" "$scratch" "$(printf '%s' "$cmd" | cksum | cut -d' ' -f1)"
        done
    done
} >"$scratch/path.sh"
echo "-- the commands, from README.md:"
sed -n '4,$p' "$scratch/path.sh"
(cd "$scratch/src" && env -u CMAKE_BUILD_TYPE HOME="$scratch/home" sh "$scratch/path.sh") >"$scratch/path.log" 2>&1 ||
    { tail -n 40 "$scratch/path.log"; fail "the README's commands failed"; }

# Each command's output against the page: a program that makes a new
# identifier prints one; the rest print what the page shows.
is_text() { printf '%s\n' "$1" | grep -Eqx '[A-Za-z0-9+_]{21}[AQgw]=='; }
checked=0
for s in "A first program" SQLite; do
    section "$s" | awk '/^```/ { next } /^\$ / { if (cmd != "") print cmd "\t" out; cmd = substr($0, 3); out = ""; next }
        cmd != "" { out = out $0 } END { if (cmd != "") print cmd "\t" out }' >"$scratch/records"
    while IFS="$(printf '\t')" read -r cmd want; do
        got=$(cat "$scratch/out.$(printf '%s' "$cmd" | cksum | cut -d' ' -f1)")
        case $cmd in
            "./${program%.c}")
                is_text "$want" || fail "the page shows '$want' for \$ $cmd"
                is_text "$got" || fail "\$ $cmd printed '$got'" ;;
            *) [ "$got" = "$want" ] || fail "\$ $cmd printed '$got', the page shows '$want'" ;;
        esac
        checked=$((checked + 1))
    done <"$scratch/records"
done
[ "$checked" -ge 3 ] || fail "the README shows $checked commands with their output, not 3 or more"
echo "newcomer: the README's install, first program and SQLite commands work ($checked outputs checked)"
