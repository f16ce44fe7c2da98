#!/usr/bin/env bash
# vornikctl.exe with Chinese text under wine, once for each ANSI code page a
# technician's Windows has (1252 Western, 936 Chinese): a Chinese server
# address reaches vornik_sim.exe and comes back whole, an export to a Chinese
# file name writes that file, a text code page 936 cannot hold is refused
# with nothing sent, and the settings history is kept in
# %LOCALAPPDATA%\vornik\history.sqlite and read back by `history`; a console
# shows the Chinese text whole. Also the help as Windows asks for it (/?).
# Wine takes a process's ANSI code page from the name of the Unix locale it
# starts in (LC_ALL), not from the prefix's registry, and reads the Unix
# command line in that locale's character set, which needs the locale
# itself: both are made into a folder of this test's own (LOCPATH).
# acp_probe.exe says which code page each run really had.
#   unicode_wine.sh WINE VORNIKCTL.EXE VORNIK_SIM.EXE ACP_PROBE.EXE
set -uo pipefail
wine=$1 ctl=$2 sim=$3 probe=$4
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
fail() { echo "FAIL [$acp]: $*"; failures=$((failures + 1)); }
acp=-

mkdir -p "$work/locales"
for l in en_US zh_CN; do
    localedef -i "$l" -f UTF-8 "$work/locales/$l.UTF-8" 2>"$work/localedef.err" || {
        echo "unicode under wine: cannot make the $l.UTF-8 locale (localedef, Debian's locales): $(cat "$work/localedef.err")"
        exit 1
    }
done
export LOCPATH=$work/locales

port=$((20000 + RANDOM % 20000))
mac=02-00-00-00-00-02
ctl() { # ARGS...   (stdout with CR removed; the exit code in $rc)
    "$wine" "$ctl" --port "$port" --broadcast 127.255.255.255 --bind 127.0.0.2 --tries 2 --interval 0.5 -q "$@" \
        >"$work/out" 2>"$work/err"
    rc=$?
    tr -d '\r' <"$work/out"
}

for case in en_US.UTF-8:1252 zh_CN.UTF-8:936; do
    export LC_ALL=${case%%:*}
    acp=${case#*:}
    "$wine" "$probe" >"$work/probe.out" 2>&1
    got=$(tr -d '\r' <"$work/probe.out")
    [ "${got%% *}" = "$acp" ] || { fail "LC_ALL=$LC_ALL gives code page '$got', not $acp: the cases below would prove nothing"; continue; }

    "$wine" "$sim" --port "$port" --reply-to 127.255.255.255 --devices 3 >"$work/sim.log" 2>&1 &
    pids+=($!)
    deadline=$((SECONDS + 120))
    while ((SECONDS < deadline)); do
        ctl --json search | grep -q '"count": 3' && break
        sleep 1
    done

    ctl net set "$mac" server1.target-address=服务器.cn >/dev/null
    [ "$rc" -eq 0 ] || fail "net set 服务器.cn: exit $rc: $(cat "$work/err")"
    got=$(ctl --json --no-history net get "$mac")
    grep -q 'target-address": "服务器.cn"' <<<"$got" || fail "the device holds no 服务器.cn: $got"
    # Redirected: UTF-8 bytes, each line ended by CRLF as Windows tools expect.
    [ "$(grep -c $'\r$' "$work/out")" -eq "$(wc -l <"$work/out")" ] || fail "redirected output without CRLF line ends"

    # On a console the text goes through WriteConsoleW: wine's console on a
    # pseudo-terminal (script) shows it whole, where UTF-8 bytes handed to
    # the console would come out in the code page, 1252's "æœåŠ¡å™¨".
    printf -v command '%q ' "$wine" "$ctl" --port "$port" --broadcast 127.255.255.255 --bind 127.0.0.2 --tries 2 \
        --interval 0.5 -q --no-history net get "$mac"
    script -qec "$command" /dev/null </dev/null 2>&1 | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' >"$work/console"
    grep -q '服务器\.cn' "$work/console" || fail "a console shows no 服务器.cn: $(grep -a target-address "$work/console" | head -n1)"

    # Hangul has no code page 936 form: refused, nothing sent, the device unchanged.
    ctl net set "$mac" server1.target-address=한국.kr >/dev/null
    [ "$rc" -eq 2 ] || fail "한국.kr: exit $rc, not 2 (refused): $(cat "$work/out" "$work/err")"
    got=$(ctl --json --no-history net get "$mac")
    grep -q 'target-address": "服务器.cn"' <<<"$got" || fail "after the refused 한국.kr the device changed: $got"

    rm -f "$work/设备3.json"
    ctl export "$mac" "Z:$work/设备3.json" >/dev/null
    [ "$rc" -eq 0 ] || fail "export to 设备3.json: exit $rc: $(cat "$work/err")"
    grep -q '服务器.cn' "$work/设备3.json" 2>/dev/null || fail "设备3.json missing or without 服务器.cn: $(ls "$work")"
    ctl apply "Z:$work/设备3.json" 02-00-00-00-00-03 >/dev/null
    [ "$rc" -eq 0 ] || fail "apply 设备3.json: exit $rc: $(cat "$work/err")"
    got=$(ctl --json --no-history net get 02-00-00-00-00-03)
    grep -q 'target-address": "服务器.cn"' <<<"$got" || fail "apply of 设备3.json: no 服务器.cn on the third: $got"

    # The default history file, and `history` reading it back.
    ctl history "$mac" >/dev/null
    [ "$rc" -eq 0 ] || fail "history: exit $rc: $(cat "$work/err")"
    grep -q '服务器.cn' "$work/out" || fail "history shows no 服务器.cn: $(cat "$work/out" "$work/err")"
    ls "$WINEPREFIX"/drive_c/users/*/AppData/Local/vornik/history.sqlite >/dev/null 2>&1 ||
        fail "no history.sqlite under %LOCALAPPDATA%\\vornik"
    rm -f "$WINEPREFIX"/drive_c/users/*/AppData/Local/vornik/history.sqlite*

    kill "${pids[@]}" 2>/dev/null
    wait 2>/dev/null
    pids=()
    port=$((port + 1))
done

# The help: /? as Windows programs take it, the Windows history file named,
# and no word of commands this build would refuse.
acp=help
for ask in '/?' --help; do
    ctl "$ask" >"$work/help"
    [ "$rc" -eq 0 ] || fail "$ask: exit $rc: $(cat "$work/err")"
    grep -q 'Subcommands:' "$work/help" || fail "$ask: no list of commands: $(head -5 "$work/help")"
    grep -qF '%LOCALAPPDATA%\vornik\history.sqlite' "$work/help" || fail "$ask: the Windows history file is not named"
    ! grep -qiE 'refuse|keeps no settings history|XDG_DATA_HOME' "$work/help" || fail "$ask: speaks of what this build lacks"
done

if ((failures)); then
    echo "unicode under wine: $failures failure(s)"
    exit 1
fi
echo "unicode under wine: 服务器.cn and 设备3.json whole from code pages 1252 and 936, 한국.kr refused, the history kept; /? helps"
