#!/bin/sh
# The varo-uuid tool: output, round trips, reading values from standard
# input, and bad input refused with a message on stderr, nothing on stdout
# and the documented status (2 bad usage, 1 a bad value).
tool=$1
src=${2:-} # the source tree, whose README and manual page show examples
fail=0
examples=0
check() { if ! eval "$2"; then printf 'FAIL: %s\n' "$1"; fail=1; fi; }
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

id=$("$tool")
check "one identifier" 'printf %s "$id" | grep -Eq "^[A-Za-z0-9+_]{21}[AQgw]==$"'
check "-n 5 gives five distinct" '[ "$("$tool" -n 5 | sort -u | grep -Ec "^[A-Za-z0-9+_]{21}[AQgw]==$")" = 5 ]'
check "known --hex" '[ "$("$tool" --hex AAECAwQFBgcICQoLDA0ODw==)" = 000102030405060708090a0b0c0d0e0f ]'
check "known --from-hex" '[ "$("$tool" --from-hex FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF)" = _____________________w== ]'
check "round trip" '[ "$("$tool" --from-hex "$("$tool" --hex "$id")")" = "$id" ]'
check "--help" '"$tool" --help | grep -q Usage'
check "-h" '"$tool" -h | grep -q Usage'
# Of --help and --version the first wins, as in GNU tools.
check "--help --version" '"$tool" --help --version >"$out" 2>"$err" && [ ! -s "$err" ] && head -n1 "$out" | grep -q Usage'
check "--version -h" '"$tool" --version -h >"$out" 2>"$err" && [ ! -s "$err" ] && grep -Eqx "varo-uuid .*\(library .*\)" "$out"'
# One line: this program's version and that of the library it runs with,
# which here is the one built with it.
for opt in --version -V --vers; do
    check "$opt" '"$tool" $opt >"$out" 2>"$err" && [ ! -s "$err" ] && [ "$(wc -l <"$out")" = 1 ] &&
        grep -Eqx "varo-uuid ([0-9]+\.[0-9]+\.[0-9]+) \(library \1\)" "$out"'
done
# Options in any order and in each usual form: "-n 3", "-n3", "--count 3",
# "--count=3", clustered, abbreviated.
while IFS='|' read -r version args; do
    # shellcheck disable=SC2086
    check "'$args' makes three of version $version" \
        '"$tool" $args >"$out" && [ "$(sort -u "$out" | wc -l)" = 3 ] &&
         [ "$("$tool" --info - <"$out" | cut -d" " -f2 | sort -u)" = $version ]'
done <<'EOF_FORMS'
4|-n 3
4|-n3
4|--count 3
4|--count=3
4|--cou=3
7|-n 3 -7
7|-7 -n 3
7|-7 -n3
7|-7n3
7|--count=3 -7
6|-6 -n 3
6|-n3 -6 -r
1|-1 --count=3
1|-r1n3
4|--as-rfc -n 3
EOF_FORMS
check "--rfc=TEXT" '[ "$("$tool" --rfc=AAECAwQFBgcICQoLDA0ODw==)" = 03020100-0504-0706-0809-0a0b0c0d0e0f ]'
check "an abbreviated --from-h" '[ "$("$tool" --from-h 000102030405060708090a0b0c0d0e0f)" = AAECAwQFBgcICQoLDA0ODw== ]'
rfc=03020100-0504-0706-0809-0a0b0c0d0e0f
check "known --rfc" '[ "$("$tool" --rfc AAECAwQFBgcICQoLDA0ODw==)" = $rfc ]'
for form in $rfc 03020100-0504-0706-0809-0A0B0C0D0E0F "{$rfc}" urn:uuid:$rfc URN:UUID:$rfc 030201000504070608090a0b0c0d0e0f; do
    check "--from-rfc $form" '[ "$("$tool" --from-rfc "$form")" = AAECAwQFBgcICQoLDA0ODw== ]'
done
# Version 7: valid texts, in increasing RFC order, each after the last.
check "-7" '[ "$("$tool" -7 | "$tool" --info - | cut -d" " -f2)" = 7 ]'
check "-7 -n 1000 in increasing RFC order" \
    '"$tool" -7 -n 1000 | "$tool" --rfc - >"$out" && [ "$(wc -l <"$out")" = 1000 ] && LC_ALL=C sort -c -u "$out"'
