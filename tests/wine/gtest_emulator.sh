#!/bin/bash
# Usage: gtest_emulator.sh STATE_DIR SECONDS [--pointer DIR] PROGRAM [ARGS...]
# How CTest starts a GoogleTest program of the Wine tests (the targets'
# CROSSCOMPILING_EMULATOR), both to list its tests and to run one.
#
# A test (--gtest_filter=Suite.Name) runs through run.sh in the prefix of
# STATE_DIR (up.sh, the wine fixture) for at most SECONDS; with --pointer,
# beside the display's own pointer (with_pointer.sh) in DIR/Suite.Name.
#
# A listing (--gtest_list_tests) is what the discovery asks for when CTest
# starts, before any fixture has run: when the prefix is not up it is
# brought up for the listing and taken down after it, so that a listing
# leaves nothing running. The listing alone goes to stdout, which the
# discovery parses.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scripts=$(cd "$here/../../scripts/wine" && pwd)
me=${0##*/}
[[ $# -ge 3 ]] || { echo "usage: $me STATE_DIR SECONDS [--pointer DIR] PROGRAM [ARGS...]" >&2; exit 125; }
state=$1 seconds=$2
shift 2
pointer=
if [[ $1 == --pointer ]]; then
    [[ $# -ge 3 ]] || { echo "$me: --pointer needs a folder and a program" >&2; exit 125; }
    pointer=$2
    shift 2
fi

listing="" name=all
for arg in "${@:2}"; do
    case $arg in
        --gtest_list_tests) listing=1 ;;
        --gtest_filter=*) name=${arg#--gtest_filter=} ;;
    esac
done

if [[ -z $listing ]]; then
    if [[ -n $pointer ]]; then
        exec bash "$here/with_pointer.sh" "$state" "$pointer/$name" \
            bash "$scripts/run.sh" "$state" --timeout "$seconds" "$@"
    fi
    exec bash "$scripts/run.sh" "$state" --timeout "$seconds" "$@"
fi

# Wine runs a 32-bit program as a 32-bit Linux process; where the kernel
# starts none, building a prefix would only fail minutes later.
if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "$me: cannot list $1: this kernel starts no 32-bit programs" \
        "($(uname -r): /lib/ld-linux.so.2 does not run)" >&2
    exit 125
fi

# shellcheck source=SCRIPTDIR/../../scripts/wine/common.sh
. "$scripts/common.sh"
prefix_up() {
    [[ -r $state/env && -d $state/prefix ]] || return 1
    [[ -e $state/external-display ]] || pid_is "$(cat "$state/xvfb.pid" 2>/dev/null)" Xvfb || return 1
    ! no_wineserver "$state/prefix"
}
if prefix_up; then
    exec bash "$scripts/run.sh" "$state" --timeout "$seconds" "$@"
fi
bash "$scripts/up.sh" "$state" >&2
status=0
bash "$scripts/run.sh" "$state" --timeout "$seconds" "$@" || status=$?
bash "$scripts/down.sh" "$state" >&2 || echo "$me: $state was not taken down cleanly" >&2
exit "$status"
