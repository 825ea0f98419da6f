#!/usr/bin/env bash
# Builds and runs every test: the unit and terminal tests, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a bounded run of each fuzzer, and the Windows program under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
jobs=$(nproc)
failed=()

run_ctest() {  # build-dir label
  if ! ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 600; then
    failed+=("$2")
  fi
}

echo "== tests"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j "$jobs"
run_ctest build/test tests

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIRVANE_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest build/sanitize sanitized-tests

for stage in scripts/test-stages/*.sh; do
  [[ -e "$stage" ]] || continue
  echo "== $(basename "$stage" .sh)"
  bash "$stage" || failed+=("$(basename "$stage" .sh)")
done

if ((${#failed[@]})); then
  echo "failed stages: ${failed[*]}"
  exit 1
fi
echo "all stages passed"
