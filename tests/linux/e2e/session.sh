#!/bin/bash
# Usage:
#   session.sh up STATE_DIR [--bin DIR]
#   session.sh down STATE_DIR
#   session.sh run STATE_DIR [--bin DIR] -- COMMAND [ARGS...]
#
# A private desktop for the Linux end-to-end tests: an Xvfb of its own, a
# compositing manager (without one, RGBA windows are not blended on screen),
# a D-Bus session bus of its own and a StatusNotifierWatcher (tray_host) on
# it, so that tray icons register as they would on a desktop. `up` writes
# STATE_DIR/env (export lines) for the tests; `run` brings the session up,
# runs COMMAND with that environment, always takes the session down again
# and returns COMMAND's status (125 when the session could not come up).
#
# DIR holds the helper programs tray_host and cm_owned (harness.cmake builds
# them); without --bin, TARNHOLD_E2E_BIN names it.
#
# With TARNHOLD_E2E_DESKTOP=gnome the desktop is a player's instead: GNOME
# Shell, headless on a virtual 1280x800 monitor, with the Xwayland it starts
# for X11 clients and no StatusNotifier host (the shell has none without an
# extension). A private system bus stands in for the machine's, which the
# shell asks for logind.
#
# Every process is recorded by PID in STATE_DIR and `down` ends exactly those.

# The readiness checks and the signal handler are called indirectly.
# shellcheck disable=SC2317
set -uo pipefail

me=${0##*/}
die() {
    echo "$me: $*" >&2
    exit 1
}
usage() {
    echo "usage: $me up STATE_DIR [--bin DIR] | down STATE_DIR | run STATE_DIR [--bin DIR] -- COMMAND..." >&2
    exit 2
}

# wait_until, pid_is, pid_alive, stop_pid, display_answers, start_xvfb.
# shellcheck source=SCRIPTDIR/../../../scripts/lib/xsession.sh
. "$(dirname "$0")/../../../scripts/lib/xsession.sh"

# Names the processes have in /proc, by the file their PID is kept in.
declare -A COMM=([tray_host]=tray_host [dbus]=dbus-daemon [xvfb]=Xvfb [shell]=gnome-shell [sysbus]=dbus-daemon)
comm_of() {
    if [[ $1 == compositor ]]; then
        cat "$STATE/compositor.name" 2>/dev/null
    else
        echo "${COMM[$1]}"
    fi
}
recorded_alive() {
    pid_is "$(cat "$STATE/$1.pid" 2>/dev/null)" "$(comm_of "$1")"
}

stop_recorded() {
    local part=$1 pid
    pid=$(cat "$STATE/$part.pid" 2>/dev/null) || return 0
    stop_pid "$pid" "$(comm_of "$part")" || return 1
    rm -f "$STATE/$part.pid"
}

do_down() {
    local status=0 part runtime
    # The tray first, so that it does not see the bus vanish under it, and
    # the X server last, so that its clients end on their own terms.
    for part in tray_host shell compositor dbus sysbus xvfb; do
        stop_recorded "$part" || status=1
    done
    runtime=$(cat "$STATE/runtime_dir" 2>/dev/null)
    # Only ever a folder this script made.
    if [[ $runtime == /tmp/tarnhold-e2e.* && -d $runtime ]]; then
        rm -rf "$runtime"
    fi
    if ((status == 0)); then
        rm -f "$STATE/runtime_dir" "$STATE/env" "$STATE/display" "$STATE/compositor.name"
    fi
    return "$status"
}

cm_owned() {
    "$BIN/cm_owned" "$DISPLAY_NAME" >/dev/null 2>&1
}

# xcompmgr in its plain mode: no shadows or fades, which would change the
# pixels the tests read next to and after a window. picom (xrender, no
# user configuration) only when xcompmgr cannot run. TARNHOLD_E2E_COMPOSITOR
# (one of them, or both in the order to try) overrides the choice.
start_compositor() {
    local pid name
    for name in ${TARNHOLD_E2E_COMPOSITOR:-xcompmgr picom}; do
        command -v "$name" >/dev/null || continue
        case $name in
            xcompmgr) setsid xcompmgr -d "$DISPLAY_NAME" </dev/null >"$STATE/compositor.log" 2>&1 9>&- & ;;
            picom) DISPLAY=$DISPLAY_NAME setsid picom --config /dev/null --backend xrender \
                </dev/null >"$STATE/compositor.log" 2>&1 9>&- & ;;
        esac
        pid=$!
        echo "$name" >"$STATE/compositor.name"
        echo "$pid" >"$STATE/compositor.pid"
        cm_up_or_dead() { cm_owned || ! pid_alive "$pid"; }
        if wait_until 10 cm_up_or_dead && pid_is "$pid" "$name" && cm_owned; then
            return 0
        fi
        echo "$me: $name did not take the compositing selection (see $STATE/compositor.log)" >&2
        stop_recorded compositor
    done
    die "no compositing manager could start"
}

