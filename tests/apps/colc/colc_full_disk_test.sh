#!/usr/bin/env bash
# A full disk costs no earlier output: every command that writes a file ends
# with status 4 and one line that names the file and the cause, the file it
# would have replaced stays as it was, and no partial file is left beside
# it. The disk is a small tmpfs, filled up, in a mount namespace of the
# test's own; where none can be made, a file size limit makes the writes
# fail instead.
set -euo pipefail
if [ -z "${COLC_FULL_DISK:-}" ]; then
  if unshare --mount true 2> /dev/null; then
    exec env COLC_FULL_DISK=tmpfs unshare --mount --propagation private bash "$0" "$@"
  elif unshare --user --map-root-user --mount true 2> /dev/null; then
    exec env COLC_FULL_DISK=tmpfs unshare --user --map-root-user --mount --propagation private bash "$0" "$@"
  fi
  COLC_FULL_DISK=limit
fi
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
full="$tmp/full"
trap 'umount "$full" 2> /dev/null || true; rm -rf "$tmp"' EXIT

small=(--camera sim:width=320,height=240 --reference "$tmp/chart.png" --quiet)
"$colc" target "$tmp/chart.png" --width 192
"$colc" calibrate "${small[@]}" --out "$tmp/result"

mkdir "$full"
if [ "$COLC_FULL_DISK" = tmpfs ] && ! mount -t tmpfs -o size=512k tmpfs "$full" 2> /dev/null; then
  COLC_FULL_DISK=limit
fi
# What the commands would replace.
mkdir "$full/report" "$full/demo"
for file in result cube chart.png corrected.png report/colc-report.html report/colc-reference.png demo/camera.png; do
  echo "old $file" > "$full/$file"
done
before="$(cd "$full" && find . -type f | sort | xargs md5sum)"

if [ "$COLC_FULL_DISK" = tmpfs ]; then
  dd if=/dev/zero of="$full/filler" bs=4k 2> /dev/null || true
  cause="No space left on device"
  run() { "$colc" "$@"; }
else
  # 1 KiB at most per file; beyond, a write fails (EFBIG) instead of the
  # signal ending colc.
  cause="File too large"
  run() { (trap '' XFSZ && ulimit -f 1 && exec "$colc" "$@"); }
fi

commands=(
  "calibrate ${small[*]} --out $full/result"
  "calibrate ${small[*]} --report $full/report"
  "apply $tmp/result $tmp/chart.png $full/corrected.png"
  "export $tmp/result --cube $full/cube"
  "target $full/chart.png"
  "demo --save $full/demo"
)
for command in "${commands[@]}"; do
  status=0
  # shellcheck disable=SC2086  # the table's words are the arguments
  run $command > /dev/null 2> "$tmp/err" || status=$?
  if [ "$status" -ne 4 ] || [ "$(wc -l < "$tmp/err")" -ne 1 ] ||
     ! grep -q "^colc: cannot write .* '$full/.*': $cause" "$tmp/err"; then
    echo "colc $command on a full disk ($COLC_FULL_DISK): status $status, want 4 and one line naming the cause"
    cat "$tmp/err"
    exit 1
  fi
done
rm -f "$full/filler"
after="$(cd "$full" && find . -type f | sort | xargs md5sum)"
[ "$before" = "$after" ] || { echo "files changed or left behind:"; diff <(echo "$before") <(echo "$after"); exit 1; }
