#!/usr/bin/env bash
# Builds everything and runs the whole test suite (headless).
#   scripts/test.sh [ctest arguments...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/install-deps.sh
source scripts/env.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRUM_WERROR=ON >/dev/null
cmake --build build -j "$JOBS"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j "$JOBS" "$@"
