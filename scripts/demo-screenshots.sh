#!/usr/bin/env bash
# Screenshots of grid_demo on a virtual X server, one per kind of in-place
# editor (plain text, numeric edit boxes, the drop-down list with its items
# open), saved to OUT (default build/demo-screenshots/). Exits 0 without
# doing anything where xvfb-run is missing.
#   scripts/demo-screenshots.sh [OUT]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/demo-screenshots}"
if ! command -v xvfb-run >/dev/null; then
  echo "demo-screenshots: xvfb-run is not installed; skipped"
  exit 0
fi
demo="$root/build/demo/grid_demo"
if [ ! -x "$demo" ]; then
  source "$root/scripts/env.sh"
  cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$root/build" -j "$JOBS" --target grid_demo
fi
mkdir -p "$out"
unset QT_QPA_PLATFORM
shot() {
  local name="$1"
  shift
  xvfb-run -a -s "-screen 0 1280x800x24" "$demo" --screenshot "$out/$name.png" --after 3 "$@"
  echo "$out/$name.png"
}
shot rows
shot text --edit Name --row 2 --type "Renamed row"
shot char --edit Char --row 3 --type q
shot hex --edit "Long hex" --row 4
shot double --edit Double --row 5 --type "1,5"
shot duration --edit Duration --row 6
shot list --edit Priority --row 7 --open-list