check "known --info of version 7" \
    '[ "$("$tool" --info AAAAAAAAAHCAAAAAAAAAAA==)" = "00000000-0000-7000-8000-000000000000 7 1970-01-01T00:00:00.000Z 00000000000000708000000000000000" ]'
check "known --info of version 7 at the last millisecond" \
    '[ "$("$tool" --info ________AHCAAAAAAAAAAA==)" = "ffffffff-ffff-7000-8000-000000000000 7 10889-08-02T05:31:50.655Z ffffffffffff00708000000000000000" ]'
check "--info of version 4" '"$tool" --info "$id" | grep -Eqx "[0-9a-f-]{36} 4 [0-9a-f]{32}"'
check "--info of the nil identifier" '[ "$("$tool" --info AAAAAAAAAAAAAAAAAAAAAA==)" = "00000000-0000-0000-0000-000000000000 - 00000000000000000000000000000000" ]'
# Versions 6 and 1: the RFC's example (2022-02-22T19:22:22Z), the first
# and last 100 ns of version 6, and the last 100 ns before 1970 in version 1.
while IFS='|' read -r text line; do
    check "known --info $text" '[ "$("$tool" --info "$text")" = "$line" ]'
done <<'EOF_TIMES'
AKsywhSU7BGzyJ9r3s7YRg==|c232ab00-9414-11ec-b3c8-9f6bdeced846 1 2022-02-22T19:22:22.0000000Z 00ab32c21494ec11b3c89f6bdeced846
TEHJHiojAGuzyJ9r3s7YRg==|1ec9414c-232a-6b00-b3c8-9f6bdeced846 6 2022-02-22T19:22:22.0000000Z 4c41c91e2a23006bb3c89f6bdeced846
AAAAAAAAAGCAAAAAAAAAAA==|00000000-0000-6000-8000-000000000000 6 1582-10-15T00:00:00.0000000Z 00000000000000608000000000000000
_________2+__________w==|ffffffff-ffff-6fff-bfff-ffffffffffff 6 5236-03-31T21:21:00.6846975Z ffffffffffffff6fbfffffffffffffff
0h2yAYET_2+AAAAAAAAAAA==|01b21dd2-1381-6fff-8000-000000000000 6 1606-12-27T04:30:00.0003071Z d21db2018113ff6f8000000000000000
_z+BE9IdshGAAAAAAAAAAA==|13813fff-1dd2-11b2-8000-000000000000 1 1969-12-31T23:59:59.9999999Z ff3f8113d21db2118000000000000000
EOF_TIMES
# --info takes every RFC form that --from-rfc takes, and prints the same.
for form in c232ab00-9414-11ec-b3c8-9f6bdeced846 "{C232AB00-9414-11EC-B3C8-9F6BDECED846}" \
    urn:uuid:c232ab00-9414-11ec-b3c8-9f6bdeced846 C232AB00941411ECB3C89F6BDECED846; do
    check "--info $form" '[ "$("$tool" --info "$form")" = "$("$tool" --info AKsywhSU7BGzyJ9r3s7YRg==)" ]'
done
# --json: every key, the variant named by the top bits of RFC byte 8.
while IFS='|' read -r value json; do
    check "--info --json $value" '[ "$("$tool" --info "$value" --json)" = "$json" ]'
