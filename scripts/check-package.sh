#!/usr/bin/env bash
# CI: builds the package (scripts/package.sh), installs the libraries into a
# scratch prefix and builds and runs examples/consumer against it, checks
# every installed header compiles on its own terms, validates the desktop
# entry, the metainfo and the man page against --help, runs lintian on the
# .deb, unpacks it with dpkg into an empty root and starts velmora from there.
#   scripts/check-package.sh [screenshot.png]   (the picture needs Xvfb)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
deb=$(scripts/package.sh | tail -n 1)
source scripts/env.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

echo "-- install into a scratch prefix"
cmake --install build-package --prefix "$scratch/prefix" >/dev/null
prefix="$scratch/prefix"
libdir=$(dirname "$(find "$prefix" -name libkestrum_gui.so | head -n 1)")
if find "$prefix/include" \( -name '*Impl*' -o -name detail \) | grep .; then
  echo "private headers were installed"; exit 1
fi
echo "-- every installed header compiles for a consumer"
mkdir -p "$scratch/headers"
{
  echo 'cmake_minimum_required(VERSION 3.25)'
  echo 'project(Headers LANGUAGES CXX)'
  echo 'set(CMAKE_CXX_STANDARD 20)'
  echo 'find_package(Kestrum 0.1 REQUIRED COMPONENTS Common GridCore GUI)'
  echo 'add_library(headers OBJECT all.cpp)'
  echo 'target_compile_options(headers PRIVATE -Wall -Wextra -Werror)'
  echo 'target_link_libraries(headers PRIVATE Kestrum::GUI)'
} >"$scratch/headers/CMakeLists.txt"
(cd "$prefix/include/kestrum" && find . -name '*.h' | sort | sed 's|^\./\(.*\)|#include "\1"|') >"$scratch/headers/all.cpp"
cmake -S "$scratch/headers" -B "$scratch/headers/build" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/headers/build" >/dev/null
echo "   $(wc -l <"$scratch/headers/all.cpp") headers"

echo "-- examples/consumer against the scratch prefix"
cmake -S examples/consumer -B "$scratch/consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/consumer" >/dev/null
LD_LIBRARY_PATH="$libdir" QT_QPA_PLATFORM=offscreen "$scratch/consumer/kestrum_consumer"
# Sanity of the ABI surface: the grid's private implementation is not exported.
if nm -DC --defined-only "$libdir"/libkestrum_gui.so | grep -q 'CGridImpl::'; then
  echo "libkestrum_gui exports CGridImpl"; exit 1
fi
echo "   libkestrum_gui exports $(nm -D --defined-only "$libdir"/libkestrum_gui.so | wc -l) symbols"

echo "-- desktop entry, metainfo, man page"
desktop-file-validate "$prefix/share/applications/velmora.desktop"
# Velmora opens no folder for others: registered for folders, "Open" on a
# folder (its own row menu's too) would start another Velmora.
if grep -q '^MimeType=.*inode/directory' "$prefix/share/applications/velmora.desktop"; then
  echo "velmora.desktop registers Velmora for inode/directory"; exit 1
fi
appstreamcli validate --no-net --explain "$prefix/share/metainfo/org.kestrum.Velmora.metainfo.xml"
help_options=$(build-package/app/velmora --help | grep -oE '^  -[-a-z]+' | tr -d ' ' | sort -u)
man_options=$(zcat "$prefix/share/man/man1/velmora.1.gz" | grep -E '^\.(B|BI|BR) ' | grep -oE '^\.[A-Z]+ \\-[-\\a-z]+' \
              | sed 's/^\.[A-Z]* //; s/\\//g' | sort -u)
if [ "$help_options" != "$man_options" ]; then
  echo "velmora(1) and --help list different options:"; diff <(echo "$help_options") <(echo "$man_options") || true; exit 1
fi

echo "-- lintian $(basename "$deb")"
lintian --fail-on error --suppress-tags no-manual-page "$deb" || { echo "lintian reports errors"; exit 1; }
dpkg-deb -f "$deb" Package Version Depends

echo "-- dpkg -i into an empty root"
dpkg_root="$scratch/root"
mkdir -p "$dpkg_root/var/lib/dpkg/info" "$dpkg_root/var/lib/dpkg/updates"
touch "$dpkg_root/var/lib/dpkg/status"
# The root is empty, so the dependencies (libc, Qt) come from this system.
dpkg --root="$dpkg_root" --force-depends --force-not-root --force-script-chrootless -i "$deb" \
  >"$scratch/dpkg.log" 2>&1 || { cat "$scratch/dpkg.log"; exit 1; }
echo "   $(dpkg --root="$dpkg_root" -L velmora | wc -l) paths installed"
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
export LD_LIBRARY_PATH="$dpkg_root/usr/lib/$multiarch"
if LD_LIBRARY_PATH="$LD_LIBRARY_PATH" ldd "$dpkg_root/usr/bin/velmora" | grep kestrum | grep -v "$dpkg_root"; then
  echo "velmora does not take the packaged libraries"; exit 1
fi
"$dpkg_root/usr/bin/velmora" --version
if [ $# -ge 1 ]; then
  xvfb-run -a -s "-screen 0 1280x800x24" "$dpkg_root/usr/bin/velmora" --expand 1 --screenshot "$1" --after 10 "$root"
  echo "   screenshot: $1"
fi
echo "-- package checks passed"
