#!/usr/bin/env bash
# colc cameras and colc calibrate --camera aravis:ADDRESS against a fake
# GigE Vision camera served by another process on loopback. Runs in a
# network namespace of its own (tests/host/acq/aravis/CMakeLists.txt): it
# never discovers, it names the camera by its address.
set -euo pipefail
colc="$2/apps/colc/colc"
server="$2/tests/host/acq/aravis/colc_fake_gv_camera"
tmp="$(mktemp -d)"
"$server" 127.0.0.1 > "$tmp/server" &
pid=$!
trap 'kill $pid; rm -rf "$tmp"' EXIT
for _ in $(seq 50); do
  grep -q serving "$tmp/server" && break
  sleep 0.1
done
grep -q serving "$tmp/server" || { echo "the fake camera did not start"; exit 1; }

fail() {
  echo "$1"
  cat "$tmp/out" "$tmp/err" 2> /dev/null
  exit 1
}

"$colc" cameras --camera aravis:127.0.0.1 > "$tmp/out"
for want in "Aravis Fake (COLC-TEST)" "exposure: ExposureTimeAbs 10 .. 1e+07 microseconds" \
  "contrast: GainRaw 0 .. 10 (integer)" "brightness: no black level feature" "colc reads RGB8"; do
  grep -qF -- "$want" "$tmp/out" || fail "colc cameras: no '$want'"
done

"$colc" target "$tmp/chart.png" --width 192
"$colc" calibrate --camera aravis:127.0.0.1 --reference "$tmp/chart.png" --no-contrast --no-brightness \
  --no-pel-mapping --json > "$tmp/out" 2> "$tmp/err" || fail "colc calibrate failed"
grep -q '"exposure"' "$tmp/out" || fail "colc calibrate: no exposure in the summary"

status=0
"$colc" calibrate --camera aravis:127.0.0.2 --quiet > "$tmp/out" 2> "$tmp/err" || status=$?
[ "$status" -eq 8 ] && grep -q "127.0.0.2" "$tmp/err" || fail "a camera that is not there: status $status"
echo "colc cameras and calibrate through the fake camera: passed"