done <<'EOF_JSON'
AAAAAAAAAAAAAAAAAAAAAA==|{"text":"AAAAAAAAAAAAAAAAAAAAAA==","rfc":"00000000-0000-0000-0000-000000000000","variant":"ncs","version":null,"time":null,"unix_s":null,"ns":null,"raw":"00000000000000000000000000000000","bytes":"00000000000000000000000000000000"}
_____________________w==|{"text":"_____________________w==","rfc":"ffffffff-ffff-ffff-ffff-ffffffffffff","variant":"future","version":null,"time":null,"unix_s":null,"ns":null,"raw":"ffffffffffffffffffffffffffffffff","bytes":"ffffffffffffffffffffffffffffffff"}
00000000-0000-0000-d000-000000000000|{"text":"AAAAAAAAAADQAAAAAAAAAA==","rfc":"00000000-0000-0000-d000-000000000000","variant":"microsoft","version":null,"time":null,"unix_s":null,"ns":null,"raw":"0000000000000000d000000000000000","bytes":"0000000000000000d000000000000000"}
AAAAAAAAAADgAAAAAAAAAA==|{"text":"AAAAAAAAAADgAAAAAAAAAA==","rfc":"00000000-0000-0000-e000-000000000000","variant":"future","version":null,"time":null,"unix_s":null,"ns":null,"raw":"0000000000000000e000000000000000","bytes":"0000000000000000e000000000000000"}
AAECAwQFBgcICQoLDA0ODw==|{"text":"AAECAwQFBgcICQoLDA0ODw==","rfc":"03020100-0504-0706-0809-0a0b0c0d0e0f","variant":"ncs","version":null,"time":null,"unix_s":null,"ns":null,"raw":"000102030405060708090a0b0c0d0e0f","bytes":"030201000504070608090a0b0c0d0e0f"}
_z+BE9IdshGAAAAAAAAAAA==|{"text":"_z+BE9IdshGAAAAAAAAAAA==","rfc":"13813fff-1dd2-11b2-8000-000000000000","variant":"rfc9562","version":1,"time":"1969-12-31T23:59:59.9999999Z","unix_s":-1,"ns":999999900,"raw":"ff3f8113d21db2118000000000000000","bytes":"13813fff1dd211b28000000000000000"}
________AHCAAAAAAAAAAA==|{"text":"________AHCAAAAAAAAAAA==","rfc":"ffffffff-ffff-7000-8000-000000000000","variant":"rfc9562","version":7,"time":"10889-08-02T05:31:50.655Z","unix_s":281474976710,"ns":655000000,"raw":"ffffffffffff00708000000000000000","bytes":"ffffffffffff70008000000000000000"}
EOF_JSON
check "--info --json - of 3 lines" \
    '[ "$(printf "%s\n" AAAAAAAAAAAAAAAAAAAAAA== $rfc AKsywhSU7BGzyJ9r3s7YRg== | "$tool" --json --info - | grep -c "^{\"text\":.*}$")" = 3 ]'
# Versions 6 and 1: in order (version 1 by its time, then its clock
# sequence), the node's multicast bit set, the time that of now.
# 20,000: enough that many fall within one 100 ns count, where only the
# fraction in the clock sequence keeps them in order.
check "-6 -n 20000 in increasing RFC order" \
    '"$tool" -6 -n 20000 -r >"$out" && [ "$(wc -l <"$out")" = 20000 ] && LC_ALL=C sort -c -u "$out"'
check "-1 -n 20000 in increasing order of time, then clock sequence" \
    '"$tool" -1 -n 20000 --as-rfc >"$out" && [ "$(wc -l <"$out")" = 20000 ] &&
     awk -F- "{ print substr(\$3, 2) \$2 \$1 \$4 }" "$out" | LC_ALL=C sort -c -u'
check "-6 and -1: the multicast bit of the node" \
    '[ "$( ("$tool" -6 -n 500 -r; "$tool" -1 -n 500 -r) | grep -Ec "^.{25}[13579bdf]")" = 1000 ]'
check "--info - of -6 and -1: the time to the 100 ns, of today" \
    '("$tool" -6 -n 500; "$tool" -1 -n 500) | "$tool" --info - >"$out" &&
     [ "$(grep -Ec " [16] $(date -u +%Y)-[0-9]{2}-[0-9]{2}T[0-9:]{8}\.[0-9]{7}Z [0-9a-f]{32}$" "$out")" = 1000 ]'
check "-r of -5 and -3" \
    '[ "$("$tool" -r -5 @dns www.example.com) $(echo www.example.com | "$tool" -3 @dns - --as-rfc)" = "2ed6657d-e927-568b-95e1-2665a8aea6a2 5df41881-3aed-3515-88a7-2f4a814cf09e" ]'
check "-r: the RFC form of a new identifier" '"$tool" -r | grep -Eqx "[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}"'
# Network order (--bytes, --from-bytes) against the GUID record (--hex,
# --from-hex): the RFC form without its dashes.
check "known --bytes" '[ "$("$tool" --bytes AAECAwQFBgcICQoLDA0ODw==)" = 030201000504070608090a0b0c0d0e0f ]'
check "known --from-bytes" '[ "$("$tool" --from-bytes 030201000504070608090A0B0C0D0E0F)" = AAECAwQFBgcICQoLDA0ODw== ]'
check "--bytes - and --from-bytes - of 1000 against --rfc and --from-rfc" \
    '"$tool" -n 1000 >"$out" && "$tool" --bytes - <"$out" >"$err" &&
     [ "$("$tool" --rfc - <"$out" | tr -d - | cmp - "$err" && echo same)" = same ] &&
     "$tool" --from-bytes - <"$err" | cmp -s - "$out" && "$tool" --from-rfc - <"$err" | cmp -s - "$out"'
