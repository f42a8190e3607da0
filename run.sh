#!/usr/bin/env bash
# Sets up, builds and runs colc. Arguments go to the colc command.
set -euo pipefail
root="$(cd "$(dirname "$0")" && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec "${COLC_BUILD_DIR:-$root/build}/apps/colc/colc" "$@"
