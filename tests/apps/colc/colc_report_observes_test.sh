#!/usr/bin/env bash
# A report only observes: a calibration with --report ends with the same
# result, to the bit (all but the date it was made), and the same figures
# as one without (all but the processor times), for the quick search and
# the full one.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

"$colc" target "$tmp/chart.png" --width 192
without_times() { python3 -c 'import json, sys
s = json.load(open(sys.argv[1]))
for key in ("seconds", "computingSeconds", "simulationSeconds"): s.pop(key)
print(json.dumps(s, indent=1))' "$1"; }
# The stored result as colc show --json has it (every value to the bit), without its date.
undated() { "$colc" show "$1" --json | python3 -c 'import json, sys
s = json.load(sys.stdin)
s["context"].pop("date")
print(json.dumps(s, indent=1))'; }

for search in "" --full-search; do
  small=(--camera sim:width=320,height=240 --reference "$tmp/chart.png" --json $search)
  [ -z "$search" ] || small+=(--no-contrast --no-brightness)  # the full search's path in seconds, not minutes
  "$colc" calibrate "${small[@]}" --out "$tmp/plain.colc" > "$tmp/plain.json"
  "$colc" calibrate "${small[@]}" --out "$tmp/reported.colc" --report "$tmp/report" > "$tmp/reported.json"
  [ -s "$tmp/report/colc-color-image.png" ]
  diff <(undated "$tmp/plain.colc") <(undated "$tmp/reported.colc") ||
    { echo "${search:-quick}: the stored results differ"; exit 1; }
  diff <(without_times "$tmp/plain.json") <(without_times "$tmp/reported.json") ||
    { echo "${search:-quick}: the summaries differ"; exit 1; }
  rm -r "$tmp/report"
done
