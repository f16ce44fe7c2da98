#!/usr/bin/env bash
# The window's tests under wine: test_window.exe drives the window's code by
# control id in one process, against three simulators on loopback (one that
# stores, one that does not acknowledge, one that stores nothing) and a port
# where none answers; on a virtual display when there is none, in a prefix
# whose fonts draw Chinese. With VORNIK_SCREENSHOT_DIR the pictures of both
# pages are kept there (windows-net.png, windows-dev.png).
#   window_wine.sh WINE TEST_WINDOW.EXE VORNIK_SIM.EXE
set -uo pipefail
wine=$1 test=$2 sim=$3
work=$(mktemp -d)
# A prefix of its own, whatever the caller's: the font replacements go into it.
unset WINEPREFIX
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine_prefix.sh" "$wine" "$work"
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait "${pids[@]}" 2>/dev/null
    wine_cleanup
    rm -rf "$work"
}
trap cleanup EXIT

wine_display || exit 1
wine_fonts || exit 1

port=$((20000 + RANDOM % 20000))
start_sim() { # PORT ARGS...
    local p=$1
    shift
    "$wine" "$sim" --port "$p" --reply-to 127.255.255.255 "$@" >"$work/sim-$p.log" 2>&1 &
    pids+=($!)
}
start_sim "$port" --devices 3
start_sim $((port + 1)) --no-ack
start_sim $((port + 2)) --store-nothing
export VORNIK_TEST_PORT=$port VORNIK_TEST_NO_ACK_PORT=$((port + 1)) VORNIK_TEST_STORE_NOTHING_PORT=$((port + 2))
export VORNIK_TEST_SILENT_PORT=$((port + 3))

shots=""
if [ -n "${VORNIK_SCREENSHOT_DIR:-}" ]; then
    shots=$VORNIK_SCREENSHOT_DIR
    mkdir -p "$shots"
    export VORNIK_SCREENSHOT_DIR='Z:'"$(cd "$shots" && pwd)"
fi
# Into a file, not a pipe: a wine helper started by the test (the desktop,
# the services) can keep a pipe's write end open after the test has ended,
# and a reader waiting for its end then waits until the timeout. Bounded so
# that a hung window still leaves its output for the log.
timeout 500 "$wine" "$test" >"$work/test.log" 2>&1
rc=$?
tr -d '\r' <"$work/test.log"
[ "$rc" -ne 124 ] || echo "test_window.exe did not end within 500 s"
if [ -n "$shots" ]; then
    for page in net dev; do
        [ -s "$shots/windows-$page.png" ] || { echo "no picture of the $page page"; rc=1; }
    done
fi
exit "$rc"
