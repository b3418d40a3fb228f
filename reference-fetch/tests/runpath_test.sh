#!/usr/bin/env bash
# The built library and programs carry no empty search path entry: the loader
# reads an empty one as the current folder, so a library looked up by bare name
# would be searched for wherever the program was started.
set -euo pipefail
status=0
for file in "$@"; do
  while IFS= read -r line; do
    path=$(sed 's/.*\[\(.*\)\]$/\1/' <<<"$line")
    echo "$file: [$path]"
    if [[ ":$path:" == *"::"* ]]; then
      echo "$file: search path with an empty entry: [$path]" >&2
      status=1
    fi
  done < <(readelf -d "$file" | grep -E '\((RUNPATH|RPATH)\)' || true)
done
exit $status
