#!/usr/bin/env bash
# Builds Velmora and starts it. Arguments go to velmora (for example folders
# to show instead of the disks). Without a display it runs offscreen, saves a
# screenshot to velmora.png (after the walk, or 60 seconds) and says where.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/install-deps.sh
source scripts/env.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$JOBS" --target velmora
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/app/velmora "$@"
fi
echo "No display: running offscreen and saving a screenshot to $root/velmora.png"
build/app/velmora --screenshot "$root/velmora.png" --after 60 "$@"
echo "Saved $root/velmora.png"
