#!/usr/bin/env bash
# A result names the camera it belongs to (colc show), and colc check tells
# a camera that still reproduces its calibration from one whose light
# changed, and refuses another camera's result without --force.
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
# Less light: the same camera, no longer calibrated.
status=0
"$colc" check "$tmp/r.colc" --reference "$tmp/chart.png" --camera "$cam,sensitivity=0.6" > "$tmp/dim.txt" || status=$?
[ "$status" -eq 10 ] || [ "$status" -eq 11 ] || fail "dimmer light: status $status: $(cat "$tmp/dim.txt")"
grep -Eq '^(Drifted|Recalibrate): the mean error rose by' "$tmp/dim.txt" || fail "$(cat "$tmp/dim.txt")"
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
