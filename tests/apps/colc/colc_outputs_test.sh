#!/usr/bin/env bash
# Outputs are checked before the camera is touched, and no output replaces
# an input. The simulated camera fails at its first acquisition here, so a
# check made only after the calibration would show as status 8, not 4.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'chmod -R u+w "$tmp"; rm -rf "$tmp"' EXIT
chmod 755 "$tmp"

# refused STATUS PATTERN ARGS...: one line on standard error, nothing on standard output
refused() {
  local want=$1 pattern=$2 status=0
  shift 2
  "$@" > "$tmp/out" 2> "$tmp/err" || status=$?
  if [ "$status" -ne "$want" ] || [ "$(wc -l < "$tmp/err")" -ne 1 ] || [ -s "$tmp/out" ] ||
     ! grep -q -- "$pattern" "$tmp/err"; then
    echo "$*: status $status (want $want), standard error (want one line with '$pattern'):"
    cat "$tmp/err" "$tmp/out"
    exit 1
  fi
}

"$colc" target "$tmp/chart.png" --width 192
cp "$tmp/chart.png" "$tmp/chart.kept"
mkdir "$tmp/sub"
ln -s "$tmp/chart.png" "$tmp/symlink.png"
ln "$tmp/chart.png" "$tmp/hardlink.png"
failing=(calibrate --camera sim:fail-at=1,width=320,height=240)

# An output that is an input, under any name, is refused; the input stays.
for out in "$tmp/chart.png" "$tmp/sub/../chart.png" "$tmp/symlink.png" "$tmp/hardlink.png"; do
  refused 4 "is the reference image" "$colc" "${failing[@]}" --reference "$tmp/chart.png" --out "$out"
done
refused 4 "is the scene" "$colc" "${failing[@]}" --scene "$tmp/symlink.png" --out "$tmp/chart.png"
cp "$tmp/chart.png" "$tmp/sub/colc-reference.png"
refused 4 "colc-reference.png.*is the reference image" \
  "$colc" "${failing[@]}" --reference "$tmp/sub/colc-reference.png" --report "$tmp/sub"
"$colc" calibrate --camera sim:width=320,height=240 --reference "$tmp/chart.png" --no-contrast --no-brightness \
  --out "$tmp/result" --quiet
refused 4 "is the input image" "$colc" apply "$tmp/result" "$tmp/chart.png" "$tmp/hardlink.png"
refused 4 "is the result archive" "$colc" apply "$tmp/result" "$tmp/chart.png" "$tmp/result"
cmp "$tmp/chart.png" "$tmp/chart.kept"

# The report's files do not collide with the user's: a reference.png in the
# report folder stays as it is.
mkdir "$tmp/mine"
cp "$tmp/chart.png" "$tmp/mine/reference.png"
echo "mine" > "$tmp/mine/index.html"
"$colc" calibrate --camera sim:width=320,height=240 --reference "$tmp/mine/reference.png" --no-contrast \
  --no-brightness --report "$tmp/mine" --quiet
cmp "$tmp/mine/reference.png" "$tmp/chart.kept"
[ "$(cat "$tmp/mine/index.html")" = mine ]
[ -s "$tmp/mine/colc-report.html" ] && [ -s "$tmp/mine/colc-reference.png" ]

# A report folder that cannot be written is found before the camera; one
# that would be made is made only when the report is written, so a failed
# run leaves none behind.
mkdir "$tmp/readonly"
chmod 555 "$tmp/readonly"
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
refused 4 "readonly" "${as_user[@]}" "$colc" "${failing[@]}" --report "$tmp/readonly"
refused 4 "readonly" "${as_user[@]}" "$colc" "${failing[@]}" --report "$tmp/readonly/new/report"
refused 8 "acquisition 1 failed" "$colc" "${failing[@]}" --report "$tmp/new/report"
[ ! -e "$tmp/new" ]
