#!/bin/bash
# Usage: with_pointer.sh STATE_DIR DIR COMMAND [ARGS...]
# Runs COMMAND with a pointer of the X display of STATE_DIR (from up.sh) at
# its service: for each DIR/click the test writes ("X Y", screen pixels), the
# pointer moves there and clicks the left button, and the file goes, which
# tells the test the click is done. The test learns DIR from
# TARNHOLD_POINTER_DIR (a Wine path).
#
# Why not SendInput: Wine's server places injected input by window
# rectangles, where X places a real click by the shape Wine gives a layered
# window, which leaves out its alpha-0 pixels as Windows does.
set -euo pipefail
[[ $# -ge 3 ]] || { echo "usage: ${0##*/} STATE_DIR DIR COMMAND [ARGS...]" >&2; exit 125; }
state=$1
dir=$2
shift 2
[[ -r $state/env ]] || { echo "${0##*/}: $state/env missing; run up.sh first" >&2; exit 125; }
display=$(. "$state/env" && echo "$DISPLAY")
command -v xdotool >/dev/null || { echo "${0##*/}: xdotool is needed" >&2; exit 125; }
rm -rf "$dir"
mkdir -p "$dir"
dir=$(cd "$dir" && pwd -P)

serve() {
    local deadline=$(( $(date +%s) + 900 )) x y
    while (( $(date +%s) < deadline )); do
        if [[ -e $dir/click ]]; then
            read -r x y <"$dir/click"
            DISPLAY=$display xdotool mousemove --sync "$x" "$y" click 1 >>"$dir/pointer.log" 2>&1 ||
                echo "xdotool failed for $x $y" >>"$dir/pointer.log"
            rm -f "$dir/click"
        fi
        sleep 0.05
    done
}
# Its own stdio goes to a file: a helper holding ctest's pipe would keep
# ctest waiting after the test is over.
serve </dev/null >/dev/null 2>&1 &
pointer=$!
trap 'kill "$pointer" 2>/dev/null || true; wait "$pointer" 2>/dev/null || true' EXIT

TARNHOLD_POINTER_DIR="Z:${dir//\//\\}"
export TARNHOLD_POINTER_DIR
set +e
"$@"
status=$?
set -e
if [[ -s $dir/pointer.log ]]; then
    echo "the pointer said:"
    sed 's/^/  /' "$dir/pointer.log"
fi
exit "$status"
