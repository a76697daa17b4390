#!/usr/bin/env bash
# Sorts Velmora by columns that some rows leave blank, and collapses all
# while scrolled down, on a virtual X server, as a user would: opens a small
# tree, clicks the "Files count" caption twice (files have no count) and the
# "Last write time" caption twice (folders have no times), then Settings >
# Expand all, ten wheel notches down and Settings > Collapse all. After each
# step it saves a screenshot to OUT (default build/sort-velmora/); it checks
# that every step changed the window and that the row left after Collapse
# all is painted (the page is not scrolled past it). Look at the sorted
# screenshots: the rows with a value are in order, the blank ones follow.
# Exits 0 without doing anything where Xvfb, xdotool or ImageMagick is
# missing.
#   scripts/sort-velmora.sh [OUT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/sort-velmora}"
name=sort-velmora
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import convert
velmora="$root/build/app/velmora"
build_if_missing velmora "$velmora"
mkdir -p "$out"
rm -f "$out"/*.png

# Folders whose files count is not in size order, files between them by
# size, and files whose write times are not in size order; twelve folders
# of ten files make the page scroll once all is open.
make_scratch_tree
for i in 1 2 3 4 5 6; do make_file many/f$i 100000; done
make_file one/only 400000
make_file file2 500000
make_file file3 450000
make_file file1 300000
touch -d '2020-01-01 10:00' "$tree/file1"
touch -d '2022-01-01 10:00' "$tree/file3"
touch -d '2024-01-01 10:00' "$tree/file2"
for i in $(seq -w 1 12); do
  for j in $(seq -w 1 10); do make_file "more/dir$i/file$j" $((10#$i * 1000 + 10#$j)); done
done

start_xvfb
"$velmora" --report-layout "$tree" >"$log" 2>&1 &
app=$!
for _ in $(seq 200); do grep -q '^layout ' "$log" && break; sleep 0.1; done
layout="$(grep '^layout ' "$log" || true)"
if [ -z "$layout" ]; then
  echo "sort-velmora: Velmora did not report its layout" >&2
  cat "$log" >&2
  exit 1
fi
# layout body X Y W H header H row H columns NAME LEFT RIGHT ...
read -r _ _ bx by bw _ _ header _ row _ rest <<<"$layout"
caption_x() { # caption (spaces as _) -> the middle of its header cell, in screen x
  local words=($rest) i
  for ((i = 0; i < ${#words[@]}; i += 3)); do
    if [ "${words[i]}" = "$1" ]; then echo $((bx + (words[i + 1] + words[i + 2]) / 2)); return; fi
  done
  echo "sort-velmora: no column $1" >&2
  exit 1
}
row_y() { echo $((by + header + $1 * row + row / 2)); } # the middle of a row in screen y
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
    echo "sort-velmora: step $step ($1) changed nothing on the screen" >&2
    exit 1
  fi
  previous="$sum"
  echo "  $file"
}
click() { xdotool mousemove --sync "$1" "$2" click 1; }
caption() { click "$(caption_x "$1")" $((by + header / 2)); }
settings() { # the Settings menu's item with this mnemonic
  xdotool key alt+s
  sleep 0.3
  xdotool key "$1"
}

echo "Screenshots:"
shot start
click $((bx + row / 2)) "$(row_y 0)" # the root row's tree button
shot opened
caption Files_count # Size's direction: descending, many (6) before one (1), files after
shot files-count-descending
caption Files_count
shot files-count-ascending
caption Last_write_time # ascending, file1 file3 file2, folders after
shot last-write-ascending
caption Last_write_time
shot last-write-descending
settings e
shot expanded-all
xdotool mousemove --sync $((bx + bw / 2)) "$(row_y 5)"
for _ in $(seq 10); do xdotool click 5; sleep 0.05; done
shot wheeled-down
settings c
shot collapsed-all
# Row 0 holds the root row again: its strip has text, not one flat colour.
colours="$(convert "$file" -crop "$((bw - 20))x$((row - 2))+$((bx + 2))+$((by + header + 1))" +repage \
  -format %k info:)"
if [ "$colours" -le 2 ]; then
  echo "sort-velmora: after Collapse all the first row is blank ($colours colours): scrolled past the rows" >&2
  exit 1
fi
echo "sort-velmora: every step changed the window; the root row shows after Collapse all"
