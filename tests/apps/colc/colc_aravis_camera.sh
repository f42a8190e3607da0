#!/usr/bin/env bash
# colc cameras, or colc calibrate --camera aravis:ADDRESS, against a fake
# GigE Vision camera served by another process on loopback, with an
# integer black level and a lookup table per plane, set up as a user might
# have left it: colc_aravis_camera.sh SOURCE BUILD cameras|calibrate.
# Every feature of the camera is read before and after each run, and must
# be exactly as found: after listing, after a calibration with and without
# the positive table, and after one cancelled by SIGINT, SIGTERM or SIGHUP,
# also early in its start.
# Runs in a network namespace of its own
# (tests/host/acq/aravis/CMakeLists.txt): it never discovers, it names the
# camera by its address.
set -euo pipefail
part="$3"
colc="$2/apps/colc/colc"
server="$2/tests/host/acq/aravis/colc_fake_gv_camera"
features="$2/tests/host/acq/aravis/colc_camera_features"
tmp="$(mktemp -d)"
"$server" 127.0.0.1 --tables > "$tmp/server" &
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

"$features" 127.0.0.1 > "$tmp/found"
grep -q '^GainAuto=Continuous$' "$tmp/found" && grep -q '^LUTIndex=77$' "$tmp/found" ||
  fail "the fake camera is not set up as expected"
unchanged() {
  "$features" 127.0.0.1 > "$tmp/now"
  diff "$tmp/found" "$tmp/now" > "$tmp/changes" || { head -20 "$tmp/changes"; fail "$1 changed the camera"; }
}

if [ "$part" = cameras ]; then
  "$colc" cameras --camera aravis:127.0.0.1 > "$tmp/out"
  for want in "Aravis Fake (COLC-TEST)" "exposure: ExposureTimeAbs 10 .. 1e+07 microseconds" \
    "contrast: GainRaw 0 .. 10 (integer)" "brightness: BlackLevelRaw 0 .. 255 (integer)" \
    "input table: LUTSelector Red, Green, Blue" "colc reads RGB8, 256 x 192 pels"; do
    grep -qF -- "$want" "$tmp/out" || fail "colc cameras: no '$want'"
  done
  unchanged "colc cameras"
  status=0
  "$colc" cameras --camera aravis:NoSuchCam > "$tmp/out" 2> "$tmp/err" || status=$?
  [ "$status" -eq 8 ] && grep -q "cannot open it" "$tmp/out" || fail "colc cameras, no such camera: status $status"
  echo "colc cameras through the fake camera, which it leaves as found: passed"
  exit 0
fi

"$colc" target "$tmp/chart.png" --width 192
quick=("$colc" calibrate --camera aravis:127.0.0.1 --reference "$tmp/chart.png" --no-contrast --no-brightness
  --no-pel-mapping)
"${quick[@]}" --json > "$tmp/out" 2> "$tmp/err" || fail "colc calibrate failed"
grep -q '"exposure"' "$tmp/out" || fail "colc calibrate: no exposure in the summary"
unchanged "colc calibrate"
"${quick[@]}" --no-positive-lut --quiet > "$tmp/out" 2> "$tmp/err" || true
unchanged "colc calibrate --no-positive-lut"

# Waits until colc (not the shell that starts it) catches the signal
# (SigCgt in /proc), which it does before it opens the camera.
await_handler() {
  for _ in $(seq 300); do
    if [ "$(readlink "/proc/$1/exe" 2> /dev/null)" = "$(readlink -f "$colc")" ]; then
      caught=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2> /dev/null || echo 0)
      (( (16#$caught >> ($2 - 1)) & 1 )) && return
    fi
    sleep 0.02
  done
}

for signal in INT TERM HUP; do
  "${quick[@]}" --quiet > "$tmp/out" 2> "$tmp/err" &
  run=$!
  await_handler "$run" "$(kill -l "$signal")"
  kill -"$signal" "$run"
  status=0
  wait "$run" || status=$?
  [ "$status" -eq 130 ] && grep -q '^colc: cancelled; the camera is left as it was found$' "$tmp/err" ||
    fail "SIG$signal: status $status"
  unchanged "colc calibrate cancelled by SIG$signal"
done

# A signal at any time from the start: before colc catches signals it ends
# at once (status 143) with nothing touched; from then on, also while the
# camera is being opened and set up, it puts the camera back (status 130).
for delay in 0.1 0.3 0.5 0.7 0.9; do
  "${quick[@]}" --quiet > "$tmp/out" 2> "$tmp/err" &
  run=$!
  sleep "$delay"
  kill -TERM "$run"
  status=0
  wait "$run" || status=$?
  [ "$status" -eq 130 ] || [ "$status" -eq 143 ] || fail "SIGTERM after $delay s: status $status"
  unchanged "colc calibrate stopped by SIGTERM after $delay s"
done

# A run killed outright cannot put the camera back, and keeps its control
# channel until the camera's heartbeat time-out; the next run says so and
# waits. It is killed once it streams frames (its thread arv_gv_stream
# runs): the camera is in its hands then. Reading the camera's features
# to find that out would compete with it for the camera.
"${quick[@]}" --quiet > "$tmp/out" 2> "$tmp/err" &
run=$!
for _ in $(seq 500); do
  grep -qx arv_gv_stream /proc/"$run"/task/*/comm 2> /dev/null && break
  sleep 0.01
done
kill -KILL "$run" || fail "colc ended before it could be killed"
wait "$run" || true
"$colc" cameras --camera aravis:127.0.0.1 > "$tmp/out" 2> "$tmp/err" || fail "colc cameras after a killed run"
grep -q "controlled by another program.*heartbeat time-out of 3.0 s has run out" "$tmp/err" || fail "no word of the wait"

status=0
"$colc" calibrate --camera aravis:127.0.0.2 --quiet > "$tmp/out" 2> "$tmp/err" || status=$?
[ "$status" -eq 8 ] && grep -q "127.0.0.2" "$tmp/err" || fail "a camera that is not there: status $status"
echo "colc calibrate through the fake camera, which every run leaves as found: passed"

