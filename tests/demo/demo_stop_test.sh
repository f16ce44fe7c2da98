#!/usr/bin/env bash
# scripts/demo leaves no simulator behind: neither when its command ends nor
# when the script itself is interrupted, and the command sees the demo's
# variables pointing at loopback.
#   demo_stop_test.sh SCRIPTS_DEMO VORNIK_SIM
set -euo pipefail
demo="$1" sim="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# True while some socket is bound to the UDP port.
bound() { [ -n "$(ss -Hanu "( sport = :$1 )")" ]; }

# Waits up to five seconds (by the clock) for a condition.
within_5s() {
    local end=$((SECONDS + 5))
    until "$@"; do
        ((SECONDS < end)) || return 1
        sleep 0.05
    done
}

# 1. The command ends: the simulator goes with it.
"$demo" --sim "$sim" --devices 2 -- sh -c 'env | grep ^VORNIK_ | sort > "$0"' "$work/env"
grep -qx 'VORNIK_BROADCAST=127.255.255.255' "$work/env" || fail "broadcast: $(cat "$work/env")"
grep -qx 'VORNIK_ADDRESSES=127.0.0.1' "$work/env" || fail "addresses: $(cat "$work/env")"
grep -qx 'VORNIK_DEMO=1' "$work/env" || fail "no demo mark"
port=$(sed -n 's/^VORNIK_PORT=//p' "$work/env")
[ -n "$port" ] || fail "no port"
within_5s eval '! bound "$port"' || fail "the simulator still holds port $port after the command ended"

# 2. The script is interrupted while the command runs (as Ctrl-C would).
# Job control, so that the background script does not start with SIGINT
# ignored, as a non-interactive shell's background commands otherwise do.
set -m
for signal in INT TERM; do
    rm -f "$work/port"
    "$demo" --sim "$sim" --devices 2 -- sh -c 'echo "$VORNIK_PORT" > "$0.tmp"; mv "$0.tmp" "$0"; exec sleep 30' \
        "$work/port" &
    pid=$!
    within_5s test -s "$work/port" || fail "the command did not start"
    port=$(cat "$work/port")
    bound "$port" || fail "no simulator on port $port"
    kill -"$signal" "$pid"
    rc=0
    wait "$pid" || rc=$?
    [ "$rc" -ne 0 ] || fail "SIG$signal: the script reported success"
    within_5s eval '! bound "$port"' || fail "SIG$signal: the simulator still holds port $port"
done
echo "demo: the simulator stops with the command and on SIGINT and SIGTERM"
