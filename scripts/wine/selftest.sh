#!/bin/bash
# Usage: selftest.sh [STATE_DIR]
# Checks up.sh/run.sh/screenshot.sh/down.sh against small Windows programs
# built here with mingw-w64. Without STATE_DIR it uses a temporary one and
# tears it down at the end. Exit code 0 only if every check passed.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd -P)
repo=$(cd "$here/../.." && pwd -P)
. "$here/common.sh"

work=$(mktemp -d /tmp/wine-selftest.XXXXXX)
own_state=0
if [[ $# -ge 1 ]]; then
    state=$1
else
    state=$work/state
    own_state=1
fi
failures=0
check() { # description, then the command that must succeed
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}
cleanup() {
    [[ $own_state -eq 1 ]] && "$here/down.sh" "$state" >/dev/null 2>&1
    rm -rf "$work"
}
trap cleanup EXIT

cc=(i686-w64-mingw32-gcc -O2 -s -static)
cat >"$work/exitcode.c" <<'C'
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
int main(int argc, char **argv)
{
    printf("out:%s\n", argc > 1 ? argv[1] : "-");
    fprintf(stderr, "err:%d\n", argc);
    fflush(stdout);
    ExitProcess(argc > 1 ? (UINT)atoi(argv[1]) : 0);
}
C
cat >"$work/hang.c" <<'C'
#include <windows.h>
int main(void) { Sleep(INFINITE); return 0; }
C
cat >"$work/crash.c" <<'C'
int main(void) { volatile int *p = 0; *p = 1; return 0; }
C
# Stands in for Wine's helpers (explorer.exe, services.exe): a process that
# outlives the program and still holds the program's stdout.
cat >"$work/spawn.c" <<'C'
#include <windows.h>
#include <string.h>
int main(int argc, char **argv)
{
    STARTUPINFOA si = { sizeof si };
    PROCESS_INFORMATION pi;
    char cmd[MAX_PATH + 16];
    if (argc > 1 && strcmp(argv[1], "child") == 0) {
        Sleep(15000);
        return 0;
    }
    GetModuleFileNameA(NULL, cmd + 1, MAX_PATH);
    cmd[0] = '"';
    strcat(cmd, "\" child");
    if (!CreateProcessA(NULL, cmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi))
        return 1;
    return 0;
}
C
if ! { "${cc[@]}" -o "$work/spawn.exe" "$work/spawn.c" &&
"${cc[@]}" -o "$work/exitcode.exe" "$work/exitcode.c" &&
"${cc[@]}" -o "$work/hang.exe" "$work/hang.c" &&
"${cc[@]}" -o "$work/crash.exe" "$work/crash.c" &&
"${cc[@]}" -mwindows -o "$work/empty_window.exe" "$repo/tests/wine/empty_window/empty_window.c" &&
    "${cc[@]}" -o "$work/post_close.exe" "$repo/tests/wine/empty_window/post_close.c"; }; then
    echo "FAIL building test programs"
    exit 1
fi

check "up.sh" timeout 900 "$here/up.sh" "$state"
check "up.sh again" timeout 60 "$here/up.sh" "$state"
state=$(cd "$state" && pwd -P)
run() { "$here/run.sh" "$state" "$@"; }

# shellcheck source=/dev/null
. "$state/env"
check "prefix is 32-bit" grep -qx '#arch=win32' "$WINEPREFIX/system.reg"
check "HOME is private" test "$HOME" = "$state/home"
check "Managed=N visible to programs" \
    eval 'run reg query "HKCU\\Software\\Wine\\X11 Driver" /v Managed 2>/dev/null | grep -q "Managed.*REG_SZ.*N"'

for code in 0 3 255; do
    check "exit code $code" eval "run '$work/exitcode.exe' $code >/dev/null 2>&1; test \$? -eq $code"
done
out=$(timeout 30 "$here/run.sh" "$state" "$work/exitcode.exe" 7 a b 2>"$work/err")
rc=$?
check "stdout through \$(...) and exit code 7" test "$rc:${out//$'\r'/}" = "7:out:7"
check "stderr passed through" test "$(tr -d '\r' <"$work/err")" = "err:4"
check "relative program path" eval "cd '$work' && run exitcode.exe 5 >/dev/null 2>&1; test \$? -eq 5"
check "timeout gives 124" eval "run --timeout 2 '$work/hang.exe'; test \$? -eq 124"
# A crash dialog or debugger would hang here until the outer timeout.
check "crash ends at once (0xC0000005 -> 5)" \
    eval "timeout 20 '$here/run.sh' '$state' '$work/crash.exe' >/dev/null 2>&1; test \$? -eq 5"

lingering_helper_ok() {
    local start elapsed rc
    start=$(date +%s)
    out=$(timeout 30 "$here/run.sh" "$state" "$work/spawn.exe" 2>&1)
    rc=$?
    elapsed=$(( $(date +%s) - start ))
    [[ $rc -eq 0 && $elapsed -lt 8 ]]
}
check "\$(...) returns while a helper still holds stdout" lingering_helper_ok

seq_ok() {
    local i
    for i in $(seq 1 20); do
        run "$work/exitcode.exe" $((i % 5)) >/dev/null 2>&1
        [[ $? -eq $((i % 5)) ]] || return 1
    done
}
check "20 runs back to back" seq_ok

par_ok() {
    local i pids=() ok=0
    for i in 1 2 3 4 5 6; do
        run "$work/exitcode.exe" $((i + 20)) >/dev/null 2>&1 &
        pids+=($!)
    done
    for i in 1 2 3 4 5 6; do
        wait "${pids[i-1]}"
        [[ $? -eq $((i + 20)) ]] || ok=1
    done
    return $ok
}
check "6 runs in parallel" par_ok

window_visible() { xdotool search --onlyvisible --name '^Empty$' >/dev/null 2>&1; }
window_gone() { ! xdotool search --name '^Empty$' >/dev/null 2>&1; }
proc_done() { ! kill -0 "$1" 2>/dev/null; }

check "no window named Empty yet" window_gone
run "$work/empty_window.exe" >"$work/ew.out" 2>&1 &
ew=$!
check "empty window appears" wait_until 30 window_visible
check "screenshot.sh" "$here/screenshot.sh" "$state" "$work/shot.png"
check "screenshot is the 1280x1024 screen" \
    eval "test \"\$(identify -format '%wx%h' '$work/shot.png')\" = 1280x1024"
# The client area is COLOR_WINDOW (white by default) on a black root, so a
# window that was mapped but never painted shows up as a dark crop.
window_painted() {
    # xdotool --shell prints all six; declaring them keeps eval local.
    # shellcheck disable=SC2034
    local WINDOW X Y WIDTH HEIGHT SCREEN mean
    eval "$(xdotool search --onlyvisible --name '^Empty$' getwindowgeometry --shell 2>/dev/null | head -n 6)"
    [[ -n ${WIDTH:-} ]] || return 1
    mean=$(convert "$work/shot.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" -format '%[fx:mean]' info:) || return 1
    awk -v m="$mean" 'BEGIN { exit !(m > 0.5) }'
}
check "window area in the screenshot is painted" window_painted
check "still running before WM_CLOSE" eval "! proc_done $ew"
check "post_close finds the window" run "$work/post_close.exe" Empty
check "program ends after WM_CLOSE" wait_until 20 proc_done "$ew"
wait "$ew"
check "exit code 0 after WM_CLOSE" test $? -eq 0
check "post_close reports no window" eval "run '$work/post_close.exe' Empty; test \$? -eq 1"

if [[ $own_state -eq 1 ]]; then
    check "down.sh" "$here/down.sh" "$state"
    check "down.sh again" "$here/down.sh" "$state"
    check "wineserver gone" no_wineserver "$state/prefix"
fi

echo "$failures failure(s)"
[[ $failures -eq 0 ]]
