#!/bin/bash
# The Linux client's player beside Chromium's (tools/bench/player_bench.py):
# first frames after an early and a late login, CPU and PSS while the demo
# movie plays, 5 rounds interleaved, medians and ratios. A benchmark, not a
# test: the test command does not run it. Installs Debian's Chromium when it
# is missing. Arguments go to player_bench.py (--rounds N, --threads).
#
# The desktop is GNOME Shell (headless, both programs through its Xwayland),
# as players have one; TARNHOLD_E2E_DESKTOP=plain runs them in the tests'
# Xvfb with a compositing manager and no window manager, where GTK 3 asks
# the X server for a window manager on every frame of every window.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
if [[ ! -x /usr/bin/chromium ]]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends chromium
fi
cmake --preset linux >/dev/null
cmake --build --preset linux --target Veltrotarn tray_host cm_owned demo_launcher

state=$root/build/bench-player
rm -rf "$state"
mkdir -p "$state"
export TARNHOLD_E2E_DESKTOP=${TARNHOLD_E2E_DESKTOP:-gnome}
[[ $TARNHOLD_E2E_DESKTOP == plain ]] && unset TARNHOLD_E2E_DESKTOP
trap 'bash tests/linux/e2e/session.sh down "$state/session" || true' EXIT
bash tests/linux/e2e/session.sh up "$state/session" --bin build/linux/tests/linux/e2e-bin
# shellcheck disable=SC1091
. "$state/session/env"
# shellcheck source=/dev/null
. build/linux/demo/servers
: "${content_port:?}" "${login_port:?}"
display_pids=()
for part in xvfb compositor shell; do
  [[ -f $state/session/$part.pid ]] && display_pids+=("$(cat "$state/session/$part.pid")")
done
ruffle=$(sed -n 's/^TARNHOLD_RUFFLE_DIR:PATH=//p' build/linux/CMakeCache.txt)
/usr/bin/python3 tools/bench/player_bench.py --source "$root" --client build/linux/Veltrotarn \
  --ruffle "$ruffle" --movie build/linux/demo/Kestrune.swf --content tools/demo/content \
  --content-port "$content_port" --login-port "$login_port" --state "$state" \
  --x-pids "${display_pids[@]}" "$@"
