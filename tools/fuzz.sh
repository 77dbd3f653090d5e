#!/usr/bin/env bash
# libFuzzer runs of the text readers and converters (fuzz/), in their own clang build (build/fuzz)
# with AddressSanitizer and UndefinedBehaviorSanitizer.
#   tools/fuzz.sh [seconds]   long runs: 300 s per target unless given; the corpora grow in build/fuzz
#   tools/fuzz.sh --short     about 10 s per target from the committed seeds (part of ./run test)
# An input that breaks a property or crashes is saved as build/fuzz/artifacts/<target>/crash-*;
# replay it with build/fuzz/fuzz/fuzz_<target> <file>, then add it to tests/unit/FuzzRegressionTest.cpp.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/fuzz"
JOBS="$(nproc 2>/dev/null || echo 2)"
TARGETS=(resid neuronid programid bytstr bintostr placement)

seconds=300
short=0
case "${1:-}" in
  --short) short=1; seconds=10 ;;
  "") ;;
  *[!0-9]*) echo "usage: tools/fuzz.sh [seconds | --short]" >&2; exit 2 ;;
  *) seconds="$1" ;;
esac

echo "== fuzzing: ${#TARGETS[@]} targets, ${seconds} s each"
command -v clang++ >/dev/null || { echo "clang++ is not installed (./run test installs it)" >&2; exit 1; }
if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE= \
    "-DCMAKE_CXX_FLAGS=-O1 -g -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
    "-DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined" \
    -DQV_FUZZ=ON -DQV_TESTS=OFF -DQV_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD" -j "$JOBS" --target fuzz_all >"$BUILD/build.log" 2>&1 || { tail -40 "$BUILD/build.log" >&2; exit 1; }

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
status=0
for t in "${TARGETS[@]}"; do
  work="$BUILD/corpus/$t"
  artifacts="$BUILD/artifacts/$t"
  log="$BUILD/logs/$t.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1
        -artifact_prefix="$artifacts/")
  [ -f "$ROOT/fuzz/$t.dict" ] && args+=(-dict="$ROOT/fuzz/$t.dict")
  # New inputs go to the first folder, so the committed seeds stay as they are.
  rc=0
  "$BUILD/fuzz/fuzz_$t" "${args[@]}" "$work" "$ROOT/fuzz/corpus/$t" >"$log" 2>&1 || rc=$?
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  speed="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")"
  cov="$(grep -o 'DONE *cov: [0-9]*' "$log" | grep -o '[0-9]*$' || true)"
  corpus="$(grep -o 'DONE .*corp: [0-9]*' "$log" | grep -o '[0-9]*$' || true)"
  if [ "$rc" -ne 0 ]; then
    status=1
    grep -v '^#\|^INFO:' "$log" | tail -40 >&2
    echo "fuzz_$t: FAILED (exit $rc); the input is in $artifacts/, the log in $log" >&2
  else
    printf 'fuzz_%-10s %9s runs  %7s exec/s  coverage %s  corpus %s\n' "$t" "${runs:-?}" "${speed:-?}" "${cov:-?}" "${corpus:-?}"
  fi
done
exit $status
