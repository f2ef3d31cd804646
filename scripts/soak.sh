#!/bin/bash
# Usage: scripts/soak.sh [wine|linux|both]
# The long run between the login and the game screens, not part of the test
# command: 100 rounds of hand-over, close back to the login screen and login
# again under Wine through the driver (GDI and USER objects, kernel handles,
# private bytes, each round), and 30 rounds on Linux through the real pages
# (the PSS of the client's process tree and its web processes, each round
# while the movie plays). Each prints its rounds' figures and fails when they
# do not stay flat. Installs and builds what it needs, as the test command does.
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-both}

bash scripts/setup.sh
if [[ $which == wine || $which == both ]]; then
  cmake --preset win32-test >/dev/null
  cmake --build --preset win32-test
  ctest --test-dir build/win32-test -L soak --output-on-failure -V | grep -E 'soak|round|Passed|Failed|Failure'
fi
if [[ $which == linux || $which == both ]]; then
  cmake --preset linux >/dev/null
  cmake --build --preset linux
  ctest --test-dir build/linux -L soak --output-on-failure -V | grep -E 'soak|round|Passed|Failed|Failure'
fi
