#!/usr/bin/env bash
# The completion asked as a shell asks it. completion_test.sh COMPLETION-SCRIPT VORNIKCTL
set -uo pipefail
. "$1"
program=$2 failures=0
# check "LINE typed so far" WORD... [-- WORD NOT TO BE OFFERED...]
check() {
    local line=$1 want=yes offered w
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$program COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMPREPLY=()
    _vornikctl 2>/dev/null
    offered=" ${COMPREPLY[*]} "
    for w in "${@:2}"; do
        [[ $w == -- ]] && { want=no; continue; }
        [[ $offered == *" $w "* ]] && got=yes || got=no
        [[ $got == "$want" ]] || { echo "FAIL '$line': '$w' offered: $got, in:$offered"; ((failures++)); }
    done
}
check "vornikctl " search net dev mac defaults export apply fields history restore replace
check "vornikctl restore 02-00-00-00-00-01 --" --at --before-last-write --dry-run -- --all
check "vornikctl --j" --json
check "vornikctl --h" --history --help
check "vornikctl --history h.sqlite net " get set
check "vornikctl net " get set
check "vornikctl search --" --wait --expect -- --dry-run
check "vornikctl net set 02-00-00-00-00-01 server3.t" server3.target-port= server3.target-address= -- server2.target-port=
check "vornikctl dev set 02-00-00-00-00-01 channel8.h" channel8.humidity-upper= channel8.humidity-lower=
check "vornikctl dev set 02-00-00-00-00-01 i" -- ip=
check "vornikctl net set " -- ip=
check "vornikctl net set 02-00-00-00-00-01 --" --dry-run --force --all-with-mac
check "vornikctl dev set 02-00-00-00-00-01 --" --dry-run -- --force
check "vornikctl apply site.json --i" --identity --identities --ip-from -- --all
check "vornikctl defaults --" --dry-run --all-with-mac -- --force
check "vornikctl --port 40001 apply f.json --d" --dry-run
check "vornikctl history " export prune
check "vornikctl history prune --keep 5 --" --older-than --dry-run -- --at
exit $((failures > 0))
