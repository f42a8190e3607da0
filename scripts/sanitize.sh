#!/usr/bin/env bash
# Builds colc with AddressSanitizer (leak checking included) and
# UndefinedBehaviorSanitizer into build-sanitize/ (or $COLC_SANITIZE_BUILD_DIR)
# and runs the whole test suite there. Any sanitizer report fails the run:
# the build stops at the first error (-fno-sanitize-recover=all) and a leak
# makes the process exit non-zero.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${COLC_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
jobs="${COLC_JOBS:-$(nproc)}"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCOLC_SANITIZE=ON -DCOLC_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j"$jobs"

# Static initialisers that read each other too early (the class table is
# filled while libraries load) and stack objects used after their function
# returned are checked too; a caller's own settings come last and win.
export ASAN_OPTIONS="detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
cd "$build"
ctest --output-on-failure -j"$jobs"
