#!/usr/bin/env bash
# Fetchorb.dll's export table holds exactly _Fetchorb@28 and _DllEntryPoint@12,
# and its import library resolves the stdcall names callers link.
set -euo pipefail
dll=$1 implib=$2
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
# The name table follows "[Ordinal/Name Pointer] Table" in objdump -p.
exported=$("$objdump" -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next}
  on && /^[ \t]*\[/ {print $NF; next} on {on=0}' | sort | tr '\n' ' ')
if [[ "$exported" != "_DllEntryPoint@12 _Fetchorb@28 " ]]; then
  echo "unexpected exports of $dll: $exported" >&2
  exit 1
fi
imports=$(${NM:-i686-w64-mingw32-nm} "$implib" | awk '$2 == "T" || $2 == "I" {print $3}' | sort -u | tr '\n' ' ')
for symbol in __imp__Fetchorb@28 __imp__DllEntryPoint@12; do
  [[ " $imports" == *" $symbol "* ]] || { echo "$implib lacks $symbol: $imports" >&2; exit 1; }
done
echo "exports: $exported"
