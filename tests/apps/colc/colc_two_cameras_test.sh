#!/usr/bin/env bash
# Two cameras of different sensitivity, cross-talk and settings, each
# calibrated against one reference, agree on a chart neither was calibrated
# on (colc grab through each result, colc compare), where they clearly did
# not as found. grab leaves the camera as found and writes only its output.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "$*"; exit 1; }
between() { python3 -c "import json, sys; print(json.load(open(sys.argv[1]))['between']['mean'])" "$1"; }
cd "$tmp"

a="sim:width=800,height=640,scale=0.6,seed=3,sensitivity=0.7,crosstalk=0.08,exposure=0.03"
b="sim:width=800,height=640,scale=0.55,seed=4,sensitivity=1.3,crosstalk=0.02,contrast=0.6,rotation=0.1"
for camera in a b; do
  "$colc" calibrate --camera "${!camera}" --out "$camera.colc" --quiet
  "$colc" grab "$camera-found.png" --camera "${!camera}" --scene chart:24-patch > /dev/null
  "$colc" grab "$camera.png" --camera "${!camera}" --scene chart:24-patch --result "$camera.colc" > /dev/null
done
"$colc" compare a-found.png b-found.png --reference chart:24-patch --json > found.json
"$colc" compare a.png b.png --reference chart:24-patch --json > calibrated.json
python3 -c "import sys; sys.exit(not (float(sys.argv[1]) >= 3 and float(sys.argv[2]) < 1.0))" \
  "$(between found.json)" "$(between calibrated.json)" ||
  fail "as found $(cat found.json), calibrated $(cat calibrated.json)"

# --uncorrected: the result's settings only, which is not yet agreement.
"$colc" grab a-settings.png --camera "$a" --scene chart:24-patch --result a.colc --uncorrected > /dev/null
cmp -s a-settings.png a.png && fail "--uncorrected corrected the image"
# A chart that is not in one of the images: status 7, and nothing else written.
"$colc" target other.png --width 300
status=0
"$colc" compare a.png other.png --reference chart:24-patch 2> err.txt || status=$?
[ "$status" -eq 7 ] || fail "compare without the chart: status $status: $(cat err.txt)"
[ "$(ls | sort | tr '\n' ' ')" = "a-found.png a-settings.png a.colc a.png b-found.png b.colc b.png calibrated.json err.txt found.json other.png " ] ||
  fail "files left: $(ls)"
