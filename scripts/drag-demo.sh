#!/usr/bin/env bash
# Drags a row of grid_demo on a virtual X server, as a user would with the
# mouse (xdotool), and saves the screen during the drag: once over the rows'
# own level and once further right, over the level of the target's children,
# each with the drop marker, then after the drop. Exits 0 without doing
# anything where Xvfb, xdotool or ImageMagick is missing.
#   scripts/drag-demo.sh [OUT]     (default build/drag-demo/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/drag-demo}"
name=drag-demo
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import
demo="$root/build/demo/grid_demo"
build_if_missing grid_demo "$demo"
mkdir -p "$out"
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
start_xvfb
"$demo" >/dev/null 2>&1 &
app=$!
window="$(xdotool search --sync --onlyvisible --name "Kestrum grid demo" | head -n 1)"
xdotool windowmove --sync "$window" 0 0
sleep 2 # the worker fills the rows
# With nothing selected a press in the Name column starts a drag of its row
# (rows are 15 pixels high below a 20-pixel header).
xdotool mousemove --sync 60 58 mousedown 1
for y in 62 70 80 100 120 135; do xdotool mousemove --sync 40 "$y"; sleep 0.05; done
xdotool mousemove --sync 22 140
sleep 0.6
import -window root -crop 640x420+0+0 "$out/1-drag-as-sibling.png"
xdotool mousemove --sync 120 141
sleep 0.6
import -window root -crop 640x420+0+0 "$out/2-drag-as-child.png"
xdotool mouseup 1
sleep 0.6
import -window root -crop 640x420+0+0 "$out/3-dropped.png"
echo "drag-demo: screenshots in $out"
