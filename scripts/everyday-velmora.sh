#!/usr/bin/env bash
# Tries Velmora's everyday commands by hand on a virtual X server: the row
# menu on a folder (right button), "&Copy full name" read back with xclip,
# F5 on a folder after a file inside it was deleted, the units mode, a
# restart that brings the settings back (kept in a file of their own), File
# > Exit by Alt+F, X and by Ctrl+Q, Open without a program to open it (a
# message box), the default window with all eight columns, and a folder
# given twice beside one inside it (the status bar's totals). Saves
# a screenshot of each step to OUT (default build/everyday-velmora/). Exits 0
# without doing anything where Xvfb, xdotool or xclip is missing.
#   scripts/everyday-velmora.sh [OUT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/everyday-velmora}"
name=everyday-velmora
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import xclip
velmora="$root/build/app/velmora"
[ -x "$velmora" ] || { echo "everyday-velmora: build velmora first" >&2; exit 1; }
mkdir -p "$out"
rm -f "$out"/*.png

make_scratch_tree .ini .fresh.ini
settings="$tree.ini"
fill=/dev/urandom
make_file alpha/notes.txt 1000
make_file bravo/disk.img 900000
make_file bravo/more/part.bin 300000
make_file charlie/photo.jpg 200000
make_file charlie/inner/deeper/file.dat 50000
make_file delta/echo/foxtrot.txt 120000
make_file zulu.txt 5000
ln "$tree/charlie/photo.jpg" "$tree/delta/photo-link.jpg"
truncate -s 3M "$tree/sparse.img" # takes nothing on the disk

start_xvfb

start() { # [SETTINGS [FOLDER...]]: the tree with the kept settings by default
  local kept="${1:-$settings}"
  shift || true
  [ $# -gt 0 ] || set -- "$tree"
  : >"$log"
  # No program on the path opens files: Open must say so.
  PATH=/nonexistent-velmora-path "$velmora" --settings "$kept" --report-layout "$@" >"$log" 2>&1 &
  app=$!
  for _ in $(seq 200); do grep -q '^layout ' "$log" && break; sleep 0.1; done
  layout="$(grep '^layout ' "$log" || true)"
  [ -n "$layout" ] || { echo "everyday-velmora: no layout" >&2; cat "$log" >&2; exit 1; }
  read -r _ _ bx by _ _ _ header _ row _ rest <<<"$layout"
  window="$(xdotool search --sync --onlyvisible --pid "$app" | head -n 1)"
  xdotool windowfocus --sync "$window" 2>/dev/null || true
}
row_y() { echo $((by + header + $1 * row + row / 2)); }
step=0
shot() {
  sleep 0.8
  step=$((step + 1))
  local file
  file="$(printf '%s/%02d-%s.png' "$out" "$step" "$1")"
  import -window root "$file"
  echo "  $file"
}
quit() { # File > Exit by its mnemonic (Alt+F, X): the settings are written as the window closes
  xdotool key alt+f
  sleep 0.3
  xdotool key x
  ended
}
exit_by_key() { # File > Exit by Ctrl+Q
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  sleep 0.2
  xdotool key ctrl+q
  ended
}
ended() { # the window must be gone within ten seconds
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then echo "everyday-velmora: the window did not close" >&2; exit 1; fi
  wait "$app" || true
  app=""
}

echo "Screenshots:"
start
xdotool windowmove --sync "$window" 0 0 windowsize --sync "$window" 1270 760
sleep 0.5
quit
start # the layout again, at the new size
xdotool mousemove --sync $((bx + row / 2)) "$(row_y 0)" click 1
shot opened
# Sorted by size: the sparse file is row 1, bravo (the largest folder) row 2.
xdotool mousemove --sync $((bx + 120)) "$(row_y 2)" click 3
shot context-menu
xdotool key c # "&Copy full name"
sleep 0.3
copied="$(xclip -o)"
echo "  xclip -o: $copied"
[ "$copied" = "$tree/bravo" ] || { echo "everyday-velmora: copied '$copied', not $tree/bravo" >&2; exit 1; }
rm "$tree/bravo/disk.img"
xdotool mousemove --sync $((bx + 120)) "$(row_y 2)" click 1
xdotool key F5
shot refreshed-after-delete
xdotool key alt+v
sleep 0.3
shot view-menu
xdotool key u # "Sizes in &units"
shot units
quit
start
shot restarted
grep -q '^velmora:' "$log" && { echo "everyday-velmora: complaints:" >&2; cat "$log" >&2; exit 1; }
# Open on a row with no program to open it (no xdg-open on the path): a
# message box says so.
xdotool mousemove --sync $((bx + 120)) "$(row_y 0)" click 3
sleep 0.3
xdotool key o # "&Open"
for _ in $(seq 30); do xdotool search --onlyvisible --name '^Open' >/dev/null 2>&1 && break; sleep 0.1; done
shot open-without-opener
xdotool search --onlyvisible --name '^Open' >/dev/null 2>&1 || { echo "everyday-velmora: no message box for Open" >&2; exit 1; }
xdotool key Return
sleep 0.3
exit_by_key

# No settings yet: the window opens at its default size with all eight
# columns in view.
start "$tree.fresh.ini"
shot default-window
read -r _ _ _ _ body_width _ <<<"$layout"
last="${layout##* }"
[[ "$layout" == *" %_of_parent "* ]] && [ "$last" -le "$body_width" ] ||
  { echo "everyday-velmora: not every column in view: $layout" >&2; exit 1; }
exit_by_key

# A folder given twice and one inside another: three roots shown once
# each, the totals in the status bar those of the tree once.
start "$tree.fresh.ini" "$tree" "$tree" "$tree/charlie"
shot given-twice-and-nested
exit_by_key
rm -f "$tree.fresh.ini"
echo "everyday-velmora: done"