start_dbus() {
    local pid type=${1:-session} listen="unix:dir=$RUNTIME" part=dbus
    if [[ $type == system ]]; then
        listen="unix:path=$RUNTIME/system_bus_socket" part=sysbus
    fi
    # No service directories: nothing is started on demand, so no process
    # outside the recorded ones ever runs on this bus, and a client asking
    # for a desktop service learns at once that there is none.
    cat >"$STATE/$part.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>$type</type>
  <keep_umask/>
  <listen>$listen</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    rm -f "$STATE/$part.address"
    setsid dbus-daemon --config-file="$STATE/$part.conf" --nofork --nopidfile --print-address=3 \
        3>"$STATE/$part.address" </dev/null >"$STATE/$part.log" 2>&1 9>&- &
    pid=$!
    echo "$pid" >"$STATE/$part.pid"
    address_written() { [[ -s $STATE/$part.address ]] || ! pid_alive "$pid"; }
    wait_until 10 address_written || die "dbus-daemon printed no address within 10 s"
    pid_is "$pid" dbus-daemon || die "dbus-daemon did not start (see $STATE/$part.log)"
    if [[ $type == system ]]; then
        read -r SYSTEM_BUS_ADDRESS <"$STATE/$part.address"
    else
        read -r BUS_ADDRESS <"$STATE/$part.address"
    fi
}

shell_answers() {
    DBUS_SESSION_BUS_ADDRESS=$BUS_ADDRESS timeout 5 gdbus call --session --dest org.freedesktop.DBus \
        --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner \
        org.gnome.Mutter.RemoteDesktop 2>/dev/null | grep -q true &&
        grep -q "GNOME Shell started" "$STATE/shell.log"
}

