#!/usr/bin/env bash
# The shared library exports exactly Fetchorb and DllEntryPoint.
set -euo pipefail
lib=$1
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sed 's/@.*//' | sort | tr '\n' ' ')
if [[ "$exported" != "DllEntryPoint Fetchorb " ]]; then
  echo "unexpected exports of $lib: $exported" >&2
  exit 1
fi
echo "exports: $exported"
