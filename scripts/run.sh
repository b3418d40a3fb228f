#!/usr/bin/env bash
# Builds the project and starts the main job.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset default
cmake --build --preset default
exec build/default/questionnaire/quillmark
