#!/usr/bin/env bash
# The bash completion as a shell uses it: sourced, then asked for the words
# that may follow a partly typed line. The expected words are those the
# manual page lists for each command.
#   completion_test.sh COMPLETION-SCRIPT VORNIKCTL
set -uo pipefail
. "$1"
program=$2
failures=0

# check NAME "LINE typed so far" "WORD..." [absent WORD...]: every word
# offered, and none of the words after "--".
check() {
    local name=$1 line=$2
    shift 2
    read -r -a COMP_WORDS <<<"$line"
    [[ $line == *" " ]] && COMP_WORDS+=("")
    COMP_WORDS[0]=$program
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vornikctl 2>/dev/null
    local offered=" ${COMPREPLY[*]} " absent=0 w
    for w in "$@"; do
        if [[ $w == -- && $absent == 0 ]]; then absent=1; continue; fi
        if ((absent)); then
            [[ $offered != *" $w "* ]] || { echo "FAIL $name: '$w' offered: $offered"; ((failures++)); }
        else
            [[ $offered == *" $w "* ]] || { echo "FAIL $name: '$w' not offered: $offered"; ((failures++)); }
        fi
    done
}

check "the commands" "vornikctl " search net dev mac defaults export apply fields
check "a command begun" "vornikctl ap" apply -- search
check "the global options" "vornikctl --j" --json
check "a block's subcommands" "vornikctl net " get set
check "search's options" "vornikctl search --" --wait --expect -- --dry-run
check "network fields after the MAC" "vornikctl net set 02-00-00-00-00-01 server3.t" server3.target-port= server3.target-address= -- server2.target-port=
check "device fields, the last channel" "vornikctl dev set 02-00-00-00-00-01 channel8.h" channel8.humidity-upper= channel8.humidity-lower=
check "no network field for dev set" "vornikctl dev set 02-00-00-00-00-01 i" -- ip=
check "no field in place of the MAC" "vornikctl net set " -- ip=
check "net set's options" "vornikctl net set 02-00-00-00-00-01 --" --dry-run --force --all-with-mac
check "dev set has no --force" "vornikctl dev set 02-00-00-00-00-01 --" --dry-run -- --force
check "apply's options" "vornikctl apply site.json --i" --identity --identities --ip-from -- --all
check "defaults' options" "vornikctl defaults --" --dry-run --all-with-mac -- --force
check "options after a global's value" "vornikctl --port 40001 apply f.json --d" --dry-run

((failures == 0)) && echo "bash completion: every check passed"
exit $((failures > 0))
