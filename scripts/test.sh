#!/usr/bin/env bash
# Builds everything and runs every test.  Usage: scripts/test.sh [preset]
# The preset is default, asan, tsan, mingw32 or mingw64. With none named, the Linux
# suite (default) runs and then the Windows one (the 32-bit DLL and its tests under
# Wine, or the 64-bit build's where this host runs no 32-bit programs; see below);
# OX_TEST_WINDOWS=0 leaves the Windows one out, `scripts/test.sh mingw32` runs only
# the Windows one, and `scripts/test.sh mingw64` only the 64-bit one.
#
# Before the suite, the fuzzers (a clang build of their own) run over their committed
# corpora for OX_FUZZ_SECONDS seconds in all (default 60; 0 skips them): the RTF reader
# for half of the time, the message formatter, the time zone readers and the date-time
# pictures for a sixth each.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}
fuzz_seconds=${OX_FUZZ_SECONDS:-60}

scripts/deps.sh

# --- The Windows suite ----------------------------------------------------------
# Cross-built with MinGW-w64; CTest runs the .exe files under Wine in a prefix
# under the build folder (cmake/wine-run.sh), with one wineserver for the run.
# The 32-bit DLL is what we ship, and its suite runs under wine32 where this host
# runs 32-bit programs; cmake/wine-run.sh --probe finds out by starting Wine's
# 32-bit loader. Where it cannot (a kernel without IA-32 emulation, no wine32),
# the 32-bit build is still made and its DLLs checked with objdump, and the same
# suite runs on the 64-bit build (mingw64) under wine64. OX_WINDOWS_SUITE=64 takes
# that path on any host; OX_WINDOWS_SUITE=32 fails where the 32-bit suite cannot run.
windows_suite() {
  local start=$SECONDS why="" suite=32
  case ${OX_WINDOWS_SUITE:-} in
    64) suite=64 why="OX_WINDOWS_SUITE=64 asks for the 64-bit suite" ;;
    32 | "")
      if ! why=$(cmake/wine-run.sh --probe win32); then
        if [[ ${OX_WINDOWS_SUITE:-} == 32 ]]; then
          echo "windows: OX_WINDOWS_SUITE=32, but this host cannot run 32-bit Windows programs: $why" >&2
          exit 1
        fi
        suite=64 why="this host cannot run 32-bit Windows programs: $why"
      fi ;;
    *) echo "windows: OX_WINDOWS_SUITE is 32, 64 or unset, not '$OX_WINDOWS_SUITE'" >&2; exit 1 ;;
  esac
  cmake --preset mingw32 ${OX_CMAKE_ARGS:-}
  cmake --build --preset mingw32
  if [[ $suite == 32 ]]; then
    ctest --preset mingw32 -j"$(nproc)"
    echo "windows: the 32-bit suite ran (mingw32 under wine32) in $((SECONDS - start)) s"
    return
  fi
  echo "windows: no 32-bit suite: $why; checking the 32-bit DLLs with objdump," \
    "and running the suite on the 64-bit build under wine64"
  ctest --test-dir build/mingw32/reference-fetch/tests/win32/dll --output-on-failure
  if ! why=$(cmake/wine-run.sh --probe win64); then
    echo "windows: no 64-bit suite either: $why" >&2
    exit 1
  fi
  cmake --preset mingw64 ${OX_CMAKE_ARGS:-}
  cmake --build --preset mingw64
  ctest --preset mingw64 -j"$(nproc)"
  echo "windows: the 64-bit suite ran (mingw64 under wine64; the 32-bit DLLs checked" \
    "with objdump) in $((SECONDS - start)) s"
}
if [[ "$preset" == mingw32 || "$preset" == mingw64 ]]; then
  [[ "$preset" == mingw64 ]] && export OX_WINDOWS_SUITE=64
  windows_suite
  exit 0
fi
# --- end of the Windows suite ---------------------------------------------------

# run_fuzzer NAME BINARY SECONDS CORPUS [DICTIONARY]
# New inputs a run finds go to build/fuzz/corpus-NAME and a crashing input to
# build/fuzz/crashes/, never into the repository. A passing run shows only its totals,
# a failing one its whole output (the stack and the input's path).
run_fuzzer() {
  local name=$1 binary=$2 seconds=$3 corpus=$4 dict=${5:-}
  local scratch=build/fuzz/corpus-$name log=build/fuzz/$name.log
  mkdir -p "$scratch" build/fuzz/crashes
  # Without llvm-symbolizer (package llvm), binutils' addr2line names the frames.
  if ! ASAN_OPTIONS=${ASAN_OPTIONS:-allow_addr2line=1} \
      "$binary" -max_total_time="$seconds" -print_final_stats=1 ${dict:+-dict="$dict"} \
      -artifact_prefix="$PWD/build/fuzz/crashes/$name-" "$scratch" "$corpus" >"$log" 2>&1; then
    cat "$log"
    echo "fuzz: $name failed; the input that did it is in build/fuzz/crashes/," \
      "the whole output in $log" >&2
    exit 1
  fi
  echo "fuzz: $name: $(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}') runs" \
    "in ${seconds} s, nothing found"
}

if [[ "$fuzz_seconds" != 0 ]]; then
  # The fuzz preset: clang, the fuzzers only; OX_CMAKE_ARGS as for the other builds.
  cmake --preset fuzz ${OX_CMAKE_ARGS:-} >/dev/null
  cmake --build --preset fuzz
  sixth=$(( fuzz_seconds / 6 > 0 ? fuzz_seconds / 6 : 1 ))
  half=$(( fuzz_seconds - 3 * sixth > 0 ? fuzz_seconds - 3 * sixth : 1 ))
  run_fuzzer rtf build/fuzz/questionnaire/src/rtf/fuzz/rtf_reader_fuzzer "$half" \
    questionnaire/fuzz/corpus/rtf questionnaire/fuzz/rtf.dict
  run_fuzzer formatter build/fuzz/oxlib/fuzz/message_formatter_fuzzer "$sixth" \
    oxlib/fuzz/corpus/formatter oxlib/fuzz/formatter.dict
  run_fuzzer zone build/fuzz/oxlib/fuzz/otimezone_fuzzer "$sixth" oxlib/fuzz/corpus/zone
  run_fuzzer format build/fuzz/oxlib/fuzz/otimeformat_fuzzer "$sixth" oxlib/fuzz/corpus/format
fi

cmake --preset "$preset" ${OX_CMAKE_ARGS:-}
cmake --build --preset "$preset"
# GUI tests run on Qt's offscreen platform; nothing needs a display.
QT_QPA_PLATFORM=offscreen ctest --preset "$preset" -j"$(nproc)"

# scripts/run.sh when nothing changed (all was built just now): its time before the
# program would start, which should stay under a second.
if [[ "$preset" == default ]]; then
  t0=$EPOCHREALTIME
  out=$(scripts/run.sh --build-only)
  t1=$EPOCHREALTIME
  took=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }')
  if [[ "$out" == *"no work to do"* ]]; then
    echo "run.sh: ${took} s before the program starts when nothing changed (target: under 1 s)"
  else
    echo "run.sh: ${took} s, but it built something, so this was no timing of the no-change path"
  fi
fi

# The Windows suite after the Linux one, unless a preset was named.
if [[ $# -eq 0 && "${OX_TEST_WINDOWS:-1}" != 0 ]]; then
  windows_suite
fi
