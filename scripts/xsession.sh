# Sourced by the scripts that drive a program by hand on a virtual X server
# (the *-velmora scripts and drag-demo). Expects `root`
# (the checkout) and `name` (the script's name, for its messages).

# Exits 0 with a message where one of the tools is missing, so CI may run the
# scripts everywhere.
require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null; then
      echo "$name: $tool is not installed; skipped"
      exit 0
    fi
  done
}

# Builds TARGET when BINARY is not there yet.
build_if_missing() { # target binary
  if [ ! -x "$2" ]; then
    source "$root/scripts/env.sh"
    cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$root/build" -j "$JOBS" --target "$1"
  fi
}

# Starts Xvfb on a free display (its pid in `xvfb`, for the caller's clean-up)
# and points the programs started next at it.
start_xvfb() {
  local display=99
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do display=$((display + 1)); done
  export DISPLAY=":$display"
  Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  if ! xdotool getdisplaygeometry >/dev/null 2>&1; then
    echo "$name: no X server could be started; skipped"
    exit 0
  fi
  unset QT_QPA_PLATFORM
}

# A scratch tree (`tree`) and its log (`log`) for the run, removed on exit
# together with the program (`app`), the X server and the paths named by the
# given suffixes of the tree's own path (".ini" removes "$tree.ini").
make_scratch_tree() { # [SUFFIX...]
  tree="$(mktemp -d "/tmp/$name-XXXXXX")"
  log="$tree.log"
  scratch_suffixes=("$@")
  trap session_cleanup EXIT
}
session_cleanup() {
  [ -n "${app:-}" ] && kill "$app" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null || true
  local suffix
  for suffix in "${scratch_suffixes[@]}"; do rm -rf "$tree$suffix"; done
  rm -rf "$tree" "$log"
}
# A file of SIZE bytes under the tree: zeros, or what `fill` names.
make_file() { mkdir -p "$(dirname "$tree/$1")"; head -c "$2" "${fill:-/dev/zero}" >"$tree/$1"; }
