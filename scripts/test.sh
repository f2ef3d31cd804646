#!/bin/bash
# Every test: the unit tests on the simulated platform (with sanitizers), the
# product build, and the Win32 tests under Wine. Installs what it lacks.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

cmake --preset host
cmake --build --preset host

# Format and lint the portable code (the Win32 backend is checked by the
# cross compiler's warnings, which are errors too).
git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' | xargs clang-format --dry-run --Werror
git ls-files 'src/*.cpp' | grep -v '^src/platform/win32/' |
  xargs clang-tidy -p build/host --quiet 2>&1 | sed -u '/warnings generated/d'

ctest --preset host

# The product itself must build, warnings as errors.
cmake --preset win32
cmake --build --preset win32

cmake --preset win32-test
cmake --build --preset win32-test
ctest --preset wine
