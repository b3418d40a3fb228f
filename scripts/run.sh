#!/usr/bin/env bash
# Builds the program and starts it on the shipped database.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake --preset default
# Only the program and what lies beside it (0002.mdb, the report definition); the
# tests and benchmarks are scripts/test.sh's business.
cmake --build --preset default --target quillmark
exec build/default/questionnaire/quillmark
