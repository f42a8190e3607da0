#!/usr/bin/env bash
# Every kind of failure of the colc program ends with one line on standard
# error that names the file or the cause, nothing on standard output, and
# the exit status of its kind.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# expect STATUS PATTERN ARGS...
expect() {
  local want=$1 pattern=$2 status=0
  shift 2
  # an input that makes colc wait or read without end ends as status 124
  timeout 30 "$colc" "$@" > "$tmp/out" 2> "$tmp/err" || status=$?
  if [ "$status" -ne "$want" ] || [ "$(wc -l < "$tmp/err")" -ne 1 ] || [ -s "$tmp/out" ] ||
     ! grep -q -- "$pattern" "$tmp/err"; then
    echo "colc $*: status $status (want $want), standard error (want one line with '$pattern'):"
    cat "$tmp/err"
    echo "standard output:"
    cat "$tmp/out"
    exit 1
  fi
}

small=(--camera sim:width=320,height=240 --reference "$tmp/chart.png" --no-pel-mapping --no-contrast --no-brightness)
"$colc" target "$tmp/chart.png" --width 192
"$colc" demo --save "$tmp" > /dev/null
"$colc" calibrate "${small[@]}" --out "$tmp/result" --quiet
echo "exposure 0.1" > "$tmp/text.png"
head -c 40 "$tmp/result" > "$tmp/cut"
mkdir "$tmp/folder.png"
mkfifo "$tmp/pipe.png"
# A chart whose header declares 30000 x 30000 pels
cp "$tmp/chart.png" "$tmp/huge.png"
printf '\0\0\x75\x30\0\0\x75\x30' | dd of="$tmp/huge.png" bs=1 seek=16 conv=notrunc status=none

# 2: the command line
expect 2 "a command is needed"
expect 2 "unknown command .frobnicate." frobnicate
expect 2 "MIN <= MAX" calibrate --exposure-range 0.3:0.1
expect 2 "unknown camera 'usb'" calibrate --camera usb
expect 2 "'bogus'" calibrate --camera sim:bogus=1
expect 2 "width" target "$tmp/t.png" --width 20
expect 2 "there is no chart 'frame' (there are chart:colc, chart:24-patch)" calibrate --reference chart:frame
expect 2 "chart" target "$tmp/t.png" --chart frame
expect 2 "print size is written into .png files only" target "$tmp/t.jpg" --dpi 300
expect 2 "excludes" target "$tmp/t.png" --dpi 300 --print-width-mm 200

# 3: inputs that are missing or not images
expect 3 "missing.png" fit "$tmp/missing.png" "$tmp/reference.png"
expect 3 "text.png" calibrate --reference "$tmp/text.png"
expect 3 "scene.png" calibrate --scene "$tmp/scene.png"
expect 3 "text.png" apply "$tmp/result" "$tmp/text.png" "$tmp/out.png"
expect 3 "missing-result" show "$tmp/missing-result"
# what is not a regular file is refused at once, not read without end or waited on
expect 3 "/dev/zero.*not a regular file" calibrate --reference /dev/zero
expect 3 "pipe.png.*not a regular file" calibrate --scene "$tmp/pipe.png"
expect 3 "pipe.png.*not a regular file" show "$tmp/pipe.png"

# 4: outputs that cannot be written, found before a calibration starts
expect 4 "no/such/chart.png" target "$tmp/no/such/chart.png"
expect 4 "no/such/result" calibrate --out "$tmp/no/such/result"
expect 4 "text.png/report" calibrate --report "$tmp/text.png/report"
expect 4 "folder.png" apply "$tmp/result" "$tmp/camera.png" "$tmp/folder.png"

# 5: archives that are corrupt or hold something else
expect 5 "cut" show "$tmp/cut"
expect 5 "text.png" show "$tmp/text.png"
expect 5 "cut" apply "$tmp/cut" "$tmp/camera.png" "$tmp/out.png"

# 6: images the fit refuses (a mask must hold 0 and 255 only), and images too large, refused from their headers
expect 6 "cannot use the images" fit "$tmp/camera.png" "$tmp/reference.png" --mask "$tmp/reference.png"
expect 6 "huge.png.*30000 x 30000 pels" calibrate --reference "$tmp/huge.png"
expect 6 "chart.png.*192 x 128 pels, more than the 20000 pels" fit "$tmp/chart.png" "$tmp/chart.png" --max-pels 20000

# 7: a camera that does not see the reference
expect 7 "start settings, .*camera's view.*is in $tmp/view.png" calibrate "${small[@]}" --scene "$tmp/mask.png" --save-view "$tmp/view.png"

# 8: a camera that fails
expect 8 "acquisition 5 failed" calibrate "${small[@]/sim:width=320/sim:fail-at=5,width=320}"
expect 8 "timed out" calibrate "${small[@]/sim:width=320/sim:timeout-at=5,width=320}"

# 9: a calibration that cannot help (nothing may change); the result stored above stays as it was
cp "$tmp/result" "$tmp/result.kept"
expect 9 "did not help: red, green and blue are not clearly closer.*'$tmp/result' is left as it was" \
  calibrate "${small[@]}" --no-exposure --out "$tmp/result" --quiet
cmp "$tmp/result" "$tmp/result.kept"

# 130: cancelled, as by Ctrl-C during the fourth acquisition
expect 130 "cancelled" calibrate "${small[@]/sim:width=320/sim:cancel-at=4,width=320}"
