#!/usr/bin/env bash
# Velmora as a screen reader meets it: starts Velmora on a small tree on a
# virtual X server, with a session bus and the AT-SPI accessibility bus, and
# reads it through AT-SPI (scripts/atspi_velmora.py): the window's title, the
# grid's rows, names, sizes and expanded states, objects without a name, and
# the focus event that Down sends. Exits 0 without doing anything where
# Xvfb, xdotool, dbus-run-session, the AT-SPI bus (at-spi2-core) or pyatspi
# (python3-pyatspi) is missing, so CI may run it everywhere.
#   scripts/atspi-velmora.sh
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
name=atspi-velmora
source "$root/scripts/xsession.sh"
require_tools Xvfb xdotool dbus-run-session
if [ ! -x /usr/libexec/at-spi-bus-launcher ]; then
  echo "$name: at-spi2-core is not installed; skipped"
  exit 0
fi
# Debian's module, for the system's Python (not one a version manager put first).
python=/usr/bin/python3
if ! "$python" -c 'import pyatspi' 2>/dev/null; then
  echo "$name: python3-pyatspi is not installed; skipped"
  exit 0
fi
velmora="$root/build/app/velmora"
build_if_missing velmora "$velmora"

make_scratch_tree .home
make_file alpha/notes.txt 1000
make_file bravo/disk.img 90000
make_file charlie/inner/photo.jpg 20000
make_file zulu.txt 5000

start_xvfb
# A profile of its own, so the run neither reads nor writes the user's.
mkdir -p "$tree.home"
export HOME="$tree.home" XDG_CONFIG_HOME="$tree.home/.config"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_ACCESSIBILITY=1 NO_AT_BRIDGE=0
dbus-run-session -- bash -c '
  "$1" "$2" >"$3/velmora.log" 2>&1 &
  app=$!
  status=0
  "$4" "$5" "$(basename "$2")" || status=$?
  kill "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
  exit "$status"
' _ "$velmora" "$tree" "$tree.home" "$python" "$root/scripts/atspi_velmora.py"
