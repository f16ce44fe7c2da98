#!/bin/sh
# The instructions vornikctl apply takes for DEVICES simulated devices on
# loopback (both blocks changed, the history kept in a fresh file), counted
# by callgrind in vornikctl alone: the simulator runs beside it uninstrumented.
# A cost that grows linearly doubles with the devices.
#
#   bench/cli/callgrind_apply.sh BUILD [VORNIKCTL] DEVICES...
#   e.g. bench/cli/callgrind_apply.sh build build/src/cli/vornikctl 1000 2000 4000
set -eu
build=$1; shift
ctl=$build/src/cli/vornikctl
case ${1:-} in */*) ctl=$1; shift ;; esac
work=$(mktemp -d)
keep=${KEEP_CALLGRIND:-}
trap 'kill $sim 2>/dev/null || true; [ -n "$keep" ] && cp "$work"/out.* "$keep"/ ; rm -rf "$work"' EXIT
port=$((41000 + $$ % 2000))
printf '{"format": "vornik-settings", "version": 1, "network": {"server3": {"target-address": "10.0.0.1", "target-port": 4001}},\n "device": {"baud": 9600, "channel4": {"temp-upper": 21.5}}}\n' >"$work/file.json"
for devices in "$@"; do
    "$build/tools/vornik_sim" --port $port --reply-to 127.255.255.255 --devices "$devices" >/dev/null 2>&1 &
    sim=$!
    sleep 1
    macs=$(awk -v n="$devices" 'BEGIN { for (i = 1; i <= n; i++) printf "02-00-00-00-%02X-%02X ", int(i / 256) % 256, i % 256 }')
    # A long interval: under callgrind no reply may come so late that a request goes again.
    # shellcheck disable=SC2086
    valgrind --tool=callgrind --callgrind-out-file="$work/out.$devices" "$ctl" --json --quiet --interval 5 \
        --port $port --broadcast 127.255.255.255 --bind 127.0.0.2 --history "$work/history.$devices.sqlite" \
        apply "$work/file.json" $macs >"$work/report.$devices" 2>"$work/err.$devices" || true
    kill $sim; wait $sim 2>/dev/null || true
    confirmed=$(grep -m1 '"confirmed"' "$work/report.$devices" | tr -dc 0-9)
    instructions=$(grep -m1 '^summary:' "$work/out.$devices" | cut -d' ' -f2)
    echo "$devices devices: $confirmed confirmed, $instructions instructions, $((instructions / devices)) per device (load $(cut -d' ' -f1-3 /proc/loadavg))"
done
