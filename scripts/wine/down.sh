#!/bin/bash
# Usage: down.sh STATE_DIR
# Stops the wineserver of the private prefix and the private Xvfb started
# by up.sh. Safe to call again, or on a state dir that was never brought up.
set -uo pipefail
. "$(dirname "$0")/common.sh"

[[ $# -eq 1 ]] || { echo "usage: ${0##*/} STATE_DIR" >&2; exit 2; }
STATE=$(state_dir_of "$1") || exit 0
status=0

if [[ -d $STATE/prefix ]]; then
    export WINEPREFIX=$STATE/prefix WINEDEBUG=-all
    if ! no_wineserver "$WINEPREFIX"; then
        # -k also ends every Wine process of this prefix, which is what a
        # tear-down wants.
        timeout 30 wineserver -k >/dev/null 2>&1
        if ! wait_until 30 no_wineserver "$WINEPREFIX"; then
            echo "down.sh: wineserver of $WINEPREFIX still running" >&2
            status=1
        fi
    fi
fi

stop_pid "$(cat "$STATE/xvfb.pid" 2>/dev/null)" Xvfb || status=1
[[ $status -eq 0 ]] && rm -f "$STATE/xvfb.pid" "$STATE/display"
exit "$status"
