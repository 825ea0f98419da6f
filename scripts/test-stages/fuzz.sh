#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time; a crash or a broken
# invariant fails the stage.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${FUZZ_SECONDS:-30}
build=build/fuzz
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DMIRVANE_BUILD_FUZZ=ON -DMIRVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target parse_number_fuzzer format_number_fuzzer -j "$(nproc)"

for fuzzer in parse_number_fuzzer format_number_fuzzer; do
  corpus="$build/corpus/$fuzzer"
  mkdir -p "$corpus"
  echo "-- $fuzzer (${seconds}s)"
  log="$build/$fuzzer.log"
  if ! "$build/fuzz/numeric/$fuzzer" "$corpus" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$build/$fuzzer-" >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "$fuzzer failed; the input that broke it is in $build/$fuzzer-*"
    exit 1
  fi
  grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" "$log" || tail -n 3 "$log"
done
