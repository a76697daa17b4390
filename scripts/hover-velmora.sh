#!/usr/bin/env bash
# Hovers Velmora's tooltips on a virtual X server: a deep folder whose name
# the Name column clips shows its whole name in place, and a name that fits
# shows its full path beside the cursor. Saves a screenshot of each to OUT
# (default build/hover-velmora/) and checks that the pop-up appeared (the
# screen changed where it lies) and went again after a counted move. Exits 0
# without doing anything where Xvfb, xdotool or ImageMagick is missing.
#   scripts/hover-velmora.sh [OUT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/hover-velmora}"
name=hover-velmora
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool import compare
velmora="$root/build/app/velmora"
build_if_missing velmora "$velmora"
mkdir -p "$out"
rm -f "$out"/*.png

# Rows once all is open: tree, projects, archive, 2009, the long name, its
# file, readme.txt (the sort is by size, largest first).
make_scratch_tree
long="photographs from the long summer holiday at the seaside cottage"
mkdir -p "$tree/projects/archive/2009/$long"
head -c 4000 /dev/zero >"$tree/projects/archive/2009/$long/img.jpg"
head -c 100 /dev/zero >"$tree/projects/readme.txt"

start_xvfb
"$velmora" --expand 8 --report-layout "$tree" >"$log" 2>&1 &
app=$!
for _ in $(seq 200); do grep -q '^layout ' "$log" && break; sleep 0.1; done
layout="$(grep '^layout ' "$log" || true)"
if [ -z "$layout" ]; then
  echo "hover-velmora: Velmora did not report its layout" >&2
  cat "$log" >&2
  exit 1
fi
# layout body X Y W H header H row H columns Name LEFT RIGHT ...
read -r _ _ bx by _ _ _ header _ row _ _ _ name_right _ <<<"$layout"
row_y() { echo $((by + header + $1 * row + row / 2)); }
sleep 0.5

# shot NAME X1 Y1 X2 Y2: the screen, and the part of it that should change.
shot() {
  import -window root "$out/$1.png"
  convert "$out/$1.png" -crop "$(($4 - $2))x$(($5 - $3))+$2+$3" +repage "$out/$1-part.png"
  echo "  $out/$1.png"
}
differs() { # two parts differ
  [ "$(compare -metric AE "$out/$1-part.png" "$out/$2-part.png" null: 2>&1 || true)" != "0" ]
}

echo "Screenshots:"
y="$(row_y 4)"
strip=($((bx + name_right)) $((y - row)) $((bx + name_right + 200)) $((y + row)))
xdotool mousemove --sync $((bx + 200)) "$y"
shot before-hover "${strip[@]}"
sleep 1.2 # the hover delay is half a second
shot in-place "${strip[@]}"
differs before-hover in-place || { echo "hover-velmora: no in-place tooltip past the Name column" >&2; exit 1; }
xdotool mousemove --sync $((bx + 215)) "$y" # a counted move, over the pop-up
sleep 0.3
shot moved "${strip[@]}"
differs in-place moved || { echo "hover-velmora: the in-place tooltip stayed after a counted move" >&2; exit 1; }

y="$(row_y 6)"
area=($((bx)) $((y - 3 * row)) $((bx + 400)) $((y - row / 2)))
xdotool mousemove --sync $((bx + 120)) "$y"
shot before-path "${area[@]}"
sleep 1.2
shot path "${area[@]}"
differs before-path path || { echo "hover-velmora: no path tooltip above readme.txt" >&2; exit 1; }
echo "hover-velmora: the clipped name showed in place and the path beside the cursor"
