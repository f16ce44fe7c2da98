#!/usr/bin/env bash
# vornikctl.exe against vornik_sim.exe, both under wine, on loopback: search,
# net get, net set, export and apply, and the failure paths (a device that is
# not there, one that acknowledges and stores nothing). Wine carries the
# loopback broadcast 127.255.255.255 to the simulator's socket bound to any
# address, so the programs use the same broadcast path as on a LAN.
#   e2e_wine.sh WINE VORNIKCTL.EXE VORNIK_SIM.EXE
set -uo pipefail
wine=$1 ctl=$2 sim=$3
work=$(mktemp -d)
. "$(cd "$(dirname "$0")" && pwd)/wine_prefix.sh" "$wine" "$work"
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    wait 2>/dev/null
    wine_cleanup
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A port of its own per run, away from the one of the devices.
port=$((20000 + RANDOM % 20000))
start_sim() { # PORT ARGS...
    local p=$1
    shift
    "$wine" "$sim" --port "$p" --reply-to 127.255.255.255 "$@" >"$work/sim-$p.log" 2>&1 &
    pids+=($!)
}
ctl() { # PORT ARGS...
    local p=$1
    shift
    # Through a file: a pipe could be held open by a wine helper the run started.
    "$wine" "$ctl" --port "$p" --broadcast 127.255.255.255 --bind 127.0.0.2 --tries 2 --interval 0.5 -q "$@" \
        >"$work/ctl.out" 2>"$work/ctl.err"
    local rc=$?
    tr -d '\r' <"$work/ctl.out"
    return "$rc"
}

start_sim "$port" --devices 3
start_sim $((port + 1)) --store-nothing

# Wine's first start makes the prefix, which takes a while: wait on the clock
# until the simulator answers rather than for a fixed time.
deadline=$((SECONDS + 120))
found=""
while ((SECONDS < deadline)); do
    found=$(ctl "$port" --json search)
    grep -q '"count": 3' <<<"$found" && break
    sleep 1
done
grep -q '"count": 3' <<<"$found" || fail "search: not 3 devices within 120 s: $found $(cat "$work"/sim-*.log)"
for mac in 02-00-00-00-00-01 02-00-00-00-00-02 02-00-00-00-00-03; do
    grep -q "\"mac\": \"$mac\"" <<<"$found" || fail "search: $mac missing"
done
# The adapter that heard the replies is the loopback's own address, not the broadcast one.
grep -q '"127.0.0.1"' <<<"$found" || fail "search: not heard on 127.0.0.1: $found"

got=$(ctl "$port" --json net get 02-00-00-00-00-02)
grep -q '"ip": "192.168.0.101"' <<<"$got" || fail "net get: the second device is 192.168.0.101: $got"

ctl "$port" net set 02-00-00-00-00-02 ip=192.168.0.77 server8.target-port=65535 >"$work/set.out"
rc=${PIPESTATUS[0]}
[ "$rc" -eq 0 ] || fail "net set: exit $rc: $(cat "$work/set.out" "$work/ctl.err")"
got=$(ctl "$port" --json net get 02-00-00-00-00-02)
grep -q '"ip": "192.168.0.77"' <<<"$got" || fail "net set: read back no 192.168.0.77: $got"

# Export the changed device and apply it to the third: the third takes
# everything but its own address.
ctl "$port" export 02-00-00-00-00-02 'Z:'"$work/one.json" --force >/dev/null
[ -s "$work/one.json" ] || fail "export: no file"
ctl "$port" apply 'Z:'"$work/one.json" 02-00-00-00-00-03 >"$work/apply.out"
rc=${PIPESTATUS[0]}
[ "$rc" -eq 0 ] || fail "apply: exit $rc: $(cat "$work/apply.out" "$work/ctl.err")"
got=$(ctl "$port" --json net get 02-00-00-00-00-03)
grep -q '"ip": "192.168.0.102"' <<<"$got" || fail "apply: the third device's own address changed: $got"
grep -q '"target-port": 65535' <<<"$got" || fail "apply: server8's port not taken over: $got"

# A device that is not there: exit 1, nothing confirmed.
ctl "$port" net get 02-00-00-00-00-09 >/dev/null
rc=${PIPESTATUS[0]}
[ "$rc" -eq 1 ] || fail "a silent device: exit $rc, not 1"
# A device that acknowledges and stores nothing: the read-back shows it.
ctl $((port + 1)) net set 02-00-00-00-00-01 ip=192.168.0.99 >"$work/none.out"
rc=${PIPESTATUS[0]}
[ "$rc" -eq 1 ] || fail "a device that stores nothing: exit $rc, not 1: $(cat "$work/none.out")"
grep -q "not confirmed" "$work/none.out" || fail "a device that stores nothing: not said so: $(cat "$work/none.out")"

if ((failures)); then
    echo "e2e under wine: $failures failure(s)"
    exit 1
fi
echo "e2e under wine: search, net get/set, export, apply and two failure paths as on Linux"
