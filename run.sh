#!/usr/bin/env bash
# Sets up, builds and runs colc: "colc calibrate" without arguments (a
# whole calibration of the simulated camera), otherwise colc with the arguments.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
(($#)) || set -- calibrate
exec "${COLC_BUILD_DIR:-$root/build}/apps/colc/colc" "$@"
