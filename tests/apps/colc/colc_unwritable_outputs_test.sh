#!/usr/bin/env bash
# No command writes anywhere but over a regular file or to a new path, and
# none ends with status 0 after output was lost:
# - every command that writes a file refuses, with status 4 and before any
#   work (the simulated camera here fails at its first acquisition, which
#   would show as status 8), an output that is a named pipe, a folder, a
#   device node or a link to one, and leaves it as it was;
# - every command that prints ends with status 4 and one line when standard
#   output cannot be written.
set -euo pipefail
colc="$2/apps/colc/colc"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

fail() {
  echo "$*"
  echo "standard error:"; cat "$tmp/err"
  exit 1
}

"$colc" target "$tmp/chart.png" --width 192
"$colc" demo --save "$tmp" > /dev/null
small=(--camera sim:width=320,height=240 --reference "$tmp/chart.png" --quick)
"$colc" calibrate "${small[@]}" --out "$tmp/result" --quiet
failing=(calibrate --camera sim:fail-at=1,width=320,height=240 --reference "$tmp/chart.png")

# The nodes: as root, copies of /dev/full and /dev/null made here, so that a
# fault cannot replace the system's own; otherwise /dev/null itself, which
# only root could replace.
mkdir "$tmp/nodes"
mkfifo "$tmp/nodes/pipe"
mkdir "$tmp/nodes/folder"
ln -s "$tmp/nodes/pipe" "$tmp/nodes/link"
nodes=("$tmp/nodes/pipe" "$tmp/nodes/folder" "$tmp/nodes/link")
if [ "$(id -u)" -eq 0 ] && mknod "$tmp/nodes/full" c 1 7 2> /dev/null; then
  mknod "$tmp/nodes/null" c 1 3
  nodes+=("$tmp/nodes/full" "$tmp/nodes/null")
else
  nodes+=(/dev/null)
fi
describe() { stat -c '%F %t:%T' "$1"; }

# Each command with OUT where its output goes; a folder's command writes
# the node under a name of its own.
commands=(
  "${failing[*]} --out OUT"
  "${failing[*]} --save-view OUT"
  "aim --camera sim:fail-at=1,width=320,height=240 --frames 1 --preview OUT"
  "fit $tmp/camera.png $tmp/reference.png --find-target --out OUT"
  "apply $tmp/result $tmp/chart.png OUT"
  "export $tmp/result --cube OUT"
  "target OUT"
)
folder_commands=(
  "${failing[*]} --report DIR:colc-report.html"
  "${failing[*]} --report DIR:colc-start-view.png"
  "demo --save DIR:mask.png"
)

for node in "${nodes[@]}"; do
  before="$(describe "$node")"
  for command in "${commands[@]}"; do
    status=0
    # shellcheck disable=SC2086  # the table's words are the arguments
    timeout 30 "$colc" ${command/OUT/$node} > "$tmp/out" 2> "$tmp/err" || status=$?
    [ "$status" -eq 4 ] && [ "$(wc -l < "$tmp/err")" -eq 1 ] && grep -q "'$node'" "$tmp/err" && [ ! -s "$tmp/out" ] ||
      fail "colc ${command/OUT/$node}: status $status, want 4 and one line naming $node"
    [ "$(describe "$node")" = "$before" ] || fail "colc ${command/OUT/$node} changed $node"
  done
done
for command in "${folder_commands[@]}"; do
  name="${command##*:}"
  args="${command%:*}"
  args="${args/DIR/$tmp/into}"
  for node in pipe "${nodes[@]:3}"; do
    rm -rf "$tmp/into" && mkdir "$tmp/into"
    if [ "$node" = pipe ]; then mkfifo "$tmp/into/$name"; else ln -s "$node" "$tmp/into/$name"; fi
    status=0
    # shellcheck disable=SC2086
    timeout 30 "$colc" $args > "$tmp/out" 2> "$tmp/err" || status=$?
    [ "$status" -eq 4 ] && grep -q "into/$name'" "$tmp/err" || fail "colc $args with $name a $node: status $status"
    [ "$(ls "$tmp/into")" = "$name" ] || fail "colc $args wrote into the folder: $(ls "$tmp/into")"
  done
done
[ -z "$(find "$tmp/nodes" -name '*.tmp.*')" ] || fail "temporary files left: $(find "$tmp/nodes" -name '*.tmp.*')"

# Standard output that cannot be written: a full device.
printing=(
  "show $tmp/result"
  "show $tmp/result --json"
  "calibrate ${small[*]}"
  "calibrate ${small[*]} --json"
  "fit $tmp/camera.png $tmp/reference.png"
  "fit $tmp/camera.png $tmp/reference.png --json"
  "cameras"
  "demo"
  "aim --camera sim:width=320,height=240 --frames 1"
  "target --help"
)
for command in "${printing[@]}"; do
  status=0
  # shellcheck disable=SC2086
  timeout 120 "$colc" $command > /dev/full 2> "$tmp/err" || status=$?
  [ "$status" -eq 4 ] && [ "$(wc -l < "$tmp/err")" -eq 1 ] &&
    grep -q "^colc: cannot write to standard output: No space left on device" "$tmp/err" ||
    fail "colc $command > /dev/full: status $status, want 4 and one line"
done
