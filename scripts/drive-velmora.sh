#!/usr/bin/env bash
# Drives Velmora by hand, as a user would, on a virtual X server: opens a
# folder with a click on its tree button and another with Right, sorts with
# header clicks (Name, then Size), moves the focus with the arrows and finds a
# folder by typing the start of its name, and copies three rows with Ctrl+C
# (read back with xclip where it is installed). After each step it saves a
# screenshot to OUT (default build/drive-velmora/) and checks that the window
# changed. Exits 0 without doing anything where Xvfb or xdotool is missing,
# so CI may run it everywhere.
#   scripts/drive-velmora.sh [OUT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/drive-velmora}"
name=drive-velmora
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import
velmora="$root/build/app/velmora"
build_if_missing velmora "$velmora"
mkdir -p "$out"
rm -f "$out"/*.png

# A small tree whose folders differ in size, so the sort is visible.
make_scratch_tree
make_file alpha/notes.txt 1000
make_file bravo/disk.img 900000
make_file bravo/more/part.bin 300000
make_file charlie/photo.jpg 200000
make_file charlie/inner/deeper/file.dat 50000
make_file delta/echo/foxtrot.txt 120000
make_file zulu.txt 5000

# A free display number and its server.
start_xvfb
"$velmora" --report-layout "$tree" >"$log" 2>&1 &
app=$!
for _ in $(seq 200); do grep -q '^layout ' "$log" && break; sleep 0.1; done
layout="$(grep '^layout ' "$log" || true)"
if [ -z "$layout" ]; then
  echo "drive-velmora: Velmora did not report its layout" >&2
  cat "$log" >&2
  exit 1
fi
# layout body X Y W H header H row H columns NAME LEFT RIGHT ...
read -r _ _ bx by _ _ _ header _ row _ rest <<<"$layout"
column_middle() { # caption -> the middle of its header cell, in screen x
  local words=($rest) i
  for ((i = 0; i < ${#words[@]}; i += 3)); do
    if [ "${words[i]}" = "$1" ]; then echo $((bx + (words[i + 1] + words[i + 2]) / 2)); return; fi
  done
  echo "drive-velmora: no column $1" >&2
  exit 1
}
row_y() { echo $((by + header + $1 * row + row / 2)); } # the middle of a row in screen y
window="$(xdotool search --sync --onlyvisible --pid "$app" | head -n 1)"
xdotool windowfocus --sync "$window" 2>/dev/null || true

step=0
previous=""
shot() { # name: saves the screen and checks it changed since the last step
  sleep 0.6
  step=$((step + 1))
  local file
  file="$(printf '%s/%02d-%s.png' "$out" "$step" "$1")"
  import -window root "$file"
  local sum
  sum="$(md5sum <"$file" | cut -d' ' -f1)"
  if [ -n "$previous" ] && [ "$sum" = "$previous" ]; then
    echo "drive-velmora: step $step ($1) changed nothing on the screen" >&2
    exit 1
  fi
  previous="$sum"
  echo "  $file"
}
click() { xdotool mousemove --sync "$1" "$2" click 1; }

echo "Screenshots:"
shot start
# The root row's tree button: the first square of the Name column, level 0.
click $((bx + row / 2)) "$(row_y 0)"
shot opened-by-its-button
# Focus "charlie" (second by size, row 2) with a click, open it with Right.
click $((bx + 150)) "$(row_y 2)"
xdotool key Right
shot opened-by-right
# Sort by Name (the rule keeps level 0's direction: Z to A), then by Size.
click "$(column_middle Name)" $((by + header / 2))
shot sorted-by-name
click "$(column_middle Size)" $((by + header / 2))
shot sorted-by-size
xdotool key Down Down Up
shot arrows
xdotool type --delay 80 "de"
shot typed-de
sleep 1.2
xdotool type "z"
shot typed-z
# Three rows (a click, then Shift+click), Ctrl+C: the clipboard, as other
# programs read it, holds their cells tab-separated, one line each, and
# their full names as a URI list.
if command -v xclip >/dev/null; then
  click $((bx + 150)) "$(row_y 1)"
  xdotool keydown shift
  click $((bx + 150)) "$(row_y 3)"
  xdotool keyup shift
  xdotool key ctrl+c
  shot copied-three-rows
  copied="$(xclip -o -selection clipboard | tr -d '\r')"
  echo "  clipboard:"
  printf '%s\n' "$copied" | sed 's/\t/ | /g; s/^/    /'
  lines="$(printf '%s\n' "$copied" | wc -l)"
  cells="$(printf '%s\n' "$copied" | awk -F'\t' '{ print NF }' | sort -u)"
  if [ "$lines" -ne 3 ] || [ "$cells" != "8" ]; then
    echo "drive-velmora: Ctrl+C on three rows gave $lines lines of $cells cells" >&2
    exit 1
  fi
  uris="$(xclip -o -selection clipboard -t text/uri-list | tr -d '\r' | grep -c '^file://' || true)"
  if [ "$uris" -ne 3 ]; then
    echo "drive-velmora: the URI list has $uris file names, not 3" >&2
    exit 1
  fi
  echo "  and 3 file names as text/uri-list"
else
  echo "drive-velmora: xclip is not installed; the clipboard step is skipped"
fi
echo "drive-velmora: every step changed the window"
