#!/usr/bin/env bash
# Stops a walk of a large tree (default /usr) with Esc on a virtual X server:
# starts Velmora, waits a moment, presses Esc on the grid, then checks that
# the title says "incomplete" and saves screenshots before and after to OUT
# (default build/stop-velmora/). Look at them: the rows found stay, and the
# status bar says the walk was stopped. Exits 0 without doing anything where
# Xvfb, xdotool or ImageMagick is missing.
#   scripts/stop-velmora.sh [TREE] [OUT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
tree="${1:-/usr}"
out="${2:-$root/build/stop-velmora}"
name=stop-velmora
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import
velmora="$root/build/app/velmora"
build_if_missing velmora "$velmora"
mkdir -p "$out"
rm -f "$out"/*.png
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
start_xvfb
"$velmora" "$tree" >/dev/null 2>&1 &
app=$!
window="$(xdotool search --sync --onlyvisible --pid "$app" | head -n 1)"
xdotool windowfocus --sync "$window" 2>/dev/null || true
sleep 0.7
import -window root "$out/01-walking.png"
echo "  $out/01-walking.png ($(xdotool getwindowname "$window"))"
xdotool key Escape
sleep 1.5
import -window root "$out/02-stopped.png"
title="$(xdotool getwindowname "$window")"
echo "  $out/02-stopped.png ($title)"
case "$title" in
*incomplete*) echo "stop-velmora: the walk stopped and the title says incomplete" ;;
*) echo "stop-velmora: the title does not say incomplete: $title" >&2; exit 1 ;;
esac
