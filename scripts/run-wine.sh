#!/bin/bash
# Runs the Win32 client under Wine against the bundled local demo servers: the
# content server and the login page on 127.0.0.1, at the ports the
# win32-test build's addresses name (18080 and 18081 in its preset).
# On a desktop it opens on the current display and runs until closed; with no
# display it runs on a private Xvfb, saves a screenshot of the login screen
# and prints where. Installs what it lacks.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/setup.sh
cmake --preset win32-test >/dev/null
cmake --build --preset win32-test --target Veltrotarn fake_flash demo_launcher

state=$root/build/demo
mkdir -p "$state"
servers=()
stop() {
  for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [[ -z ${WINE_DISPLAY:-} ]]; then bash scripts/wine/down.sh "$state" || true; fi
}
trap stop EXIT

# The demo content, and the test Flash control served as the library to
# provision (there is no real Flash control to be had here).
content=$state/content
rm -rf "$content"
mkdir -p "$content"
cp -r tools/demo/content/. "$content/"
mkdir -p "$content/kvx_stable/bin"
cp build/win32-test/demo/Kestrune.swf "$content/kvx_stable/bin/Kestrune.swf"
mkdir -p "$content/kvx_stable/microClient"
cp build/win32-test/fixtures/flash32.ocx "$content/kvx_stable/microClient/flash32.ocx"
# shellcheck source=/dev/null
. build/win32-test/demo/servers
: "${content_port:?}" "${login_port:?}"
python3 tools/content_server.py --root "$content" --port "$content_port" --log "$state/content.log" &
servers+=($!)
python3 tools/content_server.py --root build/win32-test/demo/login --port "$login_port" --log "$state/login.log" &
servers+=($!)

if [[ -n ${DISPLAY:-} ]] && timeout 5 xdpyinfo -display "$DISPLAY" >/dev/null 2>&1; then
  export WINE_DISPLAY=$DISPLAY
fi
bash scripts/wine/up.sh "$state"
# shellcheck source=/dev/null
. "$state/env"
# Started as a user would start a download: from outside its data folder.
downloads=$WINEPREFIX/drive_c/users/Public/Downloads
mkdir -p "$downloads"
cp build/win32-test/Veltrotarn.exe "$downloads/Veltrotarn.exe"

if [[ -n ${WINE_DISPLAY:-} ]]; then
  echo "run: starting the client on $DISPLAY; close it to stop"
  bash scripts/wine/run.sh "$state" --timeout 86400 'C:\users\Public\Downloads\Veltrotarn.exe'
  exit 0
fi

bash scripts/wine/run.sh "$state" --timeout 120 'C:\users\Public\Downloads\Veltrotarn.exe' &
client=$!
# The login screen is up when its four windows are mapped.
deadline=$((SECONDS + 60))
until [[ $(xdotool search --onlyvisible --name '^Tarnhold$' 2>/dev/null | wc -l) -ge 4 ]]; do
  if ((SECONDS >= deadline)) || ! kill -0 "$client" 2>/dev/null; then
    echo "run: the login screen did not appear" >&2
    exit 1
  fi
  sleep 0.1
done
shot=$state/login-screen.png
bash scripts/wine/screenshot.sh "$state" "$shot"
echo "run: login screen screenshot saved to $shot"
kill "$client" 2>/dev/null || true
wait "$client" 2>/dev/null || true
