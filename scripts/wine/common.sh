# Shared helpers for the scripts in this folder; sourced, never run.
# shellcheck shell=bash

wine_die() {
    echo "${0##*/}: $*" >&2
    exit 1
}

# wait_until, pid_is, pid_gone, pid_alive, stop_pid, display_answers, start_xvfb.
# shellcheck source=SCRIPTDIR/../lib/xsession.sh
. "$(dirname "${BASH_SOURCE[0]}")/../lib/xsession.sh"

# Every wineserver keeps a descriptor on its prefix directory open, which
# identifies the server of exactly this prefix without touching other Wine
# sessions (Debian moves the socket directory to a random /tmp name, so the
# socket path is no reliable key).
wineserver_pids() {
    local prefix=$1 p f comm
    [[ -d $prefix ]] || return 0
    for p in /proc/[0-9]*; do
        { read -r comm <"$p/comm"; } 2>/dev/null || continue
        [[ $comm == wineserver* ]] || continue
        pid_is "${p#/proc/}" "$comm" || continue
        for f in "$p"/fd/*; do
            if [[ $f -ef $prefix ]]; then
                echo "${p#/proc/}"
                break
            fi
        done
    done
}

no_wineserver() {
    [[ -z $(wineserver_pids "$1") ]]
}

state_dir_of() {
    [[ -n ${1:-} ]] || return 1
    [[ -d $1 ]] || return 1
    (cd "$1" && pwd -P)
}