check "--info - of 1000" '"$tool" -7 -n 1000 | "$tool" --info - | grep -Ec " 7 [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:]{8}\.[0-9]{3}Z [0-9a-f]{32}$" | grep -qx 1000'
# 32 hex digits read two ways: --from-hex as the raw bytes in order,
# --from-rfc as the RFC form without its dashes; --info shows both, the raw
# bytes last.
check "--from-hex and --from-rfc of the same digits" \
    '[ "$("$tool" --from-hex 000102030405060708090a0b0c0d0e0f) $("$tool" --from-rfc 000102030405060708090a0b0c0d0e0f)" = "AAECAwQFBgcICQoLDA0ODw== AwIBAAUEBwYICQoLDA0ODw==" ]'
check "--info of 1000: the RFC form back through --from-rfc, the last field through --from-hex" \
    '"$tool" -n 1000 >"$out" && "$tool" --info - <"$out" >"$err" &&
     awk "{ gsub(\"-\", \"\", \$1); print \$1 }" "$err" | "$tool" --from-rfc - | cmp -s - "$out" &&
     awk "{ print \$NF }" "$err" | "$tool" --from-hex - | cmp -s - "$out"'
# Usage errors exit with 2, bad data with 1.
for args in "-7 x" "-7 -n" "-7 -n 0" "-7 --rfc AAECAwQFBgcICQoLDA0ODw==" "-7 -7" "--info" "--info a b"; do
    # shellcheck disable=SC2086
    "$tool" $args >"$out" 2>"$err"
    status=$?
    check "'$args' is a usage error" '[ $status -eq 2 ] && [ ! -s "$out" ] && [ -s "$err" ]'
done
for bad in AAECAwQFBgcICQoLDA0ODx== AAECAwQFBgcICQoLDA0ODw "" x; do
    "$tool" --info "$bad" >"$out" 2>"$err"
    status=$?
    check "--info '$bad' is bad data" '[ $status -eq 1 ] && [ ! -s "$out" ] && [ -s "$err" ]'
done
check "--check of a canonical text" '"$tool" --check "$id" >"$out" 2>"$err" && [ ! -s "$out" ] && [ ! -s "$err" ]'

# Values from standard input: one result a line, and the first bad line
# stops the run after the lines before it, naming its number.
check "round trip of 1000 through --rfc - and --from-rfc -" \
    '"$tool" -n 1000 >"$out" && [ "$("$tool" --rfc - <"$out" | "$tool" --from-rfc - | cmp - "$out" && echo same)" = same ]'
check "--hex - and --from-hex - of 1000" \
    '[ "$("$tool" --hex - <"$out" | "$tool" --from-hex - | cmp - "$out" && echo same)" = same ]'
check "--check - of 1000" '"$tool" --check - <"$out" >"$err" && [ ! -s "$err" ]'
check "a last line without newline" '[ "$(printf AAECAwQFBgcICQoLDA0ODw== | "$tool" --rfc -)" = $rfc ]'
check "a long last line without newline after a shorter one" \
    '[ "$(printf "%s\n%s" $rfc urn:uuid:$rfc | "$tool" --from-rfc - | uniq -c | tr -s " ")" = " 2 AAECAwQFBgcICQoLDA0ODw==" ]'
# Each result goes out before the tool waits for more input: the first
# answer is there while the input stays open, well before the tool is
# stopped.
check "a result before the next line comes (a conversion and a name)" \
    '(echo AAECAwQFBgcICQoLDA0ODw==; sleep 3) | timeout 2 "$tool" --rfc - | cat >"$out" &
     (echo www.example.com; sleep 3) | timeout 2 "$tool" -5 @dns - | cat >"$err"; wait
     [ "$(cat "$out")" = $rfc ] && [ "$(cat "$err")" = fWXWLifpi1aV4SZlqK6mog== ]'
