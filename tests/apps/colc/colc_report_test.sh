#!/usr/bin/env bash
# "colc calibrate --report" writes a page that a browser opens with every
# image loaded and its verdict first. The page counts its loaded images itself and notes them on
# its body; a headless browser dumps the page after loading. A screenshot
# is kept in the build folder as colc-report.png.
set -euo pipefail
colc="$2/apps/colc/colc"
command -v chromium > /dev/null || { echo "chromium is not installed (scripts/setup.sh installs it): skipped"; exit 77; }
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

browser() {
  chromium --headless --no-sandbox --disable-gpu --disable-background-networking --disable-component-update \
    --disable-sync --no-first-run --user-data-dir="$(mktemp -d "$tmp/profile.XXXXXX")" "$@" 2> /dev/null
}

"$colc" target "$tmp/chart.png" --width 384
"$colc" calibrate --camera sim:width=640,height=480 --reference "$tmp/chart.png" --report "$tmp/report" --quiet
page="file://$tmp/report/colc-report.html"

browser --dump-dom "$page" > "$tmp/dom.html"
grep -q 'data-images-loaded="6/6"' "$tmp/dom.html" || { echo "not every image loaded:"; grep -o '<body[^>]*>' "$tmp/dom.html"; exit 1; }
grep -q '<p id="helped"' "$tmp/dom.html" || { echo "no verdict line"; exit 1; }
browser --window-size=1200,2400 --screenshot="$2/colc-report.png" "$page" > /dev/null
[ -s "$2/colc-report.png" ]

# The check sees a missing image.
rm "$tmp/report/colc-start-view.png"
browser --dump-dom "$page" | grep -q 'data-images-loaded="5/6"'
