#!/usr/bin/env bash
# "colc demo" and "colc fit" on the demonstration's own images, as text and
# as JSON, with and without a mask.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

"$colc" demo --save "$tmp" > "$tmp/demo.txt"
"$colc" fit "$tmp/camera.png" "$tmp/reference.png" > "$tmp/fit.txt"
# The images survive the round trip through lossless files: the same gains and offsets.
awk 'FNR == NR && /^(red|green|blue) / { want[$1] = sprintf("%.4f %.3f", $4, $5); next }
     /^(red|green|blue) / { got = sprintf("%.4f %.3f", $2, $3); if (got != want[$1]) { print $1 ": " got " != " want[$1]; bad = 1 }; n++ }
     END { exit bad || n != 3 }' "$tmp/demo.txt" "$tmp/fit.txt"

"$colc" fit "$tmp/camera.png" "$tmp/reference.png" --mask "$tmp/mask.png" --json > "$tmp/fit.json"
for key in gain offset rmsError proportionActiveSrcPels proportionActiveDstPels proportionActivePels; do
  [ "$(grep -c "\"$key\":" "$tmp/fit.json")" -eq 3 ] || { echo "key $key not three times"; cat "$tmp/fit.json"; exit 1; }
done
grep -q '"channels": \[' "$tmp/fit.json"
