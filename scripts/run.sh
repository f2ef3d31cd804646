#!/bin/bash
# Runs the Linux client against the bundled local demo servers: the content
# server and the login page on 127.0.0.1, at the ports the build's addresses
# name (18080 and 18081 in the linux preset). On a
# desktop it opens on the current display and runs until it is closed (it
# installs itself for this user, as it does on Windows: see the README). With
# no display it runs in a private X session (Xvfb, a compositing manager, a
# bus and a tray), logs in as a player would, saves screenshots of the login
# screen and of the game window playing the movie, and prints where.
# Installs what it lacks. The Win32 client under Wine: scripts/run-wine.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target Veltrotarn tray_host cm_owned demo_launcher

state=$root/build/demo-linux
rm -rf "$state"
mkdir -p "$state"
servers=()
session=0
stop() {
  for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null || true; done
  if ((session)); then bash tests/linux/e2e/session.sh down "$state/session" || true; fi
}
trap stop EXIT

cp -r tools/demo/content "$state/content"
mkdir -p "$state/content/kvx_stable/bin"
cp build/linux/demo/Kestrune.swf "$state/content/kvx_stable/bin/Kestrune.swf"
# shellcheck source=/dev/null
. build/linux/demo/servers
: "${content_port:?}" "${login_port:?}"
python3 tools/content_server.py --root "$state/content" --port "$content_port" --log "$state/content.log" &
servers+=($!)
python3 tools/content_server.py --root build/linux/demo/login --port "$login_port" --log "$state/login.log" &
servers+=($!)

if [[ -n ${DISPLAY:-} ]] && timeout 5 xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
  echo "run: starting the client on $DISPLAY; close it to stop"
  build/linux/Veltrotarn
  exit 0
fi

session=1
bash tests/linux/e2e/session.sh up "$state/session" --bin build/linux/tests/linux/e2e-bin
# shellcheck disable=SC1091
. "$state/session/env"
log=$state/client.log
TARNHOLD_LOG=$log build/linux/Veltrotarn >"$state/client.out" 2>&1 &
client=$!
servers+=("$client")

# Waits for a line of the client's trace, with a deadline.
await() {
  local deadline=$((SECONDS + $2))
  until grep -q "$1" "$log" 2>/dev/null; do
    if ((SECONDS >= deadline)) || ! kill -0 "$client" 2>/dev/null; then
      echo "run: the client did not get to '$1'; its output is in $state" >&2
      exit 1
    fi
    sleep 0.1
  done
}

await 'painted Form2' 60
import -window root "$state/login-screen.png"
echo "run: login screen screenshot saved to $state/login-screen.png"

# The player types a name into the login page and presses Enter.
page=
for w in $(xdotool search --onlyvisible --name '^Tarnhold$'); do
  if [[ $(xdotool getwindowgeometry "$w") == *"620x416"* ]]; then page=$w; fi
done
[[ -n $page ]] || { echo "run: the login page's window is not shown" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$page")"
xdotool windowfocus "$page" mousemove $((X + 308)) $((Y + 200)) click 1
xdotool type --delay 30 'Ayla'
xdotool key Return
await 'movie-frame .* 24$' 90
import -window root "$state/game-window.png"
echo "run: the game window playing the demo movie saved to $state/game-window.png"
grep 'movie-started' "$log" | sed 's/^[0-9]* movie-started [0-9]* /run: the movie received /'
