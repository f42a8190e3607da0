#!/usr/bin/env bash
# Builds colc_bench and runs every benchmark: the fit, a whole calibration,
# pose finding and the simulated camera. Each line reports "ratio": the
# benchmark's time over a baseline timed in the same run
# (bench/paired_timing.h). Arguments go to the benchmark program, e.g.
# --benchmark_filter=FitPlane.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${COLC_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target colc_bench >/dev/null
exec "$build/bench/colc_bench" --benchmark_counters_tabular=true "$@"
