#!/usr/bin/env bash
# Scan files against the other tools of the JSON export format (ncdu, gdu):
# the interop tests with the tools required, then ncdu's own browser
# (in tmux) over a Velmora export, its totals line checked against Velmora's.
# Needs a configured build (build/, or BUILD_DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
source scripts/env.sh
cmake --build "$build" -j "$JOBS" --target app_scan_interop_tests velmora >/dev/null

VELMORA_INTEROP_REQUIRED=1 "$build"/tests/app/app_scan_interop_tests

command -v tmux >/dev/null || { echo "tmux is missing"; exit 1; }
work=$(mktemp -d)
trap 'tmux kill-session -t velmora-interop 2>/dev/null || true; rm -rf "$work"' EXIT
mkdir -p "$work/t/a/b"
head -c 5000 /dev/zero >"$work/t/a/f"
ln "$work/t/a/f" "$work/t/a/b/hl"
printf 'x' >"$work/t/q\"uo\\te"
truncate -s 10M "$work/t/sparse"
"$build"/app/velmora --export "$work/scan.json" "$work/t"
# ncdu's browser reads the file; its status line tells the totals: a, b,
# the two links counted once, the odd name and the sparse file are 6 items.
tmux new-session -d -s velmora-interop -x 160 -y 30 "ncdu -f '$work/scan.json'"
for _ in $(seq 50); do
  screen=$(tmux capture-pane -p -t velmora-interop)
  grep -q "Apparent size" <<<"$screen" && break
  sleep 0.1
done
echo "$screen" | tail -n 3
grep -Eq "Apparent size: +10.0 MiB" <<<"$screen" || { echo "ncdu does not show the apparent size of the export"; exit 1; }
grep -Eq "Items: +6( |$)" <<<"$screen" || { echo "ncdu does not count the export's items"; exit 1; }
echo "json-interop: ok"
