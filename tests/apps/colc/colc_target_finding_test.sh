#!/usr/bin/env bash
# The target beyond the full search's zones: the quick search finds it at a
# quarter turn and half the size; a target too small is refused with its
# cause and a picture of the view; colc aim says when a calibration would
# start well; colc fit refuses pairs of different sizes unless it is asked
# to find the target, and then calibrates from the photo.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
small="sim:width=640,height=480"

# A quarter turn at half the size: found by the default quick search, which says where.
"$colc" calibrate --quiet --json --camera "$small,rotation=91,scale=0.45" > "$tmp/turned.json"
grep -q '"rotationDegrees"' "$tmp/turned.json"
grep -q '"doubtful": false' "$tmp/turned.json"

# Too small: exit 7, the cause in one line, the view written where asked.
status=0
"$colc" calibrate --quiet --camera "$small,scale=0.3" --save-view "$tmp/view.png" 2> "$tmp/small.err" || status=$?
[ "$status" -eq 7 ] || { echo "too small: exit $status"; cat "$tmp/small.err"; exit 1; }
[ "$(wc -l < "$tmp/small.err")" -eq 1 ] || { cat "$tmp/small.err"; exit 1; }
grep -q "too small" "$tmp/small.err" || { cat "$tmp/small.err"; exit 1; }
grep -q "$tmp/view.png" "$tmp/small.err"
[ -s "$tmp/view.png" ]
# The full search names its narrower range and still leaves a picture, by default in the current folder.
status=0
(cd "$tmp" && "$colc" calibrate --full-search --quiet --camera "$small,rotation=91,scale=0.45" 2> full.err) || status=$?
[ "$status" -eq 7 ] || { echo "full search: exit $status"; cat "$tmp/full.err"; exit 1; }
grep -q -- "without --full-search) finds it" "$tmp/full.err" || { cat "$tmp/full.err"; exit 1; }
[ -s "$tmp/colc-view.png" ]

# colc aim: one line per image when not on a terminal, and a preview.
"$colc" target --width 384 "$tmp/reference.png"
"$colc" aim --camera "$small" --reference "$tmp/reference.png" --frames 2 --preview "$tmp/aim.png" > "$tmp/aim.txt"
[ "$(grep -c '^ready: scale' "$tmp/aim.txt")" -eq 2 ] || { cat "$tmp/aim.txt"; exit 1; }
[ -s "$tmp/aim.png" ]

# colc fit: a photo of the target (the camera's view at its start settings,
# from a report) against the reference is refused without --find-target ...
"$colc" calibrate --quiet --camera "$small,rotation=-88" --reference "$tmp/reference.png" --report "$tmp/report"
photo="$tmp/report/colc-start-view.png"
# The report says how the target was found.
grep -q 'id="target">The target was found at' "$tmp/report/colc-report.html"
status=0
"$colc" fit "$photo" "$tmp/reference.png" 2> "$tmp/sizes.err" || status=$?
[ "$status" -eq 6 ] || { echo "different sizes: exit $status"; cat "$tmp/sizes.err"; exit 1; }
grep -q -- "--find-target" "$tmp/sizes.err"
# ... and calibrated from with it: the result lowers the colour error and is read by apply and show.
"$colc" fit "$photo" --reference "$tmp/reference.png" --find-target --out "$tmp/photo.colc" --json > "$tmp/photo.json"
grep -q '"helped": true' "$tmp/photo.json"
"$colc" show "$tmp/photo.colc" > "$tmp/photo-show.txt"
# It names the photograph it was made from, and no camera.
grep -q '^photograph  *colc-start-view.png$' "$tmp/photo-show.txt" && ! grep -q '^serial number' "$tmp/photo-show.txt" ||
  { cat "$tmp/photo-show.txt"; exit 1; }
"$colc" apply "$tmp/photo.colc" "$photo" "$tmp/corrected.png"
[ -s "$tmp/corrected.png" ]
# A chart colc draws is drawn to suit the photo: the built-in target
# found by name in the same photo.
"$colc" fit "$photo" --reference chart:colc --find-target --json > "$tmp/named.json"
grep -q '"helped": true' "$tmp/named.json"
