#!/bin/bash
# Usage: screenshot.sh STATE_DIR OUT.png
# Grabs the whole private display of STATE_DIR.
set -euo pipefail
[[ $# -eq 2 ]] || { echo "usage: ${0##*/} STATE_DIR OUT.png" >&2; exit 2; }
[[ -r $1/env ]] || { echo "${0##*/}: $1/env missing; run up.sh first" >&2; exit 1; }
# shellcheck source=/dev/null
. "$1/env"
exec timeout 30 import -display "$DISPLAY" -window root "$2"
