#!/usr/bin/env bash
# Edits and moves rows of grid_demo on a virtual X server as a user would
# (xdotool) and saves the screen at each step: the row tooltip, a check box
# clicked once and double-clicked, the date editor ended with Enter after its
# calendar was opened and closed, Alt+Down opening the calendar, a date
# picked there, Ctrl+C and Ctrl+V inside a group, and a row dragged beside
# and under another one with the drop marker. Exits 0 without doing anything
# where Xvfb, xdotool or ImageMagick is missing.
#   scripts/edit-demo.sh [OUT]     (default build/edit-demo/)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/edit-demo}"
name=edit-demo
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import
demo="$root/build/demo/grid_demo"
build_if_missing grid_demo "$demo"
mkdir -p "$out"
rm -f "$out"/*.png
cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
start_xvfb

# The demo's layout at the top left of the screen: a 20-pixel header, rows 15
# pixels high (row 0 is "Group 1", its rows follow), and these columns.
row_y() { echo $((20 + 15 * $1 + 7)); }
name_x=60     # Name, the tree column (0-120)
done_x=772    # Done, the check boxes (752-792)
created_x=980 # Created, a date (948-1034); its calendar button at its right end
created_button_x=1027

start_demo() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null && wait "$app" 2>/dev/null || true
  "$demo" >/dev/null 2>&1 &
  app=$!
  local window
  window="$(xdotool search --sync --onlyvisible --name "Kestrum grid demo" | head -n 1)"
  xdotool windowmove --sync "$window" 0 0
  sleep 2 # the worker fills the rows
}
shot() { # name [geometry]
  sleep 0.6
  import -window root -crop "${2:-1240x330+0+0}" "$out/$1.png"
}

# The row tooltip: the name, the Double and the update count, in plain text.
start_demo
xdotool mousemove --sync 40 "$(row_y 1)"
sleep 0.3
xdotool mousemove --sync 42 "$(row_y 1)"
sleep 1.5
shot 01-tooltip 400x160+0+0

# A check box: a click selects its row and leaves the value; a double click
# toggles it once.
xdotool mousemove --sync "$done_x" "$(row_y 1)" click 1
shot 02-check-box-clicked 400x120+600+0
xdotool click --repeat 2 --delay 80 1
shot 03-check-box-double-clicked 400x120+600+0

# The date editor: opened with a double click, its calendar opened with the
# button and closed with Esc; Enter then writes and ends the edit.
xdotool mousemove --sync "$created_x" "$(row_y 3)" click --repeat 2 --delay 80 1
shot 04-date-editor-open 500x300+700+0
xdotool mousemove --sync "$created_button_x" "$(row_y 3)" click 1
shot 05-date-calendar-open 500x300+700+0
xdotool key Escape
shot 06-date-calendar-closed 500x300+700+0
xdotool key Return
shot 07-date-enter-ended-the-edit 500x300+700+0
# Alt+Down opens the calendar; a day picked with the keys is written.
xdotool mousemove --sync "$created_x" "$(row_y 5)" click --repeat 2 --delay 80 1
sleep 0.3
xdotool key alt+Down
shot 08-date-alt-down-opens-the-calendar 500x300+700+0
xdotool key Right Return
shot 09-date-picked-and-written 500x300+700+0

# Ctrl+C on "Anchor 8" (row 3), Ctrl+V on "Ember 20" (row 6): the copy goes
# right below Ember 20, inside Group 1.
start_demo
xdotool mousemove --sync 200 "$(row_y 3)" click 1
xdotool key ctrl+c
xdotool mousemove --sync 200 "$(row_y 6)" click 1
xdotool key ctrl+v
shot 10-pasted-after-the-focused-row 400x200+0+0

# A drag of "Ember 4" (row 2) to the lower half of "Anchor 8" (row 3): over
# the rows' tree lines the bar starts at their text (beside Anchor 8), over
# the names further right (under Anchor 8); dropped there.
start_demo
xdotool mousemove --sync "$name_x" "$(row_y 2)" mousedown 1
for y in 60 65 70 75 78; do xdotool mousemove --sync 30 "$y"; sleep 0.05; done
xdotool mousemove --sync 22 78
shot 11-drag-beside 400x160+0+0
xdotool mousemove --sync 100 78
shot 12-drag-under 400x160+0+0
xdotool mouseup 1
shot 13-dropped-under 400x160+0+0
echo "edit-demo: screenshots in $out"
