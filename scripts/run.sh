#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it on the shipped database.
#   scripts/run.sh               build, then start quillmark
#   scripts/run.sh --build-only  build only (scripts/test.sh times this path)
# When nothing changed it starts the program within a second: one dpkg query, no
# configure step (ninja runs cmake again by itself when a CMake file changes), and a
# build that finds everything up to date.
set -euo pipefail
cd "$(dirname "$0")/.."
start=${1:-}

# Qt can only abort without a display, after minutes of building: say so first.
if [[ "$start" != --build-only && -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]]; then
  first=
  command -v xvfb-run >/dev/null 2>&1 || first="scripts/deps.sh (which installs xvfb-run) and then "
  echo "run: quillmark needs a graphical session and there is none (no DISPLAY or WAYLAND_DISPLAY): run this from a desktop login or over ssh -X, or on a virtual screen: ${first}xvfb-run -a scripts/run.sh" >&2
  exit 1
fi

scripts/deps.sh
# Configured once; again only when the presets changed since.
if [[ ! -f build/default/build.ninja || CMakePresets.json -nt build/default/CMakeCache.txt ]]; then
  cmake --preset default
fi
# The program, what lies beside it (0002.mdb, the report definition) and the rest of
# what `cmake --install` copies, so an install works after this too; the tests and
# benchmarks are scripts/test.sh's business.
cmake --build --preset default --target installable
[[ "$start" == --build-only ]] && exit 0
exec build/default/questionnaire/quillmark