# The shell names the X display it serves in its log, and the auth file of
# that display is the one it writes into the runtime folder.
xwayland_named() {
    local line auth
    line=$(grep -o 'Using public X11 display :[0-9]*' "$STATE/shell.log" 2>/dev/null) || return 1
    DISPLAY_NAME=${line##* }
    auth=$(find "$RUNTIME" -maxdepth 1 -name '.mutter-Xwaylandauth.*' -print -quit)
    [[ -n $auth ]] || return 1
    XAUTH_FILE=$auth
}

xwayland_answers() {
    XAUTHORITY=$XAUTH_FILE timeout 5 xdpyinfo -display "$DISPLAY_NAME" >/dev/null 2>&1
}

start_shell() {
    local pid
    # mutter puts Xwayland's socket there and will not make the folder.
    if [[ ! -d /tmp/.X11-unix || ! -w /tmp/.X11-unix ]]; then
        if ! { mkdir -p /tmp/.X11-unix 2>/dev/null && chmod 1777 /tmp/.X11-unix 2>/dev/null; }; then
            die "/tmp/.X11-unix is not a folder everyone may write to, and cannot be made one"
        fi
    fi
    (
        unset DISPLAY WAYLAND_DISPLAY XAUTHORITY
        export DBUS_SESSION_BUS_ADDRESS=$BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS=$SYSTEM_BUS_ADDRESS \
            XDG_RUNTIME_DIR=$RUNTIME HOME=$STATE/home XDG_CONFIG_HOME=$STATE/home/.config \
            XDG_DATA_HOME=$STATE/home/.local/share XDG_CACHE_HOME=$STATE/home/.cache \
            GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 LIBGL_ALWAYS_SOFTWARE=1
        exec setsid gnome-shell --wayland --headless --virtual-monitor 1280x800 \
            </dev/null >"$STATE/shell.log" 2>&1 9>&-
    ) &
    pid=$!
    echo "$pid" >"$STATE/shell.pid"
    shell_up_or_dead() { shell_answers || ! pid_alive "$pid"; }
    if ! { wait_until 60 shell_up_or_dead && pid_is "$pid" gnome-shell; }; then
        die "GNOME Shell did not start within 60 s (see $STATE/shell.log)"
    fi
    wait_until 30 xwayland_named || die "the shell named no Xwayland display (see $STATE/shell.log)"
    wait_until 30 xwayland_answers || die "Xwayland $DISPLAY_NAME does not answer xdpyinfo"
}

# The owner of the watcher name must be our own tray_host, not merely some
# process: the bus tells its PID.
watcher_pid() {
    DBUS_SESSION_BUS_ADDRESS=$BUS_ADDRESS timeout 5 gdbus call --session --dest org.freedesktop.DBus \
        --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.GetConnectionUnixProcessID \
        org.kde.StatusNotifierWatcher 2>/dev/null | sed -nE 's/^\(uint32 ([0-9]+),\)$/\1/p'
}

start_tray_host() {
    local pid
    (
        # shellcheck source=/dev/null
        . "$STATE/env"
        exec setsid "$BIN/tray_host" --serve </dev/null >"$STATE/tray_host.log" 2>&1 9>&-
    ) &
    pid=$!
    echo "$pid" >"$STATE/tray_host.pid"
    watcher_ours_or_dead() { [[ $(watcher_pid) == "$pid" ]] || ! pid_alive "$pid"; }
    wait_until 10 watcher_ours_or_dead || die "tray_host did not take the watcher name within 10 s"
    pid_is "$pid" tray_host || die "tray_host ended (see $STATE/tray_host.log)"
}

pick_lang() {
    local l
    for l in en_US.UTF-8 C.UTF-8; do
        # locale -a spells them in lower case without the dash.
        if locale -a 2>/dev/null | grep -qix "${l/UTF-8/utf8}"; then
            echo "$l"
            return 0
        fi
    done
    echo C.UTF-8
}

write_env() {
    local home=$STATE/home tmp=$STATE/env.tmp.$$
    mkdir -p "$home/.config" "$home/.local/share" "$home/.local/state" "$home/.cache"
    {
        echo "# Written by session.sh up; source it, do not edit."
        # Anything of the caller's desktop would leak into the private one:
        # its bus, Wayland socket, X cookie, session manager.
        echo "unset WAYLAND_DISPLAY XAUTHORITY SESSION_MANAGER XDG_CURRENT_DESKTOP DESKTOP_SESSION XDG_SESSION_DESKTOP GTK_MODULES GDK_BACKEND TARNHOLD_TRAY_HOST"
        if [[ $DESKTOP == gnome ]]; then
            # What a GNOME session on Wayland hands the programs it starts.
            printf 'export %s=%q\n' \
                XAUTHORITY "$XAUTH_FILE" \
                WAYLAND_DISPLAY wayland-0 \
                XDG_SESSION_TYPE wayland \
                XDG_CURRENT_DESKTOP GNOME \
                DBUS_SYSTEM_BUS_ADDRESS "$SYSTEM_BUS_ADDRESS"
        else
            printf 'export %s=%q\n' \
                XDG_SESSION_TYPE x11 \
                GDK_BACKEND x11 \
                TARNHOLD_TRAY_HOST "$BIN/tray_host"
        fi
        printf 'export %s=%q\n' \
            TARNHOLD_E2E_DESKTOP "$DESKTOP" \
            DISPLAY "$DISPLAY_NAME" \
            DBUS_SESSION_BUS_ADDRESS "$BUS_ADDRESS" \
            XDG_RUNTIME_DIR "$RUNTIME" \
            HOME "$home" \
            XDG_CONFIG_HOME "$home/.config" \
            XDG_DATA_HOME "$home/.local/share" \
            XDG_STATE_HOME "$home/.local/state" \
            XDG_CACHE_HOME "$home/.cache" \
            LANG "$(pick_lang)" \
            LC_ALL "$(pick_lang)" \
            NO_AT_BRIDGE 1 \
            GSETTINGS_BACKEND memory \
            GIO_USE_VFS local \
            LIBGL_ALWAYS_SOFTWARE 1 \
            WEBKIT_DISABLE_COMPOSITING_MODE 1 \
            WEBKIT_DISABLE_DMABUF_RENDERER 1 \
            TARNHOLD_E2E_STATE "$STATE" \
            TARNHOLD_E2E_BIN "$BIN"
    } >"$tmp"
    mv -f "$tmp" "$STATE/env"
}

all_alive() {
    if [[ $DESKTOP == gnome ]]; then
        recorded_alive shell && recorded_alive dbus && recorded_alive sysbus && [[ -s $STATE/env ]]
        return
    fi
    recorded_alive xvfb && recorded_alive compositor && recorded_alive dbus && recorded_alive tray_host &&
        [[ -s $STATE/env ]]
}

do_up() {
    [[ -n $BIN ]] || die "no helper folder: give --bin DIR or set TARNHOLD_E2E_BIN"
    BIN=$(cd "$BIN" 2>/dev/null && pwd -P) || die "helper folder missing"
    [[ -x $BIN/tray_host && -x $BIN/cm_owned ]] || die "tray_host or cm_owned missing in $BIN"
    if all_alive; then
        return 0
    fi
    # Whatever part of an earlier session is left is not worth repairing.
    do_down || die "could not clear the earlier session in $STATE"
    RUNTIME=$(mktemp -d /tmp/tarnhold-e2e.XXXXXX) || die "no runtime folder"
    chmod 700 "$RUNTIME"
    echo "$RUNTIME" >"$STATE/runtime_dir"
    if [[ $DESKTOP == gnome ]]; then
        mkdir -p "$STATE/home/.config" "$STATE/home/.local/share" "$STATE/home/.cache"
        start_dbus
        start_dbus system
        start_shell
        write_env
        return
    fi
    start_xvfb "$STATE" 1280x800x24 +extension Composite || die "no private X server"
    DISPLAY_NAME=$XSESSION_DISPLAY
    start_compositor
    start_dbus
    write_env
    start_tray_host
}

[[ $# -ge 2 ]] || usage
verb=$1
mkdir -p "$2" || die "cannot make $2"
STATE=$(cd "$2" && pwd -P)
shift 2
BIN=${TARNHOLD_E2E_BIN:-}
DESKTOP=${TARNHOLD_E2E_DESKTOP:-xvfb}
[[ $DESKTOP == xvfb || $DESKTOP == gnome ]] || die "TARNHOLD_E2E_DESKTOP is xvfb or gnome, not $DESKTOP"
if [[ $verb == up || $verb == run ]] && [[ ${1:-} == --bin ]]; then
    [[ $# -ge 2 ]] || usage
    BIN=$2
    shift 2
fi

# One set-up or tear-down at a time per state dir.
exec 9>"$STATE/.lock"
flock -w 120 9 || die "timed out waiting for $STATE/.lock"

case $verb in
    up)
        [[ $# -eq 0 ]] || usage
        # A half-started session is taken down again, so that a failed up
        # leaves nothing running.
        (do_up) || {
            do_down
            exit 1
        }
        ;;
    down)
        [[ $# -eq 0 ]] || usage
        do_down
        ;;
    run)
        [[ ${1:-} == -- ]] || usage
        shift
        [[ $# -ge 1 ]] || usage
        (do_up) || {
            do_down
            exit 125
        }
        child=""
        on_signal() {
            [[ -n $child ]] && kill -TERM "$child" 2>/dev/null
        }
        trap on_signal TERM INT HUP
        trap do_down EXIT
        # The lock is for set-up and tear-down only; the command must not
        # hold it, nor keep it from the next up.
        flock -u 9
        # Started in the background so that a signal reaches on_signal at
        # once; stdin handed on explicitly, which a background job would
        # otherwise lose to /dev/null.
        exec 8<&0
        (
            # shellcheck source=/dev/null
            . "$STATE/env"
            exec "$@" <&8 8<&- 9>&-
        ) &
        child=$!
        status=0
        while :; do
            wait "$child"
            status=$?
            # A trapped signal interrupts wait; the command goes on until it ends.
            kill -0 "$child" 2>/dev/null || break
        done
        flock -w 120 9 || echo "$me: tearing down without the lock" >&2
        exit "$status"
        ;;
    *) usage ;;
esac
