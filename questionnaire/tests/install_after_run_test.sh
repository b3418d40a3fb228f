#!/usr/bin/env bash
# The whole install after scripts/run.sh alone: every file that `cmake --install` copies
# from the build tree is made by TARGET (the one run.sh builds), as ninja's graph says,
# so an install after run.sh never meets a file that only a full build makes.
#   install_after_run_test.sh BUILD_DIR TARGET [NINJA]
set -euo pipefail
build=$1
target=$2
ninja=${3:-ninja}
cd "$build"
here=$(pwd -P)

# The build-tree files the install scripts name; those written when the build is
# configured (the package files) are no build step's output and are there already.
mapfile -t copied < <(find . -name cmake_install.cmake -exec grep -ho "\"$here/[^\"]*\"" {} + |
  tr -d '"' | sed "s|^$here/||" | sort -u)
# A file is made by TARGET when every command that builds it is one TARGET runs.
"$ninja" -t commands "$target" | sort -u >"$here/install_after_run.commands"
trap 'rm -f "$here/install_after_run.commands"' EXIT
checked=0 missing=()
for path in "${copied[@]}"; do
  commands=$("$ninja" -t commands "$path" 2>/dev/null) || continue
  [[ -n "$commands" ]] || continue
  checked=$((checked + 1))
  [[ -z $(comm -23 <(sort -u <<<"$commands") "$here/install_after_run.commands") ]] ||
    missing+=("$path")
done
((checked > 0)) || { echo "FAIL: the install scripts name no built file"; exit 1; }
if ((${#missing[@]})); then
  echo "FAIL: installing needs files that $target does not build: ${missing[*]}"
  exit 1
fi
echo "install after run: ok ($checked built files installed, all made by $target)"
