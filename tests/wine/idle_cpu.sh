#!/bin/bash
# Usage: idle_cpu.sh STATE_DIR BUILD_DIR [SECONDS]
# The CPU time the client's idle login screen costs over SECONDS, beside an
# empty program with a 10 ms timer, in the same run: each program's own time
# plus what the wineserver spends for it (timers and messages pass through
# it). Fails when the client costs more than 1.5 times the empty program.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
state=$1 build=$2 seconds=${3:-30}
. "$here/scripts/wine/common.sh"
. "$state/env"

server=$(wineserver_pids "$WINEPREFIX" | head -n1)
[[ -n $server ]] || { echo "no wineserver for $WINEPREFIX" >&2; exit 1; }
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }
ticks=$(getconf CLK_TCK)

# measure EXE COMM TITLE WINDOWS: CPU ticks over the window, on stdout.
measure() {
  local exe=$1 comm=$2 title=$3 windows=$4 runner pid c0 s0 c1 s1
  bash "$here/scripts/wine/run.sh" "$state" --timeout $((seconds + 90)) "$exe" >/dev/null 2>&1 &
  runner=$!
  local deadline=$((SECONDS + 60))
  until [[ $(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | wc -l) -ge $windows ]]; do
    ((SECONDS < deadline)) || { echo "$exe: no window" >&2; return 1; }
    sleep 0.1
  done
  # The newest live one: earlier tests may leave unreaped zombies of the same name.
  pid=
  for p in $(pgrep -x "$comm" | sort -rn); do
    if [[ $(awk '{print $3}' "/proc/$p/stat" 2>/dev/null) != Z ]]; then pid=$p; break; fi
  done
  [[ -n $pid ]] || { echo "$exe: no process" >&2; return 1; }
  c0=$(cpu "$pid") s0=$(cpu "$server")
  sleep "$seconds"  # the measurement window itself, not a wait for anything
  c1=$(cpu "$pid") s1=$(cpu "$server")
  if ((c1 < c0 || s1 < s0)); then echo "$exe: the process changed while measured" >&2; return 1; fi
  kill "$pid" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  echo "$comm: $((c1 - c0)) ticks in the process, $((s1 - s0)) in the wineserver" >&2
  echo $(((c1 - c0) + (s1 - s0)))
}

downloads=$WINEPREFIX/drive_c/users/Public/Downloads
mkdir -p "$downloads"
cp "$build/Veltrotarn.exe" "$downloads/Veltrotarn.exe"
client=$(measure 'C:\users\Public\Downloads\Veltrotarn.exe' Veltrotarn.exe Tarnhold 4)
empty=$(measure "$build/empty_timer.exe" empty_timer.exe EmptyTimer 1)
echo "idle CPU over ${seconds} s (process + wineserver): client $((client * 1000 / ticks)) ms, empty 10 ms timer program $((empty * 1000 / ticks)) ms"
# Integer arithmetic: client <= 1.5 x empty, with one tick of slack for the clock's grain.
if ((2 * client > 3 * empty + 2)); then
  echo "the idle login screen costs more than 1.5 times the empty program" >&2
  exit 1
fi
