#!/usr/bin/env bash
# colc cameras, or colc calibrate --camera aravis:ADDRESS, against a fake
# GigE Vision camera served by another process on loopback, with an
# integer black level and a lookup table per plane, set up as a user might
# have left it: colc_aravis_camera.sh SOURCE BUILD PART, PART one of
# cameras: listing;
# calibrate: calibrations with and without the positive table, and ones
#   cancelled by SIGINT, SIGTERM or SIGHUP, also early in their start;
# killed: runs killed outright at five points, each followed by a run that
#   puts back what the killed one found;
# stalled: runs during which the camera stops answering for a while (the
#   camera's process stops itself mid-run and is continued), within and
#   beyond the time colc keeps asking it;
# interrupted: runs that get a second signal while they put the camera back;
# deploy: colc deploy writes a calibration into the camera to stay, through
#   a power cycle (the camera's process served again from its user sets),
#   and a refused write leaves the camera as found;
# deploy-interrupted: deployments killed outright at points of their
#   writes, each followed by a run that puts back what the killed one
#   found; Ctrl-C twice during the writes puts everything back, after the
#   user set is saved it lets the deployment finish.
# Every feature of the camera is read before and after, and must be
# exactly as found, or as written.
# Runs in a network namespace of its own
# (tests/host/acq/aravis/CMakeLists.txt): it never discovers, it names the
# camera by its address.
set -euo pipefail
part="$3"
colc="$2/apps/colc/colc"
server="$2/tests/host/acq/aravis/colc_fake_gv_camera"
features="$2/tests/host/acq/aravis/colc_camera_features"
difference="$2/tests/host/acq/aravis/colc_image_difference"
tmp="$(mktemp -d)"
# Serves the fake camera with more options, as $pid.
serve() {
  "$server" 127.0.0.1 --tables "$@" > "$tmp/server" &
  pid=$!
  for _ in $(seq 50); do
    grep -q serving "$tmp/server" && return
    sleep 0.1
  done
  echo "the fake camera did not start"
  exit 1
}
# Ends the camera's process: its power is cut. A process stopped ends
# only once continued.
unplug() {
  kill "$pid"
  kill -CONT "$pid" 2> /dev/null || true
  wait "$pid" || true
}
serve --user-sets "$tmp/user-sets"
trap 'kill $pid; kill -CONT $pid 2> /dev/null || true; rm -rf "$tmp"' EXIT

fail() {
  echo "$1"
  cat "$tmp/out" "$tmp/err" 2> /dev/null
  exit 1
}

"$features" 127.0.0.1 > "$tmp/found"
grep -q '^GainAuto=Continuous$' "$tmp/found" && grep -q '^LUTIndex=77$' "$tmp/found" ||
  fail "the fake camera is not set up as expected"
# Every feature but the register of the TriggerSoftware command, which
# holds no setting: the fake camera keeps a trigger in it until a running
# acquisition takes it, and a trigger sent while the camera stalled reaches
# it only after the stall, when colc is stopping the acquisition.
unchanged() {
  "$features" 127.0.0.1 > "$tmp/now"
  diff <(grep -v '^TriggerSoftwareCommandRegister=' "$tmp/found") <(grep -v '^TriggerSoftwareCommandRegister=' "$tmp/now") \
    > "$tmp/changes" || { head -20 "$tmp/changes"; fail "$1 changed the camera"; }
}

if [ "$part" = cameras ]; then
  "$colc" cameras --camera aravis:127.0.0.1 > "$tmp/out"
  for want in "Aravis Fake (COLC-TEST)" "exposure: ExposureTimeAbs 10 .. 1e+07 microseconds" \
    "contrast: GainRaw 0 .. 10 (integer)" "brightness: BlackLevelRaw 0 .. 255 (integer)" \
    "input table: LUTSelector Red, Green, Blue" "colc reads RGB8, 256 x 192 pels" \
    "colour transformation: ColorTransformationValue -4 .. 4, off" \
    "user sets: Default, UserSet1, UserSet2, the power-up set by UserSetDefault"; do
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
  --no-pel-mapping --full-search)

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

