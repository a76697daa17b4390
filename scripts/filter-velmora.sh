#!/usr/bin/env bash
# Narrows Velmora's rows with the filter bar on a virtual X server, as a user
# would: opens a small tree, presses Ctrl+F, types "*.iso", then sets a
# minimum size of 1M, then presses Esc. After each step it saves a screenshot
# to OUT (default build/filter-velmora/) and checks that the step changed
# the window. Look at them: after the pattern only the .iso files show, each
# under its opened folders, and the status bar says "N of M shown"; after
# Esc the tree is back as it was (only the root open). Then View > File
# types opens the file types window (Alt+V, Y), which lists iso first (the
# largest, disk.ISO counted with them), and Enter on its first row opens the
# filter bar again with "*.iso": with the minimum size it kept, the status
# bar says "2 of 23 shown".
# Exits 0 without doing anything where Xvfb, xdotool or ImageMagick is
# missing.
#   scripts/filter-velmora.sh [OUT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/filter-velmora}"
name=filter-velmora
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import
velmora="$root/build/app/velmora"
build_if_missing velmora "$velmora"
mkdir -p "$out"
rm -f "$out"/*.png

make_scratch_tree
make_file images/debian.iso 3000000
make_file images/small.iso 2000
make_file images/readme.txt 1000
make_file backup/2024/old/disk.ISO 1500000
make_file backup/2024/photos.tar 4000000
for i in 1 2 3 4 5 6; do make_file "music/album$i/track.ogg" $((i * 100000)); done

start_xvfb
"$velmora" --report-layout "$tree" >"$log" 2>&1 &
app=$!
for _ in $(seq 200); do grep -q '^layout ' "$log" && break; sleep 0.1; done
window="$(xdotool search --sync --onlyvisible --pid "$app" | head -n 1)"
xdotool windowfocus --sync "$window" 2>/dev/null || true

step=0
previous=""
shot() { # name: saves the screen and checks it changed since the last step
  sleep 0.8
  step=$((step + 1))
  file="$(printf '%s/%02d-%s.png' "$out" "$step" "$1")"
  import -window root "$file"
  local sum
  sum="$(md5sum <"$file" | cut -d' ' -f1)"
  if [ -n "$previous" ] && [ "$sum" = "$previous" ]; then
    echo "filter-velmora: step $step ($1) changed nothing on the screen" >&2
    exit 1
  fi
  previous="$sum"
  echo "  $file"
}

echo "Screenshots:"
shot start
xdotool key ctrl+f
shot filter-open
xdotool type --delay 60 '*.iso'
shot pattern
xdotool key Tab Tab Tab
xdotool type --delay 60 '1M'
shot at-least-1M
xdotool key Escape
shot closed
xdotool key alt+v
sleep 0.3
xdotool key y
types="$(xdotool search --sync --onlyvisible --name '^File types - Velmora$' | head -n 1)"
if [ -z "$types" ]; then
  echo "filter-velmora: View > File types opened no window" >&2
  exit 1
fi
shot file-types
xdotool windowactivate --sync "$types" 2>/dev/null || xdotool windowfocus --sync "$types"
xdotool key Home Return
shot type-chosen
echo "filter-velmora: every step changed the window"
