#!/usr/bin/env bash
# Scan files measured: `velmora --export` of a big tree beside `ncdu -o` and
# `gdu -o` in the same run (time and peak memory, the cache warm), then the
# import of Velmora's file against the window's warm walk, and the two SAX
# readers over the same file.
#   bench/scan_file_bench.sh [SCALE]   (SCALE 1: about 110,000 entries)
set -euo pipefail
cd "$(dirname "$0")/.."
scale=${1:-1}
build=${BUILD_DIR:-build}
source scripts/env.sh
cmake --build "$build" -j "$JOBS" --target velmora bench_make_tree bench_scan_file >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build"/bench/bench_make_tree "$work/tree" "$scale" >/dev/null
entries=$(find "$work/tree" | wc -l)
echo "tree: $entries entries (scale $scale)"
measure() { # label, command...
  local label=$1
  shift
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
  read -r seconds kib <"$work/time"
  printf "%-28s %7.2f s %8d KiB peak  %6.2f us/entry  %6.0f B/entry\n" "$label" "$seconds" "$kib" \
    "$(echo "$seconds * 1000000 / $entries" | bc -l)" "$(echo "$kib * 1024 / $entries" | bc -l)"
}
"$build"/app/velmora --export "$work/warm.json" "$work/tree" # warms the cache
# The program's own start-up (its libraries, Qt's among them, mapped): the
# memory of an export of an empty folder, to take from the figures above.
mkdir "$work/empty"
for round in 1 2; do
  echo "-- round $round"
  measure "velmora --export" env -u DISPLAY "$build"/app/velmora --export "$work/velmora.json" "$work/tree"
  measure "velmora --export (empty)" env -u DISPLAY "$build"/app/velmora --export "$work/empty.json" "$work/empty"
  command -v ncdu >/dev/null && measure "ncdu -x -o" ncdu -0 -x -o "$work/ncdu.json" "$work/tree"
  command -v gdu >/dev/null && measure "gdu -x -o" gdu -n -p -x -o "$work/gdu.json" "$work/tree"
  measure "walk (window's objects)" "$build"/bench/bench_scan_file walk "$work/tree"
  measure "import velmora.json" "$build"/bench/bench_scan_file import "$work/velmora.json"
  measure "SAX rapidjson (iterative)" "$build"/bench/bench_scan_file sax-rapidjson "$work/velmora.json"
  measure "SAX nlohmann" "$build"/bench/bench_scan_file sax-nlohmann "$work/velmora.json"
done
ls -l "$work"/velmora.json "$work"/ncdu.json "$work"/gdu.json | awk '{print $5, $9}'
