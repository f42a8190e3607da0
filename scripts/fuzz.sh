#!/usr/bin/env bash
# Fuzzes each target (or only TARGET) for SECONDS seconds with libFuzzer.
#   scripts/fuzz.sh SECONDS [TARGET]
# Builds the fuzz programs with clang into build-fuzz/ (or $COLC_FUZZ_BUILD_DIR).
# Each target starts from its seed corpus in fuzz/corpus/<target>, which is
# only read; what the fuzzer learns is kept in build-fuzz/work/<target> for
# the next run. An input that fails is written to build-fuzz/findings/<target>/;
# copy it to fuzz/regressions/<target>/ so that the test suite replays it.
# Exits non-zero when any target found something.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${COLC_FUZZ_BUILD_DIR:-$root/build-fuzz}"
jobs="${COLC_JOBS:-$(nproc)}"

if [[ $# -lt 1 || $# -gt 2 || ! "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [TARGET]" >&2
  exit 2
fi
seconds=$1

"$root/scripts/setup.sh" --fuzz
cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
if [[ $# -eq 2 ]]; then
  targets=("$2")
else
  mapfile -t targets < <(cd "$root/fuzz/corpus" && ls)
fi
cmake --build "$build" -j"$jobs" --target "${targets[@]/#/colc_fuzz_}"

# A sanitizer report or a failed promise is a crash of the fuzz program;
# inputs that take longer than 10 s count as hangs.
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
failed=()
for target in "${targets[@]}"; do
  work="$build/work/$target"
  findings="$build/findings/$target"
  mkdir -p "$work" "$findings"
  log="$build/fuzz-$target.log"
  status=0
  "$build/colc_fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$findings/" "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  if ((status != 0)); then
    failed+=("$target")
    echo "fuzz $target: FAILED after ${executions:-?} executions (log: $log)"
    grep -E 'ERROR|SUMMARY|what\(\)|Test unit written' "$log" || true
  else
    echo "fuzz $target: ${executions:-?} executions in ${seconds} s, nothing found"
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing found failures in: ${failed[*]}" >&2
  exit 1
fi
