#!/usr/bin/env bash
# Builds and runs every test: the unit and terminal tests, the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a bounded run of each fuzzer, and the Windows program under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
jobs=$(nproc)
failed=()
tests_passed=0
tests_failed=0

run_ctest() {  # build-dir label
  local log
  log=$(mktemp)
  if ! ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 600 | tee "$log"; then
    failed+=("$2")
  fi
  # "100% tests passed, 0 tests failed out of 211"
  local summary
  summary=$(grep -E 'tests failed out of [0-9]+' "$log" | tail -n 1)
  if [[ $summary =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    tests_failed=$((tests_failed + BASH_REMATCH[1]))
    tests_passed=$((tests_passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    failed+=("$2 (no summary)")
  fi
  rm -f "$log"
}

echo "== tests"
cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/test -j "$jobs"
run_ctest build/test tests

# Built with clang, so that both compilers see the code with warnings as errors on every run.
echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer (clang)"
cmake -S . -B build/sanitize-clang -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMIRVANE_SANITIZE=ON \
  -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build build/sanitize-clang -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest build/sanitize-clang sanitized-tests

for stage in scripts/test-stages/*.sh; do
  [[ -e "$stage" ]] || continue
  echo "== $(basename "$stage" .sh)"
  bash "$stage" || failed+=("$(basename "$stage" .sh)")
done

if ((${#failed[@]})); then
  echo "failed stages: ${failed[*]}"
else
  echo "all stages passed"
fi
echo "ctest: $tests_passed passed, $tests_failed failed"
((${#failed[@]} == 0))
