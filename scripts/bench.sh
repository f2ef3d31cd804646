#!/bin/bash
# Usage: scripts/bench.sh [wine|linux|both]
# The figures the test command does not take: every test labelled bench (the
# simulator's drag step; under Wine the start-up beside two baselines and the
# idle login screen's CPU), printed as they run, then the soak
# (scripts/soak.sh, with the same argument). A benchmark fails only when it
# could not measure. The Linux player beside Chromium is scripts/bench-player.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-both}
[[ $which == wine || $which == linux || $which == both ]] || {
  echo "usage: scripts/bench.sh [wine|linux|both]" >&2
  exit 2
}

bash scripts/setup.sh
cmake --preset host >/dev/null
cmake --build --preset host
ctest --test-dir build/host -L bench --output-on-failure -V | grep -E 'bench|step|Passed|Failed|Failure'

soak=$which
if [[ $which == wine || $which == both ]]; then
  cmake --preset win32-test >/dev/null
  cmake --build --preset win32-test
  # As in the test command: Wine cannot start a 32-bit program where the
  # kernel starts none.
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    ctest --test-dir build/win32-test -L bench --output-on-failure -V |
      grep -E 'bench|start-up|idle CPU|ms in|Passed|Failed|Failure'
  else
    echo "bench.sh: THE WINE BENCHMARKS AND SOAK DID NOT RUN: this kernel starts no 32-bit programs" \
      "($(uname -r): /lib/ld-linux.so.2 does not run)" >&2
    [[ $which == both ]] && soak=linux || soak=
  fi
fi
[[ -z $soak ]] || bash scripts/soak.sh "$soak"
