#!/usr/bin/env bash
# The shipped DLLs as a linker and a loader see them, read with objdump (no Wine):
#   dll_test.sh BITS FETCHORB_DLL IMPORT_LIBRARY [OTHER_DLL]...
# - Fetchorb.dll exports exactly its two entry points (32-bit: the stdcall names
#   _Fetchorb@28 and _DllEntryPoint@12; 64-bit: Fetchorb and DllEntryPoint), and
#   the import library resolves the names callers link;
# - 32-bit: both entry points clean their arguments off the stack themselves
#   (stdcall: ret $0x1c and ret $0xc), and the export table points at them;
# - every DLL imports only from the system DLLs below, and nothing that Windows XP
#   lacks (the Vista-only functions a runtime or a registry helper pulls in).
set -euo pipefail
bits=$1 dll=$2 implib=$3
shift 3
if [[ $bits == 64 ]]; then
  tool=x86_64-w64-mingw32 expected="DllEntryPoint Fetchorb " imp=(__imp_Fetchorb __imp_DllEntryPoint)
else
  tool=i686-w64-mingw32 expected="_DllEntryPoint@12 _Fetchorb@28 "
  imp=(__imp__Fetchorb@28 __imp__DllEntryPoint@12)
fi
objdump=${OBJDUMP:-$tool-objdump} nm=${NM:-$tool-nm}
failed=0
fail() { echo "FAIL: $*" >&2; failed=1; }

headers=$("$objdump" -p "$dll")
# The name table follows "[Ordinal/Name Pointer] Table" in objdump -p.
exported=$(echo "$headers" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next}
  on && /^[ \t]*\[/ {print $NF; next} on {on=0}' | sort | tr '\n' ' ')
[[ "$exported" == "$expected" ]] || fail "exports of $dll: $exported (expected $expected)"
symbols=$("$nm" "$implib" | awk '$2 == "T" || $2 == "I" {print $3}' | sort -u | tr '\n' ' ')
for symbol in "${imp[@]}"; do
  [[ " $symbols" == *" $symbol "* ]] || fail "$implib lacks $symbol"
done
echo "exports: $exported"

# stdcall: the callee pops its arguments, 7 and 3 four-byte ones. Every return of
# the function must say so, and the export must be that function.
if [[ $bits == 32 ]]; then
  base=$(echo "$headers" | awk '$1 == "ImageBase" {print $2}')
  for entry in _Fetchorb@28:0x1c _DllEntryPoint@12:0xc; do
    name=${entry%%:*} pop=${entry#*:}
    code=$("$objdump" -d --disassemble="$name" "$dll")
    start=$(echo "$code" | sed -n "s/^\([0-9a-f]*\) <$name>:\$/\1/p")
    rets=$(echo "$code" | grep -E '\sret' | awk -F'\t' '{print $NF}' | tr -s ' ' | sort -u)
    [[ -n $start ]] || { fail "$dll has no symbol $name to disassemble"; continue; }
    [[ "$rets" == "ret \$$pop" ]] || fail "$name returns with '$rets', not 'ret \$$pop'"
    index=$(echo "$exported" | tr ' ' '\n' | grep -nx "$name" | cut -d: -f1)
    rva=$(echo "$headers" | awk -v i="$((index - 1))" '
      /^Export Address Table -- / {on=1; next}
      on && $1 == "[" && $2 == i "]" {print $5; on=0}')
    [[ $((16#$base + 16#$rva)) == $((16#$start)) ]] ||
      fail "the export $name (RVA $rva) is not the function at $start"
    echo "stdcall: $name returns with ret \$$pop"
  done
else
  echo "stdcall: none on x64 (one calling convention)"
fi

# Imports: system DLLs of every Windows since XP, and none of Vista's functions.
allowed='^(advapi32|kernel32|user32|wsock32|msvcrt)\.dll$'
newer='^(GetTickCount64|RegDeleteTree[AW]|RegGetValue[AW]|(Initialize|Sleep|Wake|WakeAll)ConditionVariable.*|.*SRWLock.*|InitOnce.*|Fls(Alloc|Free|GetValue|SetValue)|GetSystemTimePreciseAsFileTime|GetLocaleInfoEx|LocaleNameToLCID|LCIDToLocaleName|CreateSymbolicLink[AW]|GetFinalPathNameByHandle[AW]|QueryFullProcessImageName[AW]|inet_pton|inet_ntop)$'
for file in "$dll" "$@"; do
  imports=$("$objdump" -p "$file" | awk '/^\tDLL Name:/ {dll=$3; next}
    dll && /^\t[0-9a-f]+\t *[0-9]+ +[A-Za-z_]/ {print dll, $3} /^$/ {dll=""}')
  dlls=$(echo "$imports" | awk '{print $1}' | sort -u | tr '\n' ' ')
  for d in $dlls; do
    [[ ${d,,} =~ $allowed ]] || fail "$(basename "$file") imports from $d"
  done
  while read -r d function; do
    [[ -n $function && $function =~ $newer ]] &&
      fail "$(basename "$file") imports $function from $d, which Windows XP lacks"
  done <<<"$imports"
  echo "imports of $(basename "$file"): $dlls($(echo "$imports" | grep -c .) functions)"
done
exit "$failed"