# Starts a quick calibration in the background, as $run, with any more options.
start_run() {
  "${quick[@]}" --quiet "$@" > "$tmp/out" 2> "$tmp/err" &
  run=$!
}
# Waits until the run streams frames (its thread arv_gv_stream runs): the
# camera is in its hands then, in calibration mode. Reading the camera's
# features to find that out would compete with it for the camera.
await_streaming() {
  for _ in $(seq 500); do
    grep -qx arv_gv_stream /proc/"$run"/task/*/comm 2> /dev/null && return
    sleep 0.01
  done
}
# Ends the run; its status as $status.
finish_run() {
  status=0
  wait "$run" || status=$?
}
# Serves the camera anew, stopping itself (its process stopped, as by
# SIGSTOP) once the register at $1 changes or, for "saved", once it has
# saved a user set; starts the command after it as $run, and returns once
# the camera has stopped.
start_stopping_at() {
  local point="$1"
  shift
  unplug
  serve --stop-at "$point"
  "$@" > "$tmp/out" 2> "$tmp/err" &
  run=$!
  # It prints "stopped" just before it stops: continued before that, it
  # would stop for good.
  for _ in $(seq 500); do
    grep -q stopped "$tmp/server" && [ "$(awk '{ print $3 }' "/proc/$pid/stat")" = T ] && return
    sleep 0.01
  done
  fail "$1 never reached $point"
}

case "$part" in
calibrate)
"${quick[@]}" --json > "$tmp/out" 2> "$tmp/err" || fail "colc calibrate failed"
  grep -q '"exposure"' "$tmp/out" || fail "colc calibrate: no exposure in the summary"
  unchanged "colc calibrate"
  "${quick[@]}" --no-positive-lut --quiet > "$tmp/out" 2> "$tmp/err" || true
  unchanged "colc calibrate --no-positive-lut"
  # The result names the camera; colc check measures it and leaves it as found.
  "${quick[@]}" --quiet --out "$tmp/r.colc" > "$tmp/out" 2> "$tmp/err" || fail "colc calibrate --out failed"
  "$colc" show "$tmp/r.colc" > "$tmp/out"
  for want in "camera               Aravis Fake" "serial number        COLC-TEST" "pel format           RGB8" \
    "region               256 x 192 pels at (" "search               full"; do
    grep -qF -- "$want" "$tmp/out" || fail "colc show: no '$want'"
  done
  status=0
  "$colc" check "$tmp/r.colc" --camera aravis:127.0.0.1 --reference "$tmp/chart.png" --json > "$tmp/out" \
    2> "$tmp/err" || status=$?
  [ "$status" -eq 0 ] && grep -q '"verdict": "still calibrated"' "$tmp/out" || fail "colc check: status $status"
  unchanged "colc check"
  # colc grab as the camera is set and at the result's settings: neither changes the camera.
  "$colc" grab "$tmp/found.png" --camera aravis:127.0.0.1 > "$tmp/out" 2> "$tmp/err" || fail "colc grab failed"
  unchanged "colc grab"
  "$colc" grab "$tmp/calibrated.png" --camera aravis:127.0.0.1 --result "$tmp/r.colc" > "$tmp/out" 2> "$tmp/err" ||
    fail "colc grab --result failed"
  unchanged "colc grab --result"
  [ -s "$tmp/found.png" ] && ! cmp -s "$tmp/found.png" "$tmp/calibrated.png" || fail "colc grab: the same image twice"

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
  
  status=0
  "$colc" calibrate --camera aravis:127.0.0.2 --quiet > "$tmp/out" 2> "$tmp/err" || status=$?
  [ "$status" -eq 8 ] && grep -q "127.0.0.2" "$tmp/err" || fail "a camera that is not there: status $status"
  echo "colc calibrate through the fake camera, which every run leaves as found: passed"
  ;;
killed)
  # A run killed outright cannot put the camera back, and keeps the
  # camera's control channel until its heartbeat time-out. The next run
  # waits for it, puts back what the killed run found (kept in a file) and
  # calibrates; afterwards the camera is as it was before the killed run.
  # Killed early in the opening, as it streams, later in the search, and
  # while it puts the camera back after a Ctrl-C.
  for point in 0.3 streaming streaming+0.5 streaming+1 restoring; do
    start_run
    case "$point" in
      0.3) sleep 0.3 ;;
      streaming) await_streaming ;;
      streaming+*) await_streaming && sleep "${point#streaming+}" ;;
      restoring) await_streaming && kill -INT "$run" && sleep 0.1 ;;
    esac
    kill -KILL "$run" 2> /dev/null || fail "killed at $point: colc had ended"
    finish_run
    "${quick[@]}" --quiet > "$tmp/out" 2> "$tmp/err" || fail "the run after one killed at $point failed"
    unchanged "a run killed at $point, then another"
  done
  echo "runs killed outright, each followed by another: the camera is as found: passed"
  ;;
stalled)
  # The camera stops answering as colc sets the exposure of an acquisition
  # (its exposure register changes), for 5 and then 12 s: the run fails,
  # and puts the camera back once it answers again.
  for seconds in 5 12; do
    start_stopping_at 0x120 "${quick[@]}" --quiet
    sleep "$seconds"
    kill -CONT "$pid"
    finish_run
    [ "$status" -eq 8 ] || fail "a stall of $seconds s: status $status"
    unchanged "a run with a stall of $seconds s"
  done
  # Beyond the time colc keeps asking (2 s here), each feature not put
  # back is named; the next run puts them back.
  start_stopping_at 0x120 "${quick[@]}" --quiet --restore-timeout 2
  finish_run
  kill -CONT "$pid"
  [ "$status" -eq 8 ] || fail "a stall beyond the restore time-out: status $status"
  for feature in TriggerMode TriggerSource GainAuto ExposureTimeAbs "LUTValue (Red)" LUTSelector LUTIndex; do
    grep -qF "$feature" "$tmp/err" || fail "a stall beyond the restore time-out: $feature is not named"
  done
  "${quick[@]}" --quiet > "$tmp/out" 2> "$tmp/err" || fail "the run after a stall beyond the restore time-out failed"
  grep -q "was left changed by a run that did not end cleanly" "$tmp/err" || fail "no word of what was put back"
  unchanged "a run after one that could not put the camera back"
  echo "runs with the camera stalled: the camera is as found: passed"
  ;;
interrupted)
  # A second Ctrl-C, 50 ms or 1 s after the first, at ten points of a run:
  # it waits until the camera is put back.
  for times in "0.2 0.05" "0.4 1" "0.6 0.05" "0.8 1" "1.0 0.05" "1.2 1" "1.4 0.05" "1.6 1" "1.8 0.05" "2.0 1"; do
    read -r first gap <<< "$times"
    start_run
    await_handler "$run" 2
    sleep "$first"
    kill -INT "$run" 2> /dev/null || true
    sleep "$gap"
    kill -INT "$run" 2> /dev/null || true
    finish_run
    [ "$status" -eq 130 ] || [ "$status" -eq 0 ] || fail "Ctrl-C twice at $first s, $gap s apart: status $status"
    unchanged "Ctrl-C twice at $first s, $gap s apart"
  done
  echo "runs with Ctrl-C twice: the camera is as found: passed"
  ;;
deploy)
  # Pel maps alone: colc apply then corrects through the maps the
  # camera's tables take. The fake camera's sensor has no noise, so that
  # frames at equal settings are equal, and one through the camera's
  # tables can be set against colc apply's pels, level for level.
  "$colc" calibrate --camera aravis:127.0.0.1 --reference "$tmp/chart.png" --no-color-correction --quiet \
    --out "$tmp/r.colc" > "$tmp/out" 2> "$tmp/err" || fail "colc calibrate failed"
  "$colc" show "$tmp/r.colc" --json > "$tmp/result.json"
  "$colc" grab "$tmp/start.png" --camera aravis:127.0.0.1 --result "$tmp/r.colc" --uncorrected > "$tmp/out" \
    2> "$tmp/err" || fail "no frame at the stored settings"
  "$colc" deploy "$tmp/r.colc" --camera aravis:127.0.0.1 --save-user-set 1 --default --dry-run > "$tmp/out" \
    2> "$tmp/err" || fail "colc deploy --dry-run failed"
  grep -q "nothing is written" "$tmp/out" || fail "colc deploy --dry-run says nothing of it"
  unchanged "colc deploy --dry-run"
  # A result that names another camera (here a photograph) is refused.
  "$colc" fit "$tmp/start.png" --reference "$tmp/chart.png" --find-target --out "$tmp/photo.colc" > "$tmp/out"
  status=0
  "$colc" deploy "$tmp/photo.colc" --camera aravis:127.0.0.1 > "$tmp/out" 2> "$tmp/err" || status=$?
  [ "$status" -eq 12 ] && grep -q "belongs to the photograph" "$tmp/err" || fail "another's result: status $status"
  unchanged "colc deploy of another's result"

  "$colc" deploy "$tmp/r.colc" --camera aravis:127.0.0.1 --save-user-set 1 --default --json > "$tmp/deploy.json" \
    2> "$tmp/err" || fail "colc deploy failed"
  "$features" 127.0.0.1 > "$tmp/deployed"
  # Every feature reads back as written (the tables as the pel maps, each
  # switched on), and every other one as found. The nodes that show a
  # register again, or a value under whatever selector is current, are
  # left to the features they show.
  python3 - "$tmp/found" "$tmp/deployed" "$tmp/deploy.json" "$tmp/result.json" > "$tmp/changes" <<'PY' ||
import json, re, sys
def features(path):
    pairs = (line.rstrip("\n").split("=", 1) for line in open(path))
    return {k: v for k, v in pairs if not re.search(r"(Register|Converter|EntryNumber)$", k)
            and k not in ("LUTEnable", "LUTValue", "ColorTransformationValue")}
found, now = features(sys.argv[1]), features(sys.argv[2])
deployed, result = json.load(open(sys.argv[3])), json.load(open(sys.argv[4]))
want = dict(found)
for w in deployed["written"]:
    if w["feature"] in found:
        want[w["feature"]] = w["written"]
for k, plane in enumerate(["Red", "Green", "Blue"]):
    table = result["channels"][k]["pelmap"] or list(range(256))
    want["LUTEnable[%s]" % plane] = "0" if table == list(range(256)) else "1"
    for i, v in enumerate(table):
        want["LUTValue[%s][%d]" % (plane, i)] = str(v)
changes = [f"{k}: {want.get(k)} -> {now.get(k)}" for k in sorted(set(want) | set(now)) if want.get(k) != now.get(k)]
print("\n".join(changes))
sys.exit(1 if changes else 0)
PY
    fail "colc deploy: the camera does not hold what was written: $(head -20 "$tmp/changes")"
  grep -q "^ExposureTimeAbs=$(python3 -c 'import json, sys; print(round(json.load(open(sys.argv[1]))["exposure"] * 1e6))' \
    "$tmp/result.json")$" "$tmp/deployed" || fail "the exposure is not the stored one in microseconds"

  # A power cycle: the camera comes up with the saved set, and its frames
  # are colc apply's of the frame taken at the stored settings.
  unplug
  serve --user-sets "$tmp/user-sets"
  "$features" 127.0.0.1 > "$tmp/restarted"
  diff <(grep -v '^UserSetSelector' "$tmp/deployed") <(grep -v '^UserSetSelector' "$tmp/restarted") > "$tmp/changes" ||
    fail "after a power cycle the camera is not as deployed: $(head -20 "$tmp/changes")"
  "$colc" grab "$tmp/deployed.png" --camera aravis:127.0.0.1 > "$tmp/out" 2> "$tmp/err" ||
    fail "no frame after the power cycle"
  "$colc" apply "$tmp/r.colc" "$tmp/start.png" "$tmp/applied.png"
  levels=$("$difference" "$tmp/deployed.png" "$tmp/applied.png")
  [ "$levels" -le 1 ] || fail "the deployed camera's frame is $levels levels off colc apply's"
  echo "deployed and power-cycled: the camera's frame is within $levels levels of colc apply's"

  # A camera that refuses a write (here UserSetSave, the last without
  # --default) gets every feature put back as found. On a camera as a user
  # left it, colc calibrate --deploy ends with a deployment, and says so in
  # its summary.
  unplug
  serve --refuse UserSetSave
  "$colc" calibrate --camera aravis:127.0.0.1 --reference "$tmp/chart.png" --no-color-correction --deploy --json \
    > "$tmp/out" 2> "$tmp/err" || fail "colc calibrate --deploy failed"
  [ "$(python3 -c 'import json, sys; d = json.load(open(sys.argv[1]))["deployment"]
print(d["colour"], d["equalsApply"], d["userSet"], d["dryRun"])' "$tmp/out")" = "pelMaps True None False" ] ||
    fail "colc calibrate --deploy: no deployment in its summary"
  "$features" 127.0.0.1 > "$tmp/found"
  status=0
  "$colc" deploy "$tmp/r.colc" --camera aravis:127.0.0.1 --save-user-set 2 > "$tmp/out" 2> "$tmp/err" || status=$?
  [ "$status" -eq 8 ] && grep -q "UserSetSave" "$tmp/err" && grep -q "put back as found" "$tmp/err" ||
    fail "a refused write: status $status"
  unchanged "colc deploy with a refused write"
  echo "colc deploy through the fake camera, kept through a power cycle, put back when refused: passed"
  ;;
deploy-interrupted)
  # The camera's process stops itself as soon as a deployment writes the
  # register of the point (the first entry of the red table, the colour
  # transformation's first value, UserSetSelector), so that the deployment
  # is killed with that write made and little after it. The deployment
  # writes settings, tables, a transformation and a user set made the
  # power-up set (colc_deploy_plan). The next run (colc grab) puts back
  # what the killed one found, and the camera is as found.
  planner="$2/tests/host/acq/aravis/colc_deploy_plan"
  for point in 0x1000 0x2000 0x2100; do
    # The camera may stop a few writes late, after the deployment has
    # ended; the file of what it found then is gone, and the point is tried again.
    for attempt in $(seq 10); do
      start_stopping_at "$point" "$planner" 127.0.0.1
      kill -KILL "$run" 2> /dev/null || true
      finish_run
      kill -CONT "$pid"
      compgen -G "$XDG_STATE_HOME/colc/cameras/*.found" > /dev/null && break
      [ "$attempt" -lt 10 ] || fail "the deployment ended before the camera stopped at $point, ten times"
    done
    "$colc" grab "$tmp/next.png" --camera aravis:127.0.0.1 > "$tmp/out" 2> "$tmp/err" ||
      fail "the run after a deployment killed at $point failed"
    grep -q "was left changed by a run that did not end cleanly" "$tmp/err" || fail "no word of what was put back"
    unchanged "a deployment killed at register $point, then another run"
  done
  echo "deployments killed outright, each followed by another run: the camera is as found: passed"

  # Ctrl-C twice while colc deploy writes the exposure: it stops before
  # the next part of its writes, puts back every feature and ends as
  # cancelled. Once the camera has saved the user set, the deployment
  # cannot be taken back and ends as done.
  "$colc" calibrate --camera aravis:127.0.0.1 --reference "$tmp/chart.png" --no-color-correction --quiet \
    --out "$tmp/r.colc" > "$tmp/out" 2> "$tmp/err" || fail "colc calibrate failed"
  for point in 0x120 saved; do
    start_stopping_at "$point" "$colc" deploy "$tmp/r.colc" --camera aravis:127.0.0.1 --save-user-set 1 --default
    # After the save colc may end before either signal comes.
    kill -INT "$run" 2> /dev/null && sleep 0.05 && kill -INT "$run" 2> /dev/null || true
    kill -CONT "$pid"
    finish_run
    if [ "$point" = 0x120 ]; then
      [ "$status" -eq 130 ] && grep -q "left as it was found" "$tmp/err" || fail "Ctrl-C at $point: status $status"
      unchanged "colc deploy cancelled as it writes the exposure"
    else
      [ "$status" -eq 0 ] && grep -q "Saved to user set UserSet1" "$tmp/out" || fail "Ctrl-C after the save: status $status"
      "$features" 127.0.0.1 | grep -qx "UserSetDefault=UserSet1" || fail "Ctrl-C after the save: not deployed"
    fi
  done
  echo "colc deploy with Ctrl-C twice: put back before the save, finished after it: passed"
  ;;
esac
