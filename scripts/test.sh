#!/usr/bin/env bash
# Builds everything and runs every test.  Usage: scripts/test.sh [preset]
# The preset is default, asan or tsan (default: default).
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

scripts/deps.sh
cmake --preset "$preset" ${OX_CMAKE_ARGS:-}
cmake --build --preset "$preset"
# GUI tests run on Qt's offscreen platform; nothing needs a display.
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j"$(nproc)"
