#!/bin/sh
# Starts the identifier service on 127.0.0.1 at a port the kernel picks,
# runs the client against it, then stops the server and checks that it
# exited cleanly. Every step is bounded in time, and the server is killed
# on any way out of this script; should the script itself be killed, the
# server still stops after its LIFETIME.
#
#   run_test.sh SERVER CLIENT
#
# RUN_UNDER, when set, is a command put in front of both programs: valgrind,
# or the emulator of a cross build, e.g.
#   RUN_UNDER="valgrind --quiet --error-exitcode=1 --leak-check=full"
server=$1
client=$2
wrap=${RUN_UNDER:-}
lifetime=90      # the server's own limit, in seconds
client_limit=60  # the client's, in seconds

dir=$(mktemp -d) || exit 1
pid=
stop_server() {
    if [ -n "$pid" ]; then
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
        pid=
    fi
}
trap 'stop_server; rm -rf "$dir"' EXIT
trap 'exit 1' HUP INT TERM

fail() {
    echo "FAIL: $*"
    echo "-- server's stderr:"
    cat "$dir/server.err"
    exit 1
}

: >"$dir/port"
# shellcheck disable=SC2086 # $wrap is a command with its arguments
$wrap "$server" "$lifetime" >"$dir/port" 2>"$dir/server.err" &
pid=$!

# The server prints its port once it listens; wait up to 30 s for it.
tries=0
until grep -Eq '^[0-9]+$' "$dir/port"; do
    kill -0 "$pid" 2>/dev/null || fail "the server exited before it printed its port"
    tries=$((tries + 1))
    [ "$tries" -le 300 ] || fail "no port from the server after 30 s"
    sleep 0.1
done
port=$(head -n 1 "$dir/port")

# shellcheck disable=SC2086
timeout "$client_limit" $wrap "$client" 127.0.0.1 "$port"
client_status=$?

kill -TERM "$pid"
wait "$pid"
server_status=$?
pid=

[ "$client_status" -eq 0 ] || fail "the client exited with status $client_status (124: timed out)"
[ "$server_status" -eq 0 ] || fail "the server exited with status $server_status"
[ ! -s "$dir/server.err" ] || fail "the server wrote to stderr"
echo "rpc_idservice: the client's checks passed; the server on port $port stopped cleanly"
