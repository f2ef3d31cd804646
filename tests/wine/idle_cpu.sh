#!/bin/bash
# Usage: idle_cpu.sh STATE_DIR BUILD_DIR [SECONDS]
# The CPU time the client's idle login screen costs over SECONDS, beside an
# empty program with a 10 ms timer, in the same run: each program's own time
# plus what the wineserver spends for it (timers and messages pass through
# it, as they pass through the kernel on Windows). Each program runs alone
# while measured, in three slices taken in turn (client, empty, client, ...),
# so that the machine's own ups and downs fall on both alike. A figure to
# read, not a limit: it fails only when a program could not be measured.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
state=$1 build=$2 seconds=${3:-30}
# shellcheck source=SCRIPTDIR/../../scripts/wine/common.sh
. "$here/scripts/wine/common.sh"
# shellcheck source=/dev/null
. "$state/env"

server=$(wineserver_pids "$WINEPREFIX" | head -n1)
[[ -n $server ]] || { echo "no wineserver for $WINEPREFIX" >&2; exit 1; }
# Run time in nanoseconds, summed over the process's threads: the scheduler's
# own account (schedstat), not the 10 ms ticks of /proc/PID/stat, whose grain
# is a tenth of what an idle program spends in 30 s. A thread that ends
# within the window takes its share with it; the client starts none then.
cpu() {
    local total=0 t ns
    for t in "/proc/$1/task/"*/schedstat; do
        read -r ns _ <"$t" 2>/dev/null || continue
        total=$((total + ns))
    done
    echo "$total"
}

# measure EXE COMM TITLE WINDOWS: CPU nanoseconds over the window, on stdout.
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
  sleep "$slice"  # the measurement window itself, not a wait for anything
  c1=$(cpu "$pid") s1=$(cpu "$server")
  if ((c1 < c0 || s1 < s0)); then echo "$exe: the process changed while measured" >&2; return 1; fi
  kill "$pid" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  echo "$comm: $(((c1 - c0) / 1000000)) ms in the process, $(((s1 - s0) / 1000000)) ms in the wineserver over $slice s" >&2
  echo $(((c1 - c0) + (s1 - s0)))
}

downloads=$WINEPREFIX/drive_c/users/Public/Downloads
mkdir -p "$downloads"
cp "$build/Veltrotarn.exe" "$downloads/Veltrotarn.exe"
slice=$((seconds / 3))
client=0 empty=0
for _ in 1 2 3; do
  client=$((client + $(measure 'C:\users\Public\Downloads\Veltrotarn.exe' Veltrotarn.exe Tarnhold 4)))
  empty=$((empty + $(measure "$build/empty_timer.exe" empty_timer.exe EmptyTimer 1)))
done
((client > 0 && empty > 0)) || { echo "a program was not measured" >&2; exit 1; }
echo "idle CPU over ${seconds} s (process + wineserver): client $((client / 1000000)) ms, empty 10 ms timer program $((empty / 1000000)) ms, ratio $((client * 100 / empty))%"
