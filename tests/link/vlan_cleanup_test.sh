#!/usr/bin/env bash
# scripts/vlan removes everything it made, whether its command succeeds, fails
# or is cut short by SIGTERM, and passes the command's exit status on.
#   vlan_cleanup_test.sh PATH_TO_VLAN PATH_TO_VORNIK_SIM
set -uo pipefail
vlan="$1"
sim="$2"
failed=0

check_gone() { # what: vlan's pid, the simulators' pids file
    local pid="$1" pids="$2" what="$3"
    if ip netns list | grep -q "vornik-vlan-$pid-"; then
        echo "FAIL ($what): namespaces left: $(ip netns list | grep "vornik-vlan-$pid-")"
        failed=1
    fi
    for p in $(cat "$pids" 2>/dev/null); do
        if kill -0 "$p" 2>/dev/null; then echo "FAIL ($what): simulator $p still runs"; failed=1; fi
    done
}

pids="$(mktemp)"
trap 'rm -f "$pids"' EXIT

# A failing command: its status comes back, nothing stays.
"$vlan" run --devices 3 --hosts 2 --sim "$sim" -- sh -c 'echo "$VORNIK_VLAN_SIM_PIDS" > '"$pids"'; exit 3' &
vlan_pid=$!
wait $vlan_pid
rc=$?
[ $rc -eq 77 ] && { echo "skipped: scripts/vlan cannot run here"; exit 77; }
[ $rc -eq 3 ] || { echo "FAIL: exit status $rc, expected 3"; failed=1; }
[ -s "$pids" ] || { echo "FAIL: the command did not see the simulators"; failed=1; }
check_gone $vlan_pid "$pids" "failing command"

# Stopped half-way by SIGTERM.
: > "$pids"
"$vlan" run --devices 2 --hosts 2 --sim "$sim" -- sh -c 'echo "$VORNIK_VLAN_SIM_PIDS" > '"$pids"'; sleep 30' &
vlan_pid=$!
deadline=$((SECONDS + 10))
while ((SECONDS < deadline)); do [ -s "$pids" ] && break; sleep 0.1; done
kill -TERM $vlan_pid
wait $vlan_pid
rc=$?
[ $rc -eq 143 ] || { echo "FAIL: exit status $rc after SIGTERM, expected 143"; failed=1; }
check_gone $vlan_pid "$pids" "SIGTERM"

[ $failed -eq 0 ] && echo "vlan leaves nothing behind"
exit $failed
