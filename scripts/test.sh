#!/usr/bin/env bash
# Builds everything and runs every test.  Usage: scripts/test.sh [preset]
# The preset is default, asan or tsan (default: default).
#
# Before the suite, the fuzzers (a clang build of their own) run over their
# committed corpora: the RTF reader and the message formatter share
# OX_FUZZ_SECONDS seconds (default 60; 0 skips them), three quarters and one
# quarter, and the time module's two fuzzers (zone readers, Format pictures)
# a quarter of that each.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
fuzz_seconds=${OX_FUZZ_SECONDS:-60}

scripts/deps.sh

if [[ "$fuzz_seconds" != 0 ]]; then
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUILL_FUZZ=ON -DOX_FUZZ=ON \
    -DOX_BUILD_TESTS=OFF -DOX_BUILD_BENCH=OFF >/dev/null
  cmake --build build/fuzz --target rtf_reader_fuzzer message_formatter_fuzzer
  formatter_seconds=$(( fuzz_seconds / 4 > 0 ? fuzz_seconds / 4 : 1 ))
  rtf_seconds=$(( fuzz_seconds - formatter_seconds > 0 ? fuzz_seconds - formatter_seconds : 1 ))
  # New inputs the runs find go to scratch folders, never into the repository.
  mkdir -p build/fuzz/corpus build/fuzz/corpus-formatter
  build/fuzz/questionnaire/src/rtf/fuzz/rtf_reader_fuzzer -max_total_time="$rtf_seconds" \
    -print_final_stats=1 -dict=questionnaire/fuzz/rtf.dict \
    build/fuzz/corpus questionnaire/fuzz/corpus/rtf 2>&1 | tail -n 15
  build/fuzz/oxlib/fuzz/message_formatter_fuzzer -max_total_time="$formatter_seconds" \
    -print_final_stats=1 -dict=oxlib/fuzz/formatter.dict \
    build/fuzz/corpus-formatter oxlib/fuzz/corpus/formatter 2>&1 | tail -n 6
  cmake --build build/fuzz --target otimezone_fuzzer otimeformat_fuzzer
  for target in otimezone otimeformat; do
    corpus=${target#otime}
    mkdir -p "build/fuzz/corpus-$corpus"
    build/fuzz/oxlib/fuzz/${target}_fuzzer -max_total_time=$(( (fuzz_seconds + 3) / 4 )) \
      -print_final_stats=1 "build/fuzz/corpus-$corpus" "oxlib/fuzz/corpus/$corpus" 2>&1 | tail -n 5
  done
fi

cmake --preset "$preset" ${OX_CMAKE_ARGS:-}
cmake --build --preset "$preset"
# GUI tests run on Qt's offscreen platform; nothing needs a display.
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j"$(nproc)"
