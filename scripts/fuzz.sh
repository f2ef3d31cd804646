#!/bin/bash
# Usage: scripts/fuzz.sh SECONDS
# Builds the libFuzzer targets (the fuzz preset: clang with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for SECONDS, two at a time,
# from its seed corpus in tests/fuzz/corpus. The corpus a run grows stays in
# build/fuzz/corpus; a crashing input lands in build/fuzz/artifacts/TARGET.
# Prints each target's executions and crashes; fails when any crashed.
# FUZZ_JOBS sets how many run at once (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: scripts/fuzz.sh SECONDS}

SUDO=
if [[ $(id -u) -ne 0 ]]; then SUDO=sudo; fi
missing=()
for p in clang libclang-rt-14-dev cmake ninja-build pkg-config libglib2.0-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  $SUDO apt-get update -q
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

targets=(url_escape flash_version frame_png tray_record path_map)
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]/%/_fuzz}"

out=build/fuzz/runs
mkdir -p "$out"
run() {
  local t=$1
  mkdir -p "build/fuzz/corpus/$t" "build/fuzz/artifacts/$t"
  # What an earlier run found would be counted as this run's.
  find "build/fuzz/artifacts/$t" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' \
    -o -name 'oom-*' \) -delete
  "build/fuzz/tests/fuzz/${t}_fuzz" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz/artifacts/$t/" "build/fuzz/corpus/$t" "tests/fuzz/corpus/$t" \
    >"$out/$t.log" 2>&1 || true
}
jobs=${FUZZ_JOBS:-$(nproc)}
for t in "${targets[@]}"; do
  while (($(jobs -rp | wc -l) >= jobs)); do wait -n; done
  run "$t" &
done
wait

failed=0
for t in "${targets[@]}"; do
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/$t.log" | tail -n 1)
  crashes=$(find "build/fuzz/artifacts/$t" -type f | wc -l)
  echo "$t: ${execs:-0} executions in ${seconds} s, $crashes crashing inputs (log: $out/$t.log)"
  ((crashes == 0)) || failed=1
done
exit "$failed"
