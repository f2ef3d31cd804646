# The private X sessions of the Wine tests (scripts/wine) and the Linux
# end-to-end tests (tests/linux/e2e/session.sh): waiting for a condition,
# processes known by PID, and an Xvfb of their own. Sourced, never run.
# shellcheck shell=bash

# Poll until the condition holds or the deadline (seconds) passes: readiness
# of a server is only learnt by asking it, and the deadline keeps a broken
# set-up from hanging the test run.
wait_until() {
    local limit=$1
    shift
    local deadline=$(($(date +%s%N) / 1000000 + limit * 1000))
    until "$@"; do
        (($(date +%s%N) / 1000000 < deadline)) || return 1
        sleep 0.05
    done
}

# pid_alive_state: 0 when /proc/PID/status shows a process that is neither a
# zombie nor dead. An explicit status: a bare `return` in an EXIT trap would
# hand back the status the script is exiting with. Builtins only: these run
# in polling loops and over all of /proc.
pid_alive_state() {
    local line
    while read -r line; do
        if [[ $line == State:* ]]; then
            if [[ $line != *Z* && $line != *X* ]]; then return 0; else return 1; fi
        fi
    done 2>/dev/null <"/proc/$1/status"
    return 1
}

# A recorded PID can be reused by an unrelated process or linger as a zombie
# (PID 1 of a container does not always reap), so check name and state.
pid_is() {
    local pid=$1 name=$2 comm
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    { read -r comm <"/proc/$pid/comm"; } 2>/dev/null || return 1
    [[ $comm == "$name" ]] || return 1
    pid_alive_state "$pid"
}
pid_gone() { ! pid_is "$1" "$2"; }

# Alive under whatever name: right after the fork a child still carries the
# shell's name until it has exec'd.
pid_alive() {
    [[ $1 =~ ^[0-9]+$ ]] || return 1
    pid_alive_state "$1"
}

# stop_pid PID NAME: ends the process if it is still NAME, asking first.
stop_pid() {
    local pid=$1 name=$2
    pid_is "$pid" "$name" || return 0
    kill -TERM "$pid" 2>/dev/null
    wait_until 10 pid_gone "$pid" "$name" && return 0
    kill -KILL "$pid" 2>/dev/null
    wait_until 5 pid_gone "$pid" "$name" && return 0
    echo "${0##*/}: $name $pid does not die" >&2
    return 1
}

display_answers() {
    timeout 5 xdpyinfo -display "$1" >/dev/null 2>&1
}

# start_xvfb STATE SCREEN [ARGS...]: an Xvfb of its own (screen SCREEN, more
# server arguments ARGS), its PID in STATE/xvfb.pid, its display in
# STATE/display and in XSESSION_DISPLAY. -displayfd lets the server pick a
# free number itself, which is free of the race two sessions probing lock
# files would have. setsid keeps it alive when the caller's process group is
# signalled (a timeout around the set-up); 9>&- keeps the caller's lock from
# being inherited. On failure: a message, status 1, and no server left.
start_xvfb() {
    local state=$1 screen=$2 pid n=""
    shift 2
    : >"$state/displayfd"
    setsid Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset "$@" \
        3>"$state/displayfd" </dev/null >"$state/xvfb.log" 2>&1 9>&- &
    pid=$!
    echo "$pid" >"$state/xvfb.pid"
    # shellcheck disable=SC2317  # called through wait_until
    displayfd_written() { [[ -s $state/displayfd ]] || ! pid_alive "$pid"; }
    if ! wait_until 20 displayfd_written; then
        echo "${0##*/}: Xvfb wrote no display number within 20 s (see $state/xvfb.log)" >&2
        stop_pid "$pid" Xvfb
        return 1
    fi
    read -r n <"$state/displayfd"
    if ! [[ $n =~ ^[0-9]+$ ]] || ! pid_is "$pid" Xvfb; then
        echo "${0##*/}: Xvfb did not start (see $state/xvfb.log)" >&2
        return 1
    fi
    XSESSION_DISPLAY=:$n
    echo "$XSESSION_DISPLAY" >"$state/display"
    if ! wait_until 20 display_answers "$XSESSION_DISPLAY"; then
        echo "${0##*/}: Xvfb $XSESSION_DISPLAY does not answer xdpyinfo (see $state/xvfb.log)" >&2
        stop_pid "$pid" Xvfb
        return 1
    fi
}
