#!/bin/bash
# Usage: run.sh STATE_DIR [--timeout SECONDS] PROGRAM [ARGS...]
# Runs a Windows program in the environment made by up.sh. The exit code is
# the program's own (124 if the timeout hit, 125 for a usage or set-up
# error), so the script can serve as CMAKE_CROSSCOMPILING_EMULATOR.
set -u

fail() { echo "${0##*/}: $*" >&2; exit 125; }

[[ $# -ge 2 ]] || fail "usage: ${0##*/} STATE_DIR [--timeout SECONDS] PROGRAM [ARGS...]"
STATE=$1
shift
limit=60
case $1 in
    --timeout) [[ $# -ge 2 ]] || fail "--timeout needs a value"; limit=$2; shift 2 ;;
    --timeout=*) limit=${1#--timeout=}; shift ;;
esac
[[ $limit =~ ^[0-9]+([.][0-9]+)?$ ]] || fail "bad timeout: $limit"
[[ $# -ge 1 ]] || fail "no program given"
[[ -r $STATE/env ]] || fail "$STATE/env missing; run up.sh $STATE first"
# shellcheck source=/dev/null
. "$STATE/env"

# Without the display every GUI program fails in ways that look like a
# bug in the program, so say what is really wrong.
. "$(dirname "$0")/common.sh"
if [[ ! -e $STATE/external-display ]]; then
    { read -r xvfb_pid <"$STATE/xvfb.pid"; } 2>/dev/null
    pid_is "${xvfb_pid:-}" Xvfb ||
        fail "private Xvfb of $STATE is not running; run up.sh $STATE"
fi

# The kill-after is for a program that ignores SIGTERM while hung.
cmd=(timeout --kill-after=10 "$limit" wine "$@")
# Wine helpers started by the program inherit its stdout/stderr and may
# outlive it; on a pipe that keeps the reader (ctest, $(...)) waiting for
# good, so pipes and sockets go through relay.py. Files and terminals are
# harmless and keep the direct, faster path.
if [[ -p /dev/stdout || -S /dev/stdout || -p /dev/stderr || -S /dev/stderr ]]; then
    exec python3 -I -S "$(dirname "$0")/relay.py" "${cmd[@]}"
fi
exec "${cmd[@]}"
