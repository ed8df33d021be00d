#!/bin/sh
# The varo-uuid tool: output, round trips, and bad input refused with a
# message on stderr, nothing on stdout and a non-zero status.
tool=$1
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

id=$("$tool")
check "one identifier" 'printf %s "$id" | grep -Eq "^[A-Za-z0-9+_]{21}[AQgw]==$"'
check "-n 5 gives five distinct" '[ "$("$tool" -n 5 | sort -u | grep -Ec "^[A-Za-z0-9+_]{21}[AQgw]==$")" = 5 ]'
check "known --hex" '[ "$("$tool" --hex AAECAwQFBgcICQoLDA0ODw==)" = 000102030405060708090a0b0c0d0e0f ]'
check "known --from-hex" '[ "$("$tool" --from-hex FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF)" = _____________________w== ]'
check "round trip" '[ "$("$tool" --from-hex "$("$tool" --hex "$id")")" = "$id" ]'
check "--help" '"$tool" --help | grep -q Usage'

for args in "-n 0" "-n -3" "-n x" "-n 1x" "-n" "-n 99999999999999999999999" \
            "--hex AAECAwQFBgcICQoLDA0ODx==" "--hex AAECAwQFBgcICQoLDA0ODw" \
            "--hex AAECAwQFBgcICQoLDA0OD/==" "--hex" "--hex a b" \
            "--from-hex 000102" "--from-hex 000102030405060708090a0b0c0d0e0g" "--from-hex g00102030405060708090a0b0c0d0e0f" \
            "--from-hex 000102030405060708090a0b0c0d0e0f00" "--bogus" "-x"; do
    # shellcheck disable=SC2086
    "$tool" $args >"$out" 2>"$err"
    status=$?
    check "'$args' fails" '[ $status -ne 0 ]'
    check "'$args' prints nothing on stdout" '[ ! -s "$out" ]'
    check "'$args' explains on stderr" '[ -s "$err" ]'
done
[ $fail -eq 0 ] && echo "tool_test: all checks passed"
exit $fail
