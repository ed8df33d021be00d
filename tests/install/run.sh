#!/bin/sh
# Installs the build into a scratch prefix and checks what a user gets there:
# the files and their links, the library's SONAME and run-time needs, the
# headers from C99 and C++20, a consumer through find_package() and one
# through pkg-config, both also linked with the static library, the
# installed tool, the SQLite extension and the manual pages.
#
# Usage: run.sh BUILD_DIR SCRATCH LIBDIR INCLUDEDIR BINDIR VERSION CC CXX TOOL SANITIZE MANDIR SQLITE3
#   TOOL is ON when the tool is built; SANITIZE the sanitizer list of the
#   build, whose runtime the consumers then need too (may be empty);
#   SQLITE3 the sqlite3 shell when the SQLite extension is built, else empty.
set -eu

build=$1 scratch=$2 libdir=$3 includedir=$4 bindir=$5 version=$6 cc=$7 cxx=$8 tool=$9
sanitize=${10:-}
mandir=${11:-share/man}
sqlite3=${12:-}
here=$(cd "$(dirname "$0")" && pwd)
prefix=$scratch/prefix
san=
[ -n "$sanitize" ] && san="-fsanitize=$sanitize"

fail() { echo "install test: $*" >&2; exit 1; }
step() { echo "-- $*"; }
# An identifier text: 22 path-safe characters, the last one A, Q, g or w, then "==".
is_text() { printf '%s\n' "$1" | grep -Eqx '[A-Za-z0-9+_]{21}[AQgw]=='; }

rm -rf "$scratch"
mkdir -p "$scratch"

step "cmake --install"
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || { cat "$scratch/install.log"; fail "install failed"; }

step "installed files"
lib=$prefix/$libdir
if [ ! -f "$lib/libvaro_uuid.so.$version" ] || [ -L "$lib/libvaro_uuid.so.$version" ]; then
    fail "libvaro_uuid.so.$version is not installed as a file"
fi
[ "$(readlink "$lib/libvaro_uuid.so.1")" = "libvaro_uuid.so.$version" ] || fail "libvaro_uuid.so.1 does not link to libvaro_uuid.so.$version"
[ "$(readlink "$lib/libvaro_uuid.so")" = libvaro_uuid.so.1 ] || fail "libvaro_uuid.so does not link to libvaro_uuid.so.1"
headers=$(cd "$prefix/$includedir" && find . -type f | sort | tr '\n' ' ')
[ "$headers" = "./varo_uuid.h ./varo_uuid.hpp " ] || fail "installed headers are: $headers"
for f in varo_uuidConfig.cmake varo_uuidConfigVersion.cmake varo_uuid_targets.cmake; do
    [ -f "$lib/cmake/varo_uuid/$f" ] || fail "missing $libdir/cmake/varo_uuid/$f"
done
[ -f "$lib/pkgconfig/varo_uuid.pc" ] || fail "missing $libdir/pkgconfig/varo_uuid.pc"
[ "$(ar t "$lib/libvaro_uuid.a")" = varo_uuid_static.o ] || fail "$libdir/libvaro_uuid.a is not the one object"
if [ -n "$sqlite3" ]; then
    [ -f "$lib/varo_uuid_sqlite.so" ] || fail "missing $libdir/varo_uuid_sqlite.so"
fi
man=$prefix/$mandir
grep -q "^\.TH VARO_UUID 3 .*varo_uuid $version" "$man/man3/varo_uuid.3" || fail "missing or stale $mandir/man3/varo_uuid.3"
for f in varo_uuid_to_rfc varo_uuid_compare xdr_varo_uuid_t; do
    [ "$(cat "$man/man3/$f.3")" = ".so man3/varo_uuid.3" ] || fail "$mandir/man3/$f.3 does not point at varo_uuid.3"
done
if [ "$tool" = ON ]; then
    grep -q "^\.TH VARO.-UUID 1 .*varo_uuid $version" "$man/man1/varo-uuid.1" || fail "missing or stale $mandir/man1/varo-uuid.1"
fi

step "readelf -d"
dynamic=$(readelf -d "$lib/libvaro_uuid.so.$version")
printf '%s\n' "$dynamic" | grep -q 'Library soname: \[libvaro_uuid\.so\.1\]' || fail "SONAME is not libvaro_uuid.so.1"
# A sanitizer runtime brings its own needs.
if [ -z "$sanitize" ] && printf '%s\n' "$dynamic" | grep -q 'NEEDED.*libstdc++'; then
    fail "the library needs libstdc++"
fi

