#!/usr/bin/env bash
# The README's session and the quick search's row are the program's own
# output: the script that writes them finds no difference but the
# processor times.
set -euo pipefail
python3 "$1/scripts/readme_figures.py" --check --build "$2"
