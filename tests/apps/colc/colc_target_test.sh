#!/usr/bin/env bash
# colc target draws colc's own target or the 24-patch chart, states a print
# size in the PNG when asked, and the 24-patch chart serves as a reference.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "$*"; exit 1; }

# The pels per metre of a PNG's pHYs chunk, or nothing.
pels_per_metre() { od -An -tx1 -v "$1" | tr -d ' \n' | grep -o '70485973[0-9a-f]\{8\}' | cut -c9-16; }

"$colc" target "$tmp/own.png"
[ -z "$(pels_per_metre "$tmp/own.png")" ] || fail "a plain target states a print resolution"

printed="$("$colc" target "$tmp/chart.png" --chart 24-patch --width 1276 --print-width-mm 279.4)"
# 1276 pels over 279.4 mm: 4567 pels per metre, 116.0 dpi, 279.4 mm wide
[ "$(pels_per_metre "$tmp/chart.png")" = "000011d7" ] || fail "24-patch chart: pHYs $(pels_per_metre "$tmp/chart.png")"
[ "$printed" = "printed at 116.0 dpi, $tmp/chart.png is 279.4 x 191.8 mm" ] || fail "printed size: $printed"

"$colc" target "$tmp/dpi.png" --dpi 300 > /dev/null
[ "$(pels_per_metre "$tmp/dpi.png")" = "00002e23" ] || fail "300 dpi: pHYs $(pels_per_metre "$tmp/dpi.png")"

# The chart, by name, as the reference of a calibration.
summary="$("$colc" calibrate --reference chart:24-patch --no-pel-mapping \
  --no-contrast --no-brightness 2> /dev/null)"
grep -q "against the common 24-patch chart (960 x 659" <<< "$summary" || fail "calibrate: $summary"