step "pkg-config"
PKG_CONFIG_PATH=$lib/pkgconfig
export PKG_CONFIG_PATH
[ "$(pkg-config --modversion varo_uuid)" = "$version" ] || fail "pkg-config reports version $(pkg-config --modversion varo_uuid)"
flags=$(pkg-config --cflags --libs varo_uuid)
# A static link needs the hash library that the shared one carries.
pkg-config --static --libs varo_uuid | grep -q -- -lnettle || fail "pkg-config --static gives no -lnettle"
# shellcheck disable=SC2086
"$cc" -std=c99 -Wall -Wextra -pedantic -Werror $san "$here/consumer.c" $flags -o "$scratch/consumer_pc"
out=$(LD_LIBRARY_PATH=$lib "$scratch/consumer_pc") || fail "pkg-config consumer failed"
is_text "$out" || fail "pkg-config consumer printed '$out'"

# A static link: the archive and what pkg-config --static adds. A
# sanitizer's runtime cannot be linked -static.
if [ -z "$sanitize" ]; then
    # shellcheck disable=SC2086
    "$cc" -static -std=c99 -Wall -Wextra -pedantic -Werror "$here/consumer.c" \
        $(pkg-config --static --cflags --libs varo_uuid) -o "$scratch/consumer_static" 2>"$scratch/static.log" ||
        { cat "$scratch/static.log"; fail "the static link through pkg-config failed"; }
    readelf -d "$scratch/consumer_static" | grep -q NEEDED && fail "the -static consumer needs shared libraries"
    out=$("$scratch/consumer_static") || fail "the -static consumer failed"
    is_text "$out" || fail "the -static consumer printed '$out'"
fi

step "headers as C99 and C++20"
cflags=$(pkg-config --cflags varo_uuid)
printf '#include <varo_uuid.h>\nint main(void) { return VARO_UUID_TEXT_SIZE == 25 ? 0 : 1; }\n' >"$scratch/c99.c"
printf '#include <varo_uuid.h>\n#include <varo_uuid.hpp>\nconstexpr varo::uuid_value nil{VARO_UUID_NIL};\nint main() { return varo::uuid{}.empty() && nil == varo::uuid_value{} ? 0 : 1; }\n' >"$scratch/cxx.cpp"
# shellcheck disable=SC2086
"$cc" -std=c99 -Wall -Wextra -pedantic -Werror -fsyntax-only $cflags "$scratch/c99.c"
# Strict warnings apply to our headers; libtirpc's own header is a system one.
strict="-I$prefix/$includedir $(pkg-config --cflags-only-I libtirpc | sed 's/-I/-isystem /g')"
for compiler in "$cxx" clang++; do
    command -v "$compiler" >/dev/null || continue
    # shellcheck disable=SC2086
    "$compiler" -std=c++20 -Wall -Wextra -Wpedantic -Werror -fsyntax-only $cflags "$scratch/cxx.cpp"
    # shellcheck disable=SC2086
    "$compiler" -std=c++20 -Wall -Wextra -Wpedantic -Wshadow -Wcast-qual -Wold-style-cast \
        -Wconversion -Wsign-conversion -Wundef -Werror -fno-exceptions -fno-rtti -fsyntax-only \
        $strict "$scratch/cxx.cpp"
done

step "find_package(varo_uuid 1) consumers"
consumer=$scratch/consumer
cmake -S "$here" -B "$consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" \
    -DCMAKE_C_FLAGS="$san" -DCMAKE_CXX_FLAGS="$san" >"$scratch/consumer.log" 2>&1 ||
    { cat "$scratch/consumer.log"; fail "configuring the consumer failed"; }
cmake --build "$consumer" >>"$scratch/consumer.log" 2>&1 ||
    { cat "$scratch/consumer.log"; fail "building the consumer failed"; }
for exe in consumer_c consumer_cpp; do
    # The imported target gives the installed library, found through the run path.
    ldd "$consumer/$exe" | grep -q "libvaro_uuid.so.1 => $lib/libvaro_uuid.so.1" ||
        fail "$exe does not load the installed library"
    out=$("$consumer/$exe") || fail "$exe failed"
    is_text "$out" || fail "$exe printed '$out'"
done
readelf -d "$consumer/consumer_static" | grep -q libvaro_uuid && fail "consumer_static needs the shared library"
out=$("$consumer/consumer_static") || fail "consumer_static failed"
is_text "$out" || fail "consumer_static printed '$out'"
for exe in text_c text_cpp; do
    out=$("$consumer/$exe") || fail "$exe failed"
    [ "$out" = "AAECAwQFBgcICQoLDA0ODw== 03020100-0504-0706-0809-0a0b0c0d0e0f" ] || fail "$exe printed '$out'"
done
out=$("$consumer/value_cpp") || fail "value_cpp failed"
[ "$out" = "fWXWLifpi1aV4SZlqK6mog== 2ed6657d-e927-568b-95e1-2665a8aea6a2" ] || fail "value_cpp printed '$out'"
if cmake -S "$here" -B "$scratch/consumer2" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
    -DVARO_UUID_WANTED=2 >"$scratch/consumer2.log" 2>&1; then
    fail "find_package(varo_uuid 2) accepted version $version"
fi

