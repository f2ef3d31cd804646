#!/bin/bash
# Usage: with_pointer.sh STATE_DIR DIR COMMAND [ARGS...]
# Runs COMMAND with the pointer of the X display of STATE_DIR (from up.sh) at
# its service. For each request the test writes to DIR/click, in screen
# pixels, the pointer does it and the file goes, which tells the test it is
# done:
#   click X Y          move there, click the left button
#   move X Y           move there
#   drag X1 Y1 X2 Y2   press the left button at X1 Y1, move in steps to X2 Y2,
#                      release there
#   hold X Y MS        arrive there and press at once, as a hand does, hold
#                      the button MS milliseconds, release
#   dblclick X Y       a double click as a hand makes it: the second press
#                      lands 1 pixel right of the first, is held 100 ms and
#                      moves 1 pixel more before its release
#   down X Y           move there, press the left button and keep it down
#   to X Y             move there in steps, the buttons as they are
#   up                 release the left button where the pointer is
#   tray N             click notification icon N (0 the first) in Wine's
#                      system tray (see tray_icon.sh)
# The test learns DIR from TARNHOLD_POINTER_DIR (a Wine path).
#
# Why not SendInput: Wine's server places injected input by window
# rectangles, where X places a real click by the shape Wine gives a layered
# window, which leaves out its alpha-0 pixels as Windows does.
set -euo pipefail
[[ $# -ge 3 ]] || { echo "usage: ${0##*/} STATE_DIR DIR COMMAND [ARGS...]" >&2; exit 125; }
here=$(cd "$(dirname "$0")" && pwd)
state=$1
dir=$2
shift 2
[[ -r $state/env ]] || { echo "${0##*/}: $state/env missing; run up.sh first" >&2; exit 125; }
# shellcheck source=/dev/null
display=$(. "$state/env" && echo "$DISPLAY")
command -v xdotool >/dev/null || { echo "${0##*/}: xdotool is needed" >&2; exit 125; }
rm -rf "$dir"
mkdir -p "$dir"
dir=$(cd "$dir" && pwd -P)

# drag X1 Y1 X2 Y2: the moves come in steps a frame apart, as a hand makes
# them, so that a move loop sees the button down before the pointer goes.
drag() {
    local x1=$1 y1=$2 x2=$3 y2=$4 i
    local -a steps=()
    for i in 1 2 3 4 5 6 7 8; do
        steps+=(mousemove --sync $((x1 + (x2 - x1) * i / 8)) $((y1 + (y2 - y1) * i / 8)) sleep 0.03)
    done
    move "$x1" "$y1"
    DISPLAY=$display xdotool mousedown 1 sleep 0.1 "${steps[@]}" sleep 0.1 mouseup 1
}

# to X Y: from where the pointer is, in steps a frame apart.
steps_to() {
    local x2=$1 y2=$2 x1 y1 i
    read -r x1 y1 < <(DISPLAY=$display xdotool getmouselocation | sed -E 's/^x:([0-9-]+) y:([0-9-]+).*/\1 \2/')
    for i in 1 2 3 4 5 6 7 8; do
        DISPLAY=$display xdotool mousemove --sync $((x1 + (x2 - x1) * i / 8)) $((y1 + (y2 - y1) * i / 8)) sleep 0.03
    done
}

# xdotool's --sync waits for the pointer to move, which it never does when it
# is there already.
move() {
    local x=$1 y=$2 at
    at=$(DISPLAY=$display xdotool getmouselocation 2>/dev/null | sed -E 's/^x:([0-9-]+) y:([0-9-]+).*/\1 \2/')
    [[ $at == "$x $y" ]] || DISPLAY=$display xdotool mousemove --sync "$x" "$y"
}

serve() {
    local deadline=$(( $(date +%s) + 900 )) verb a b c d
    while (( $(date +%s) < deadline )); do
        if [[ -e $dir/click ]]; then
            read -r verb a b c d <"$dir/click"
            case $verb in
                click) move "$a" "$b" && DISPLAY=$display xdotool click 1 ;;
                move) move "$a" "$b" ;;
                drag) drag "$a" "$b" "$c" "$d" ;;
                # One xdotool call each: no pause between arriving and pressing.
                hold) DISPLAY=$display xdotool mousemove "$a" "$b" mousedown 1 sleep "$(awk "BEGIN{print $c/1000}")" mouseup 1 ;;
                dblclick) move "$a" "$b" && DISPLAY=$display xdotool click 1 mousemove $((a + 1)) "$b" mousedown 1 \
                    sleep 0.1 mousemove $((a + 2)) "$b" sleep 0.05 mouseup 1 ;;
                down) move "$a" "$b" && DISPLAY=$display xdotool mousedown 1 ;;
                to) steps_to "$a" "$b" ;;
                up) DISPLAY=$display xdotool mouseup 1 ;;
                tray) read -r c d < <(bash "$here/tray_icon.sh" "$state" "$a" 10) &&
                    move "$c" "$d" && DISPLAY=$display xdotool click 1 ;;
                *) echo "unknown request: $verb $a $b $c $d" ;;
            esac >>"$dir/pointer.log" 2>&1 || echo "xdotool failed for $verb $a $b $c $d" >>"$dir/pointer.log"
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
