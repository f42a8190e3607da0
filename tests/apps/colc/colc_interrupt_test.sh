#!/usr/bin/env bash
# Progress shows on a terminal only, and Ctrl-C (SIGINT) ends a calibration
# with status 130 and one line.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

"$colc" target "$tmp/chart.png" --width 192
quick="$colc calibrate --camera sim:width=320,height=240 --reference $tmp/chart.png --no-pel-mapping"

# script(1) gives the program a terminal; the progress line is redrawn with a carriage return.
script -qec "$quick" /dev/null > "$tmp/terminal.log"
grep -q 'calibrating: [0-9]* acquisitions, [0-9.]* s; trying exposure' "$tmp/terminal.log"
grep -q 'Calibrated the simulated camera' "$tmp/terminal.log"
script -qec "$quick --quiet" /dev/null > "$tmp/quiet.log"
! grep -q 'calibrating:' "$tmp/quiet.log"
$quick > /dev/null 2> "$tmp/pipe.err"
[ ! -s "$tmp/pipe.err" ]

# A full-size calibration runs long enough to be interrupted. SIGINT goes
# once the program has installed its handler (bit 2 of SigCgt in /proc).
"$colc" calibrate --full-search > "$tmp/out" 2> "$tmp/err" &
pid=$!
for _ in $(seq 300); do
  caught=$(awk '/^SigCgt:/ { print $2 }' "/proc/$pid/status" 2> /dev/null || echo 0)
  (( (16#$caught & 2) != 0 )) && break
  sleep 0.1
done
kill -INT "$pid"
status=0
wait "$pid" || status=$?
[ "$status" -eq 130 ] || { echo "status $status"; cat "$tmp/err"; exit 1; }
[ "$(wc -l < "$tmp/err")" -eq 1 ] && grep -q '^colc: cancelled' "$tmp/err" || { cat "$tmp/err"; exit 1; }
[ ! -s "$tmp/out" ]
