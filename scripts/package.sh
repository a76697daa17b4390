#!/usr/bin/env bash
# Builds Velmora's Debian package: the libraries shared, installed under /usr.
#   scripts/package.sh            -> build-package/velmora_<version>_<arch>.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/install-deps.sh
source scripts/env.sh
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUM_WERROR=ON -DKESTRUM_SHARED=ON \
      -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build build-package -j "$JOBS"
rm -f build-package/velmora_*.deb
(cd build-package && cpack -G DEB >/dev/null)
ls "$root"/build-package/velmora_*.deb
