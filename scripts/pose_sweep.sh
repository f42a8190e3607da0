#!/usr/bin/env bash
# Builds colc_pose_sweep and measures pose finding on many random colour
# charts (tests/sweep/pose_sweep.cpp; results in docs/pose-finding.md):
# kfFindCalibrationPose on charts seen by the simulated camera, or with
# --finder kfFindTarget on charts at any turn, scale and slant. Arguments:
# [--finder] [CHARTS [FIRST_SEED]], default 500 charts from seed 1. Runs on
# one core.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${COLC_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target colc_pose_sweep >/dev/null
exec taskset -c 0 "$build/tests/colc_pose_sweep" "$@"
