#!/bin/bash
# Usage: tray_icon.sh STATE_DIR [INDEX] [SECONDS]
# Prints "X Y": the screen pixel at the centre of notification icon INDEX
# (0 is the first; icons keep the order they were added in) on the display
# of STATE_DIR (from up.sh), once Wine's tray shows, waiting up to SECONDS
# (default 10); a slot past the icons shown is empty, which this cannot
# tell. `xdotool mousemove --sync X Y click 1` there makes the icon's owner
# receive its callback message with lParam WM_LBUTTONDOWN, then WM_LBUTTONUP.
# Exit code: 0, 1 when no tray shows in time, 2 on bad usage or a tray laid
# out unlike the one measured here.
#
# No X system tray runs on the private display, so Wine (8, X11 driver) puts
# the icons in a window of its own, "Wine System Tray", owned by explorer.exe:
# mapped when the first icon comes, unmapped when the last goes. With
# Managed=N it is an unmanaged window with Wine's own frame, at the top left:
# a 3-pixel border round a caption and one row of icon slots, each the small
# icon size plus 2 pixels a side (20 at 96 DPI), at least 8 slots wide.
#
# Never click the tray's own close box: Wine then keeps the tray hidden for
# the rest of that desktop session, and icons added later show nowhere.
set -euo pipefail
# shellcheck source=SCRIPTDIR/../../scripts/wine/common.sh
. "$(dirname "$0")/../../scripts/wine/common.sh"

[[ $# -ge 1 && $# -le 3 ]] || { echo "usage: ${0##*/} STATE_DIR [INDEX] [SECONDS]" >&2; exit 2; }
state=$1
index=${2:-0}
limit=${3:-10}
[[ $index =~ ^[0-9]+$ && $limit =~ ^[0-9]+$ ]] || { echo "${0##*/}: INDEX and SECONDS are whole numbers" >&2; exit 2; }
[[ -r $state/env ]] || { echo "${0##*/}: $state/env missing; run up.sh first" >&2; exit 2; }
for tool in xdotool xwininfo; do
    command -v "$tool" >/dev/null || { echo "${0##*/}: $tool is needed" >&2; exit 2; }
done
# shellcheck source=/dev/null
DISPLAY=$(. "$state/env" && echo "$DISPLAY")
export DISPLAY

readonly FRAME=3 SLOT=20 MIN_SLOTS=8

tray=
tray_shown() {
    tray=$(xdotool search --onlyvisible --name '^Wine System Tray$' 2>/dev/null | head -n 1)
    [[ -n $tray ]]
}
if ! wait_until "$limit" tray_shown; then
    echo "${0##*/}: no Wine System Tray shown within $limit s" >&2
    exit 1
fi

# The absolute position and the outer size, which for an unmanaged window is
# the whole window, frame included.
declare -A geometry=()
while IFS=: read -r key value; do
    key=${key#"${key%%[![:space:]]*}"}
    [[ -n $key ]] || continue
    geometry[$key]=${value//[[:space:]]/}
done < <(xwininfo -id "$tray")
left=${geometry[Absolute upper-left X]:-}
top=${geometry[Absolute upper-left Y]:-}
width=${geometry[Width]:-}
height=${geometry[Height]:-}
[[ -n $left && -n $top && -n $width && -n $height ]] ||
    { echo "${0##*/}: xwininfo told no geometry for window $tray" >&2; exit 2; }

slots=$(( (width - 2 * FRAME) / SLOT ))
if (( (width - 2 * FRAME) % SLOT != 0 || slots < MIN_SLOTS || height <= SLOT + 2 * FRAME )); then
    echo "${0##*/}: the tray is ${width}x${height}, not ${FRAME}-pixel frame round ${SLOT}-pixel slots" >&2
    exit 2
fi
if (( index >= slots )); then
    echo "${0##*/}: the tray has $slots slots; there is no icon $index" >&2
    exit 2
fi
echo "$(( left + FRAME + index * SLOT + SLOT / 2 )) $(( top + height - FRAME - SLOT / 2 ))"
