#!/usr/bin/env bash
# Builds colc_sweep and runs it: calibrations of the simulated camera at
# random poses, with and without cross-talk, measured (docs/accuracy.md).
# Arguments go to the program, e.g. --poses 10 --json, or --tilt 30 --scales
# 0.4:2.5 --quarter-turns --chart-width 320 for slanted, small, large and
# upright charts; --help lists them.
# The default, 50 poses at two cross-talk values, takes 10 to 20 minutes.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${COLC_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target colc_sweep >/dev/null
exec "$build/bench/sweep/colc_sweep" "$@"
