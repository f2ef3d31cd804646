#!/bin/bash
# Usage: up.sh STATE_DIR
# Brings up a private Xvfb and a private 32-bit Wine prefix below STATE_DIR
# and writes STATE_DIR/env for run.sh, screenshot.sh and down.sh.
# Idempotent: a second call only checks that everything is still alive.
set -euo pipefail
. "$(dirname "$0")/common.sh"

[[ $# -eq 1 ]] || { echo "usage: ${0##*/} STATE_DIR" >&2; exit 2; }
mkdir -p "$1"
STATE=$(state_dir_of "$1") || wine_die "cannot use state dir $1"

# Two set-ups racing on one state dir would both pick a display and both
# build the prefix. Every long-lived child gets 9>&- so that it does not
# inherit the lock and block the next up.sh forever.
exec 9>"$STATE/.lock"
flock -w 900 9 || wine_die "timed out waiting for $STATE/.lock"

PREFIX=$STATE/prefix
PRIV_HOME=$STATE/home
XVFB_SCREEN=${XVFB_SCREEN:-1280x1024x24}

has_wineserver() {
    ! no_wineserver "$1"
}

if [[ -n ${WINE_DISPLAY:-} ]]; then
    # Someone's own display (the run command on a desktop): use it, start no Xvfb.
    display_answers "$WINE_DISPLAY" || wine_die "display $WINE_DISPLAY does not answer"
    rm -f "$STATE/xvfb.pid"
    echo "$WINE_DISPLAY" >"$STATE/display"
    touch "$STATE/external-display"
elif pid_is "$(cat "$STATE/xvfb.pid" 2>/dev/null)" Xvfb &&
   display_answers "$(cat "$STATE/display" 2>/dev/null)"; then
    :
else
    rm -f "$STATE/xvfb.pid" "$STATE/display" "$STATE/external-display"
    start_xvfb "$STATE" "$XVFB_SCREEN" || wine_die "no private X server"
fi
DISPLAY_NAME=$(cat "$STATE/display")

# Everything Wine or a desktop library might write into $HOME or the XDG
# folders has to stay below STATE_DIR; otherwise the prefix's Desktop and
# Documents links point into the real home.
declare -A XDG=(
    [XDG_CONFIG_HOME]=$PRIV_HOME/.config
    [XDG_DATA_HOME]=$PRIV_HOME/.local/share
    [XDG_STATE_HOME]=$PRIV_HOME/.local/state
    [XDG_CACHE_HOME]=$PRIV_HOME/.cache
    [XDG_RUNTIME_DIR]=$STATE/runtime
    [XDG_DESKTOP_DIR]=$PRIV_HOME/Desktop
    [XDG_DOCUMENTS_DIR]=$PRIV_HOME/Documents
    [XDG_DOWNLOAD_DIR]=$PRIV_HOME/Downloads
    [XDG_MUSIC_DIR]=$PRIV_HOME/Music
    [XDG_PICTURES_DIR]=$PRIV_HOME/Pictures
    [XDG_VIDEOS_DIR]=$PRIV_HOME/Videos
    [XDG_TEMPLATES_DIR]=$PRIV_HOME/Templates
    [XDG_PUBLICSHARE_DIR]=$PRIV_HOME/Public
)

write_env() {
    local tmp=$STATE/env.tmp.$$ k
    {
        echo "# Written by up.sh; source it, do not edit."
        printf 'export %s=%q\n' \
            DISPLAY "$DISPLAY_NAME" \
            WINEPREFIX "$PREFIX" \
            WINEARCH win32 \
            WINEDEBUG -all \
            WINEDLLOVERRIDES 'mscoree=;mshtml=;winemenubuilder.exe=d;winedbg.exe=d' \
            HOME "$PRIV_HOME" \
            WINE_STATE_DIR "$STATE"
        for k in $(printf '%s\n' "${!XDG[@]}" | sort); do
            printf 'export %s=%q\n' "$k" "${XDG[$k]}"
        done
        # A session bus or Wayland socket inherited from a developer's
        # desktop would leak the real session into the private one.
        echo "unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS"
    } >"$tmp"
    mv -f "$tmp" "$STATE/env"
}

make_private_home() {
    local k
    mkdir -p "$PRIV_HOME"
    for k in "${!XDG[@]}"; do mkdir -p "${XDG[$k]}"; done
    chmod 700 "$STATE/runtime"
    # Desktop libraries read the user folders from this file rather than
    # from the environment.
    {
        for k in DESKTOP DOCUMENTS DOWNLOAD MUSIC PICTURES VIDEOS TEMPLATES PUBLICSHARE; do
            printf 'XDG_%s_DIR="%s"\n' "$k" "${XDG[XDG_${k}_DIR]}"
        done
    } >"${XDG[XDG_CONFIG_HOME]}/user-dirs.dirs"
}

write_env
make_private_home
# shellcheck source=/dev/null
. "$STATE/env"

# Registry settings that must hold before any test program runs: a crash
# dialog would block a headless run until the timeout, and managed hidden
# windows cost a 2 s wait each under a display without window manager.
REG_FILE=$STATE/headless.reg
cat >"$REG_FILE" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\X11 Driver]
"Managed"="N"
REG

registry_ok() {
    # user.reg is only written back once the server has flushed it; the
    # caller makes sure of that with wineserver -w.
    local f=$PREFIX/user.reg
    grep -q '^\[Software\\\\Wine\\\\WineDbg\]' "$f" &&
        sed -n '/^\[Software\\\\Wine\\\\WineDbg\]/,/^$/p' "$f" | grep -q '^"ShowCrashDialog"=dword:00000000$' &&
        sed -n '/^\[Software\\\\Wine\\\\X11 Driver\]/,/^$/p' "$f" | grep -q '^"Managed"="N"$'
}

if [[ ! -e $STATE/prefix.done ]]; then
    # A half-built prefix from an interrupted run is not worth repairing.
    if [[ -d $PREFIX ]]; then
        timeout 30 wineserver -k >/dev/null 2>&1 || true
        wait_until 30 no_wineserver "$PREFIX" || wine_die "old wineserver of $PREFIX does not stop"
        rm -rf "$PREFIX"
    fi
    timeout 600 wineboot -i 9>&- || wine_die "wineboot -i failed or timed out"
    # Z: is Wine's default mapping of the Unix root.
    timeout 120 wine regedit "Z:${REG_FILE//\//\\}" 9>&- ||
        wine_die "importing $REG_FILE failed"
    timeout 300 wineserver -w || wine_die "prefix set-up did not settle within 300 s"
    registry_ok || wine_die "registry settings missing from $PREFIX/user.reg"
    touch "$STATE/prefix.done"
fi

if no_wineserver "$PREFIX"; then
    # A persistent server saves the server start and the registry load on
    # every later program run.
    # Its stdio goes to a log: a server holding the caller's pipe open
    # would make a caller that reads our output (ctest, $(...)) hang.
    timeout 30 wineserver -p </dev/null >>"$STATE/wineserver.log" 2>&1 9>&- ||
        wine_die "wineserver -p failed"
    wait_until 10 has_wineserver "$PREFIX" || wine_die "persistent wineserver did not appear"
    # The first program of a server session starts services.exe and its
    # children, which then live as long as the server and keep whatever
    # stdout/stderr that program had. Start them here, writing to a log,
    # so that no test's output pipe is held open by them.
    timeout 120 wine cmd.exe /c exit 0 </dev/null >>"$STATE/wine.log" 2>&1 9>&- ||
        wine_die "warm-up run failed (see $STATE/wine.log)"
fi
