#!/bin/sh
# Makes Wine run the named programs as a 9x Windows (Windows 98): their
# per-program Windows version in the prefix.
#
#   wine9x.sh WINE-RUN PREFIX PROGRAM.exe...
run=$1
prefix=$2
shift 2
for program in "$@"; do
  "$run" "$prefix" reg add "HKCU\\Software\\Wine\\AppDefaults\\$program" /v Version /d win98 /f \
    >/dev/null || { echo "wine9x.sh: could not set the Windows version of $program" >&2; exit 1; }
done