check "empty input" '"$tool" --rfc - </dev/null >"$out" && [ ! -s "$out" ]'
for opt in --check --hex --from-hex --rfc --from-rfc --info --bytes --from-bytes; do
    case $opt in
        --from-hex | --from-bytes) good=000102030405060708090a0b0c0d0e0f ;;
        --from-rfc) good=$rfc ;;
        *) good=AAECAwQFBgcICQoLDA0ODw== ;;
    esac
    for bad in "" "x" " $good" "$good " "$good$good"; do
        printf '%s\n%s\n%s\n%s\n' "$good" "$good" "$bad" "$good" | "$tool" $opt - >"$out" 2>"$err"
        status=$?
        lines=2
        [ $opt = --check ] && lines=0
        check "$opt - stops at bad line '$bad'" \
            '[ $status -eq 1 ] && [ "$(wc -l <"$out")" -eq $lines ] && grep -q "line 3" "$err"'
    done
done
# Bad input is quoted with every byte that a terminal would not show as
# itself escaped, from the command line and from standard input alike, and
# a carriage return at its end is named. Column 1 is the value as printf
# writes it, column 2 the quoted form that the message must hold.
# stderr holds only printable characters and newlines, and 'QUOTED' ($1).
quotes() { [ -z "$(tr -d '\n\040-\176' <"$err")" ] && grep -qF "'$1'" "$err"; }
while IFS='|' read -r raw quoted; do
    # shellcheck disable=SC2059
    value=$(printf "$raw")
    "$tool" --check "$value" >"$out" 2>"$err"
    check "--check of '$raw' quotes it as '$quoted'" 'quotes "$quoted"'
    printf '%s\n' "$value" | "$tool" --rfc - >"$out" 2>"$err"
    check "--rfc - of '$raw' quotes it as '$quoted'" 'quotes "$quoted" && grep -q "line 1: " "$err"'
    "$tool" -5 "$value" x >"$out" 2>"$err"
    check "-5 of namespace '$raw' quotes it as '$quoted'" 'quotes "$quoted"'
    case $raw in
        *'\r') check "'$raw' ends in a carriage return" 'grep -q "ends in a carriage return" "$err"' ;;
        *) check "'$raw' is not said to end in a carriage return" '! grep -q "carriage return" "$err"' ;;
    esac
