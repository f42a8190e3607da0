#!/usr/bin/env bash
# The smaller commands' edges: colc --version, each command's --help with
# only the exit statuses it can end with, colc apply refusing a grey image,
# colc show on a file that is no archive, and colc demo --save into a
# folder that does not exist yet.
set -euo pipefail
source="$1"
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "$*"; exit 1; }

# One version, the project's, for the program and the Python module.
version="$(sed -n 's/^project(colc VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")"
[ "$("$colc" --version)" = "colc $version" ] || fail "colc --version: $("$colc" --version)"
module="$(find "$2/python" -maxdepth 2 -name 'colc*.so' -print -quit 2> /dev/null || true)"
if [ -n "$module" ]; then
  [ "$(PYTHONPATH="$(dirname "$module")" python3 -c 'import colc; print(colc.__version__)')" = "$version" ] ||
    fail "the Python module's version is not $version"
fi

# statuses COMMAND: the exit statuses its --help lists, on one line.
statuses() { "$colc" "$@" --help | sed -n '/^Exit status:/,$ s/^  \([0-9]\+\) .*/\1/p' | tr '\n' ' '; }
[ "$(statuses)" = "0 1 2 3 4 5 6 7 8 9 130 " ] || fail "colc --help: $(statuses)"
[ "$(statuses calibrate)" = "0 1 2 3 4 6 7 8 9 130 " ] || fail "calibrate: $(statuses calibrate)"
[ "$(statuses show)" = "0 1 2 3 4 5 " ] || fail "show: $(statuses show)"
[ "$(statuses target)" = "0 1 2 4 " ] || fail "target: $(statuses target)"
[ "$(statuses cameras)" = "0 1 2 4 8 " ] || fail "cameras: $(statuses cameras)"
[ "$(statuses check)" = "0 1 2 3 4 5 6 7 8 10 11 12 130 " ] || fail "check: $(statuses check)"
[ "$(statuses deploy)" = "0 1 2 3 4 5 8 12 130 " ] || fail "deploy: $(statuses deploy)"

# demo --save makes its folder, as --report does.
"$colc" demo --save "$tmp/new/demo" > /dev/null
[ -s "$tmp/new/demo/camera.png" ] || fail "demo --save did not make its folder"

# apply refuses a grey image, which a colour correction would tint.
"$colc" target "$tmp/chart.png" --width 192
"$colc" calibrate --camera sim:width=320,height=240 --reference "$tmp/chart.png" --no-contrast --no-brightness \
  --quiet --out "$tmp/result.colc"
status=0
"$colc" apply "$tmp/result.colc" "$tmp/new/demo/mask.png" "$tmp/out.png" 2> "$tmp/err" || status=$?
[ "$status" -eq 6 ] && grep -q "grey image" "$tmp/err" && [ ! -e "$tmp/out.png" ] ||
  fail "apply on a grey image: status $status, $(cat "$tmp/err")"
"$colc" apply "$tmp/result.colc" "$tmp/new/demo/camera.png" "$tmp/out.png"

# show on a page or an image: not a colc archive (not one from a newer colc).
echo "<!DOCTYPE html><html></html>" > "$tmp/report.html"
for file in "$tmp/report.html" "$tmp/new/demo/camera.png"; do
  status=0
  "$colc" show "$file" 2> "$tmp/err" || status=$?
  [ "$status" -eq 5 ] && grep -q "is not a colc archive" "$tmp/err" || fail "show $file: status $status, $(cat "$tmp/err")"
done

# The quick search is the default; asking for both searches is a usage error.
status=0
"$colc" calibrate --quick --full-search 2> "$tmp/err" || status=$?
[ "$status" -eq 2 ] || fail "calibrate --quick --full-search: status $status, $(cat "$tmp/err")"
