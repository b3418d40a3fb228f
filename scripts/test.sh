#!/usr/bin/env bash
# Builds everything and runs every test.  Usage: scripts/test.sh [preset]
# The preset is default, asan or tsan (default: default).
#
# Before the suite, the RTF reader's fuzzer (a clang build of its own) runs for
# OX_FUZZ_SECONDS seconds (default 60; 0 skips it) over the committed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
fuzz_seconds=${OX_FUZZ_SECONDS:-60}

scripts/deps.sh

if [[ "$fuzz_seconds" != 0 ]]; then
  cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DQUILL_FUZZ=ON \
    -DOX_BUILD_TESTS=OFF -DOX_BUILD_BENCH=OFF >/dev/null
  cmake --build build/fuzz --target rtf_reader_fuzzer
  # New inputs the run finds go to a scratch folder and a crashing input to
  # build/fuzz/crashes/, never into the repository. The whole output is kept; a
  # passing run shows only its totals, a failing one all of it.
  mkdir -p build/fuzz/corpus build/fuzz/crashes
  fuzz_log=build/fuzz/fuzz.log
  # Without llvm-symbolizer (package llvm), binutils' addr2line names the frames.
  if ! ASAN_OPTIONS=${ASAN_OPTIONS:-allow_addr2line=1} \
      build/fuzz/questionnaire/src/rtf/fuzz/rtf_reader_fuzzer -max_total_time="$fuzz_seconds" \
      -print_final_stats=1 -dict=questionnaire/fuzz/rtf.dict \
      -artifact_prefix="$PWD/build/fuzz/crashes/" \
      build/fuzz/corpus questionnaire/fuzz/corpus/rtf >"$fuzz_log" 2>&1; then
    cat "$fuzz_log"
    echo "fuzz: the RTF reader failed; the input that did it is in build/fuzz/crashes/," \
      "the whole output in $fuzz_log" >&2
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb|stat::new_units_added)' \
    "$fuzz_log" || true
fi

cmake --preset "$preset" ${OX_CMAKE_ARGS:-}
cmake --build --preset "$preset"
# GUI tests run on Qt's offscreen platform; nothing needs a display.
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j"$(nproc)"