done <<'EOF_QUOTED'
AAECAwQFBgcICQoLDA0ODw==\r|AAECAwQFBgcICQoLDA0ODw==\r
AAECAwQF\rBgcICQoLDA0ODw==|AAECAwQF\rBgcICQoLDA0ODw==
\033[2J\033[31mAAECAwQFBgcICQoLDA0ODw==|\x1b[2J\x1b[31mAAECAwQFBgcICQoLDA0ODw==
a\tb\001\037\177|a\tb\x01\x1f\x7f
\303\251\377|\xc3\xa9\xff
it's a \\|it\'s a \\
EOF_QUOTED
"$tool" "$(printf -- '--\033[31m')" >"$out" 2>"$err"
check "an unknown option is quoted" 'quotes "--\\x1b[31m"'
check "a NUL in a line" '! printf "AAECAwQFBgcICQoLDA0ODw==\\0\\n" | "$tool" --rfc - >"$out" 2>"$err" && grep -q "line 1" "$err"'

# Name-based: the RFC's vectors in each spelling of the namespace; names
# from standard input, one identifier a line, the same as one at a time.
# (rfc_oracle.py checks every byte value and length against Python.)
v5=fWXWLifpi1aV4SZlqK6mog== v3=gRj0Xe06FTWIpy9KgUzwng==
for ns in @dns ELina62d0RGAtADAT9QwyA== 6ba7b810-9dad-11d1-80b4-00c04fd430c8 \
    "{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}" urn:uuid:6ba7b810-9dad-11d1-80b4-00c04fd430c8 \
    6ba7b8109dad11d180b400c04fd430c8; do
    check "-5 $ns" '[ "$("$tool" -5 "$ns" www.example.com)" = $v5 ]'
    check "-3 $ns" '[ "$("$tool" -3 "$ns" www.example.com)" = $v3 ]'
done
check "-5 in any order" '[ "$("$tool" www.example.com -5 @dns)" = $v5 ] && [ "$("$tool" -5@dns www.example.com)" = $v5 ]'
check "-5 @dns - streams names" \
    '[ "$(printf "www.example.com\\n\\nx\\nwww.example.com" | "$tool" -5 @dns - | tr "\\n" " ")" = "$v5 $("$tool" -5 @dns "") $("$tool" -5 @dns x) $v5 " ]'
# On a terminal, one end-of-input ends a stream of names: the last name,
# sent without a newline by one Ctrl-D, then one Ctrl-D on its own. A tool
# that read again after that would wait for another; Python holds the
# pseudo-terminal and prints what the tool wrote, or "still reading".
names_on_a_terminal() {
    python3 - "$tool" <<'EOF_PTY'
import os, pty, subprocess, sys, termios
try:
    master, slave = pty.openpty()
except OSError:
    sys.exit(print("no pseudo-terminal"))
mode = termios.tcgetattr(slave)
mode[3] &= ~termios.ECHO
termios.tcsetattr(slave, termios.TCSANOW, mode)
tool = subprocess.Popen([sys.argv[1], "-5", "@dns", "-"], stdin=slave, stdout=subprocess.PIPE)
os.close(slave)
eof = mode[6][termios.VEOF]
os.write(master, b"www.example.com" + eof + eof)
try:
    out = tool.communicate(timeout=10)[0].decode()
except subprocess.TimeoutExpired:
    tool.kill()
    out = "still reading"
print(out.strip())
EOF_PTY
}
got=$(names_on_a_terminal)
if [ "$got" = "no pseudo-terminal" ]; then
    echo "tool_test: no pseudo-terminal here: one end-of-input on a terminal not checked"
else
    check "-5 @dns - on a terminal ends at one end-of-input ($got)" '[ "$got" = $v5 ]'
fi
check "-5 @dns - of no input" '"$tool" -5 @dns - </dev/null >"$out" && [ ! -s "$out" ]'
check "a name after --" '[ "$("$tool" -5 @url -- -n)" = "$(printf -- "-n\\n" | "$tool" -5 @url -)" ]'
check "a NUL and a carriage return are part of a name" \
    '[ "$(printf "a\\0b\\r\\n" | "$tool" -3 @oid -)" != "$(printf "ab\\n" | "$tool" -3 @oid -)" ] &&
     [ "$(printf "a\\0b\\r\\n" | "$tool" -3 @oid -)" != "$(printf "a\\0b\\n" | "$tool" -3 @oid -)" ]'
check "the first name that ends in a carriage return is said once, on stderr" \
    '[ "$(printf "a\\nb\\r\\nc\\r\\n" | "$tool" -5 @dns - 2>"$err" | wc -l)" = 3 ] &&
     [ "$(grep -c "line 2: the name ends in a carriage return" "$err")" = 1 ] && [ "$(wc -l <"$err")" = 1 ]'
check "-5 of a long name" '[ "$(head -c 100000 /dev/zero | tr "\\0" x | "$tool" -5 @x500 - | wc -l)" = 1 ]'
check "-5 and -3 read back as versions 5 and 3" \
    '[ "$("$tool" -5 @dns x | "$tool" --info - | cut -d" " -f2)$("$tool" -3 @dns x | "$tool" --info - | cut -d" " -f2)" = 53 ]'

# Each refused command with its exact status: 2 for bad usage (an unknown
# option, a bad N, a missing or extra argument), 1 for a bad value.
while IFS='|' read -r want args; do
    # Standard input from /dev/null, not from this table: a command that
    # reads it must not eat the rows after its own.
    # shellcheck disable=SC2086
    "$tool" $args </dev/null >"$out" 2>"$err"
    status=$?
    check "'$args' exits $want, not $status" '[ $status -eq $want ]'
    check "'$args' prints nothing on stdout" '[ ! -s "$out" ]'
    check "'$args' explains on stderr" '[ -s "$err" ]'
done <<'EOF_CASES'
2|-n 0
2|-n -3
2|-n x
2|-n 1x
2|-n
2|-n 99999999999999999999999
2|-n 3 4
2|--hex
2|--hex a b
2|--check
2|--rfc
2|--from-rfc
2|--from-hex
2|--help me
2|--bogus
2|-x
2|-7x
2|--count
2|--count=
2|--count=0
2|-n 3 -n 3
2|-n 3 --count=4
2|-7 --help
2|--version -n 3
2|--version x
2|--help --version x
2|-h --rfc AAECAwQFBgcICQoLDA0ODw==
2|-7 -6
2|-6 -6
2|-1 -n 3 -7
2|-1 -5 @dns x
2|-r -r
2|-r --rfc AAECAwQFBgcICQoLDA0ODw==
2|--info AAECAwQFBgcICQoLDA0ODw== -r
2|--json
2|-7 --json
2|--json --rfc AAECAwQFBgcICQoLDA0ODw==
2|--info AAECAwQFBgcICQoLDA0ODw== --json --json
2|--json=1 --info AAECAwQFBgcICQoLDA0ODw==
2|--bytes
2|--from-bytes
2|--from-bytes 000102030405060708090a0b0c0d0e0f x
2|--hex AAECAwQFBgcICQoLDA0ODw== --rfc AAECAwQFBgcICQoLDA0ODw==
2|--rfc AAECAwQFBgcICQoLDA0ODw== -n 1
2|--help=x
2|--from 000102030405060708090a0b0c0d0e0f
2|-5
2|-5 @dns
2|-3 @dns a b
2|-5 @dns -n 3 x
2|-7 -5 @dns x
2|-5 @dns x -3 @dns
2|-5 @dns x --rfc AAECAwQFBgcICQoLDA0ODw==
2|-5 @bogus
1|-5 @bogus x
1|-5 @DNS x
1|-3 dns x
1|-5 AAECAwQFBgcICQoLDA0ODx== x
1|-3 6ba7b810-9dad-11d1-80b4-00c04fd430c -
1|-5 {6ba7b8109dad11d180b400c04fd430c8} x
1|--hex AAECAwQFBgcICQoLDA0ODx==
1|--hex AAECAwQFBgcICQoLDA0ODw
1|--hex AAECAwQFBgcICQoLDA0OD/==
1|--check AAECAwQFBgcICQoLDA0ODx==
1|--rfc AAECAwQFBgcICQoLDA0ODx==
1|--from-rfc 03020100-0504-0706-0809-0a0b0c0d0e0
1|--from-rfc {030201000504070608090a0b0c0d0e0f}
1|--from-hex 000102
1|--from-hex 000102030405060708090a0b0c0d0e0g
1|--from-hex g00102030405060708090a0b0c0d0e0f
1|--from-hex 000102030405060708090a0b0c0d0e0f00
1|--bytes AAECAwQFBgcICQoLDA0ODx==
1|--bytes 03020100-0504-0706-0809-0a0b0c0d0e0f
1|--from-bytes 03020100-0504-0706-0809-0a0b0c0d0e0f
1|--from-bytes 000102030405060708090a0b0c0d0e0
1|--from-bytes 000102030405060708090a0b0c0d0e0g
1|--info 03020100-0504-0706-0809-0a0b0c0d0e0
1|--info {030201000504070608090a0b0c0d0e0f}
1|--json --info AAECAwQFBgcICQoLDA0ODx==
EOF_CASES
# The examples of the README, of the manual in docs/ and of varo-uuid(1)
# that make no fresh identifier and write no file: each command of the tool
# or of Python (stdout and stderr, white space folded, as a page may wrap a
# line) gives what the page shows. The programs and sqlite3 commands of the
# pages run against the installed files (tests/install/run.sh).
folded() { printf '%s\n' "$1" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
if [ -n "$src" ]; then
    bin=$(mktemp -d)
    ln -s "$(cd "$(dirname "$tool")" && pwd)/$(basename "$tool")" "$bin/varo-uuid"
    for page in "$src/README.md" "$src"/docs/*.md "$src/man/varo-uuid.1"; do
        sed -e 's/\\-/-/g' -e "s/\\\\(aq/'/g" -e 's/\\(rs/\\/g' "$page" |
            awk -v dir="$bin" -f "$src/tests/doc_examples.awk" | grep '^cmd' | cut -f2- >"$out"
        while IFS="$(printf '\t')" read -r cmd want; do
            case $cmd in varo-uuid* | *"| varo-uuid"* | python3*) ;; *) continue ;; esac
            case " $cmd " in *" -n "* | *" -7 "* | *">"*) continue ;; esac
            got=$(PATH="$bin:$PATH" sh -c "$cmd" 2>&1)
            check "${page#"$src/"}: \$ $cmd" '[ "$(folded "$got")" = "$(folded "$want")" ]'
            examples=$((examples + 1))
        done <"$out"
    done
    rm -r "$bin"
    check "the pages hold 15 examples to run, not $examples" '[ "$examples" -ge 15 ]'
fi
[ $fail -eq 0 ] && echo "tool_test: all checks passed"
exit $fail
