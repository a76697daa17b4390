#!/usr/bin/env bash
# Drives Velmora's scan file commands by hand on a virtual X server: Scan >
# "Open folder..." (Ctrl+O) with a folder typed into its chooser, "Save
# scan..." (Ctrl+S) to a file, then "Open scan..." (Alt+F, A) of a scan
# written by ncdu (or of the saved one without ncdu). Checks the window's
# title and the saved file after each step and keeps a screenshot of each in
# OUT (default build/scan-velmora/). Exits 0 without doing anything where
# Xvfb or xdotool is missing.
#   scripts/scan-velmora.sh [OUT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/scan-velmora}"
name=scan-velmora
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import
velmora="$root/build/app/velmora"
build_if_missing velmora "$velmora"
mkdir -p "$out"
rm -f "$out"/*.png "$out"/saved.json

make_scratch_tree
make_file bravo/disk.img 900000
make_file charlie/photo.jpg 200000
make_file charlie/inner/deeper/file.dat 50000
make_file charlie/notes.txt 1200
ln "$tree/charlie/photo.jpg" "$tree/charlie/inner/photo-link.jpg"

start_xvfb
"$velmora" --settings "$tree/settings.ini" "$tree/bravo" >/dev/null 2>&1 &
app=$!
window="$(xdotool search --sync --onlyvisible --pid "$app" | head -n 1)"
xdotool windowfocus --sync "$window" 2>/dev/null || true

step=0
shot() { # name
  sleep 0.6
  step=$((step + 1))
  local file
  file="$(printf '%s/%02d-%s.png' "$out" "$step" "$1")"
  import -window root "$file"
  echo "  $file"
}
title() { xdotool getwindowname "$window"; }
focus_main() { xdotool windowfocus --sync "$window" 2>/dev/null || true; }
wait_title() { # expected title
  for _ in $(seq 100); do [ "$(title)" = "$1" ] && return 0; sleep 0.1; done
  echo "$name: the title is '$(title)', not '$1'" >&2
  exit 1
}
# Types a path into the file dialog named TITLE and accepts it.
answer_dialog() { # title path
  local dialog
  # Asked again until it shows: a search fails outright when a window goes
  # while it looks (the main window's tooltips, menus).
  for _ in $(seq 100); do
    dialog="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true)"
    [ -n "$dialog" ] && break
    sleep 0.1
  done
  [ -n "$dialog" ] || { echo "$name: no dialog '$1'" >&2; exit 1; }
  dialog="${dialog%%$'\n'*}"
  xdotool windowfocus --sync "$dialog" 2>/dev/null || true
  sleep 0.3
  xdotool key ctrl+a
  xdotool type --delay 20 "$2"
  sleep 0.3
  shot "$3"
  xdotool key Return
}

echo "Screenshots:"
wait_title "Kestrum - Velmora"
shot start

focus_main; xdotool key ctrl+o
answer_dialog "Open folder" "$tree/charlie" open-folder-dialog
wait_title "charlie - Velmora"
focus_main; xdotool key Right
shot charlie-shown

focus_main; xdotool key ctrl+s
answer_dialog "Save scan" "$out/saved.json" save-scan-dialog
for _ in $(seq 50); do [ -s "$out/saved.json" ] && break; sleep 0.1; done
grep -q '"name":"photo-link.jpg"' "$out/saved.json" || { echo "$name: the saved scan lacks its entries" >&2; exit 1; }

scan="$out/saved.json"
if command -v ncdu >/dev/null; then
  ncdu -0 -x -o "$out/ncdu.json" "$tree/charlie"
  scan="$out/ncdu.json"
fi
focus_main; xdotool key alt+f
sleep 0.4
xdotool key a
answer_dialog "Open scan" "$scan" open-scan-dialog
wait_title "$(basename "$scan") - Velmora"
focus_main; xdotool key Right
sleep 0.3
focus_main; xdotool key Down Right
shot scan-shown
echo "$name: ok"