if [ "$tool" = ON ]; then
    step "installed varo-uuid"
    # Runs from the prefix without LD_LIBRARY_PATH.
    tool=$prefix/$bindir/varo-uuid
    two=$("$tool" -n 2) || fail "varo-uuid -n 2 failed"
    [ "$(printf '%s\n' "$two" | wc -l)" -eq 2 ] || fail "varo-uuid -n 2 printed: $two"
    [ "$(printf '%s\n' "$two" | sort -u | wc -l)" -eq 2 ] || fail "varo-uuid -n 2 printed a text twice"
    for t in $two AAECAwQFBgcICQoLDA0ODw== _____________________w==; do
        is_text "$t" || fail "varo-uuid printed '$t'"
        hex=$("$tool" --hex "$t") || fail "varo-uuid --hex $t failed"
        printf '%s\n' "$hex" | grep -Eqx '[0-9a-f]{32}' || fail "varo-uuid --hex $t printed '$hex'"
        [ "$("$tool" --from-hex "$hex")" = "$t" ] || fail "varo-uuid --from-hex $hex is not $t"
    done
    [ "$("$tool" --hex AAECAwQFBgcICQoLDA0ODw==)" = 000102030405060708090a0b0c0d0e0f ] ||
        fail "varo-uuid --hex gives the wrong bytes"
    [ "$("$tool" --rfc AAECAwQFBgcICQoLDA0ODw==)" = 03020100-0504-0706-0809-0a0b0c0d0e0f ] ||
        fail "varo-uuid --rfc gives the wrong form"
    for bad in "--hex AAECAwQFBgcICQoLDA0OD/==" "--from-hex 0001" "--bogus" "-n 0"; do
        # shellcheck disable=SC2086
        if out=$("$tool" $bad 2>/dev/null); then fail "varo-uuid $bad succeeded"; fi
        [ -z "$out" ] || fail "varo-uuid $bad printed '$out'"
    done
fi

if [ -n "$sqlite3" ]; then
    step "the installed SQLite extension"
    got=$("$sqlite3" -batch :memory: ".load $lib/varo_uuid_sqlite" \
        "SELECT varo_uuid_rfc(varo_uuid_v5('@dns', 'www.example.com'));" 2>&1)
    [ "$got" = 2ed6657d-e927-568b-95e1-2665a8aea6a2 ] || fail "the installed extension gave '$got'"
fi

step "the programs and sqlite3 commands of README.md and docs/"
# Each C and C++ program of the pages, built against the installed files
# and run; where the page shows its output and it makes no fresh
# identifier, the output is what the page shows (white space folded). So is
# that of each sqlite3 command, with the installed extension.
src=$here/../..
examples=$scratch/examples
mkdir -p "$examples"
folded() { printf '%s\n' "$1" | tr -s ' \n' '  ' | sed 's/^ //; s/ $//'; }
programs=0 queries=0
for page in "$src/README.md" "$src"/docs/*.md; do
    name=${page#"$src/"}
    awk -v dir="$examples" -f "$src/tests/doc_examples.awk" "$page" >"$examples/records"
    while IFS="$(printf '\t')" read -r kind what want shown; do
        if [ "$kind" = code ]; then
            exe=${what%.*}
            case $what in
                *.c) set -- "$cc" -std=c99 -Wall -Wextra -pedantic -Werror ;;
                *) set -- "$cxx" -std=c++20 -Wall -Wextra -Wpedantic -Werror ;;
            esac
            extra=
            grep -q '<uuid/uuid.h>' "$what" && extra=-luuid
            # shellcheck disable=SC2086
            "$@" $san "$what" $(pkg-config --cflags --libs varo_uuid) $extra -o "$exe" >"$exe.log" 2>&1 ||
                { cat "$exe.log"; fail "$name: $(basename "$what") does not build"; }
            got=$(LD_LIBRARY_PATH=$lib "$exe") || fail "$name: $(basename "$what") failed"
            if [ "$shown" = 1 ] && ! grep -Eq 'generate_(v7_)?(alloc|on_buf)|generate(_v7)?\(' "$what"; then
                [ "$(folded "$got")" = "$(folded "$want")" ] ||
                    fail "$name: $(basename "$what") printed '$got', the page shows '$want'"
            fi
            programs=$((programs + 1))
        elif [ -n "$sqlite3" ] && [ "${what#sqlite3 }" != "$what" ]; then
            got=$(cd "$examples" && PATH="$(dirname "$sqlite3"):$PATH" LD_LIBRARY_PATH=$lib sh -c "$what" 2>&1)
            [ "$(folded "$got")" = "$(folded "$want")" ] ||
                fail "$name: \$ $what printed '$got', the page shows '$want'"
            queries=$((queries + 1))
        fi
    done <"$examples/records"
done
[ "$programs" -ge 7 ] || fail "the pages hold $programs programs, not 7 or more"
[ -z "$sqlite3" ] || [ "$queries" -ge 4 ] || fail "the pages hold $queries sqlite3 commands, not 4 or more"
echo "$programs programs, $queries sqlite3 commands"

echo "install test: all checks passed"
