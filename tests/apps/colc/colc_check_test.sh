#!/usr/bin/env bash
# A result names the camera it belongs to (colc show), and colc check tells
# a camera that still reproduces its calibration from one whose light
# changed, and refuses another camera's result without --force; its report
# shows what it measured.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "$*"; exit 1; }
json() { python3 -c "import json, sys; d = json.load(open(sys.argv[1])); print($2)" "$1"; }

cam="sim:width=640,height=512"
"$colc" target "$tmp/chart.png" --width 384
"$colc" calibrate --camera "$cam" --reference "$tmp/chart.png" --quiet --out "$tmp/r.colc"
"$colc" show "$tmp/r.colc" > "$tmp/show.txt"
grep -q '^serial number  *1$' "$tmp/show.txt" && grep -q '^search  *quick$' "$tmp/show.txt" ||
  fail "show: $(cat "$tmp/show.txt")"
"$colc" show "$tmp/r.colc" --json > "$tmp/show.json"
[ "$(json "$tmp/show.json" 'd["context"]["camera"]["model"], d["context"]["camera"]["region"]["width"]')" = \
  "simulated camera 640" ] || fail "show --json: $(cat "$tmp/show.json")"
[ "$(json "$tmp/show.json" 'len(d["context"]["referenceSha256"]), d["context"]["photo"]')" = "64 None" ] ||
  fail "show --json: $(cat "$tmp/show.json")"

# check STATUS ARGS...: runs colc check and insists on its status.
check() {
  local want="$1" status=0
  shift
  "$colc" check "$tmp/r.colc" --reference "$tmp/chart.png" --json "$@" > "$tmp/check.json" 2> "$tmp/check.err" ||
    status=$?
  [ "$status" -eq "$want" ] || fail "check $*: status $status, not $want: $(cat "$tmp/check.json" "$tmp/check.err")"
}
check 0 --camera "$cam"
[ "$(json "$tmp/check.json" 'd["verdict"], d["acquisitions"] <= 5')" = "still calibrated True" ] ||
  fail "$(cat "$tmp/check.json")"
# Light a fifth dimmer: drifted, with a report that says so and shows the
# view through the stored calibration; far dimmer light: recalibrate.
status=0
"$colc" check "$tmp/r.colc" --reference "$tmp/chart.png" --camera "$cam,sensitivity=0.8" --report "$tmp/rep" \
  > "$tmp/dim.txt" || status=$?
[ "$status" -eq 10 ] && grep -Eq '^Drifted: the mean error rose by [0-9.]+' "$tmp/dim.txt" ||
  fail "a fifth less light: status $status: $(cat "$tmp/dim.txt")"
grep -q '<p class="verdict warn" id="verdict"><strong>Drifted:' "$tmp/rep/colc-check.html" ||
  fail "report: $(cat "$tmp/rep/colc-check.html")"
for image in reference view error; do
  grep -q "src=\"colc-check-$image.png\"" "$tmp/rep/colc-check.html" && [ -s "$tmp/rep/colc-check-$image.png" ] ||
    fail "report without its $image image"
done
check 11 --camera "$cam,sensitivity=0.6"
# The report's folder is refused before the camera is touched.
touch "$tmp/file"
check 4 --camera "$cam" --report "$tmp/file"
# Another unit of the same model: refused, and checked with --force.
check 12 --camera "$cam,seed=2"
grep -q "serial number 1" "$tmp/check.err" || fail "$(cat "$tmp/check.err")"
check 0 --camera "$cam,seed=2" --force
[ "$(json "$tmp/check.json" 'd["otherCamera"]')" = "True" ] || fail "$(cat "$tmp/check.json")"
# Another reference than the calibration's is refused.
"$colc" target "$tmp/other.png" --width 256
status=0
"$colc" check "$tmp/r.colc" --reference "$tmp/other.png" --camera "$cam" 2> "$tmp/err" || status=$?
[ "$status" -eq 6 ] || fail "another reference: status $status: $(cat "$tmp/err")"
