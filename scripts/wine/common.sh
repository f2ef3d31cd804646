# Shared helpers for the scripts in this folder; sourced, never run.

wine_die() {
    echo "${0##*/}: $*" >&2
    exit 1
}

# Poll a condition until it holds or the deadline (seconds) passes.
# Polling is the only portable way to learn that Xvfb or a process is
# ready/gone, and a deadline keeps a broken set-up from hanging CI.
wait_until() {
    local limit=$1
    shift
    local deadline=$(( $(date +%s%N) / 1000000 + limit * 1000 ))
    until "$@"; do
        if (( $(date +%s%N) / 1000000 >= deadline )); then
            return 1
        fi
        sleep 0.05
    done
}

# A recorded PID can be reused by an unrelated process or linger as a
# zombie (PID 1 in a container does not always reap), so check both the
# name and the state before trusting it. Builtins only: these run in
# polling loops and over all of /proc.
pid_is() {
    local pid=$1 name=$2 comm line
    [[ $pid =~ ^[0-9]+$ ]] || return 1
    { read -r comm <"/proc/$pid/comm"; } 2>/dev/null || return 1
    [[ $comm == "$name" ]] || return 1
    while read -r line; do
        if [[ $line == State:* ]]; then
            [[ $line != *Z* && $line != *X* ]]
            return
        fi
    done <"/proc/$pid/status" 2>/dev/null
    return 1
}

pid_gone() {
    ! pid_is "$1" "$2"
}

# Alive under whatever name: right after a fork the child still carries
# the parent's name until it has exec'd.
pid_alive() {
    local line
    [[ $1 =~ ^[0-9]+$ ]] || return 1
    while read -r line; do
        if [[ $line == State:* ]]; then
            [[ $line != *Z* && $line != *X* ]]
            return
        fi
    done <"/proc/$1/status" 2>/dev/null
    return 1
}

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
