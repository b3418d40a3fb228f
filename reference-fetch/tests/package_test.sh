#!/usr/bin/env bash
# Installs Fetchorb into a scratch prefix, then builds and runs a C client with
# find_package(Fetchorb) and another with pkg-config (which starts without
# LD_LIBRARY_PATH); the message libraries must be installed beside the library, and
# oxreg with the tools.
set -euo pipefail
build=$1
consumer=$2
work=$3
rm -rf "$work"
mkdir -p "$work"
prefix="$work/prefix"

cmake --install "$build" --prefix "$prefix" --component fetchorb >"$work/install.log"
cmake -S "$consumer" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$work/cmake.log"
cmake --build "$work/cmake" >>"$work/cmake.log"
"$work/cmake/consumer"

pcdir=$(dirname "$(find "$prefix" -name fetchorb.pc)")
flags=$(PKG_CONFIG_PATH="$pcdir" pkg-config --cflags --libs fetchorb)
libdir=$(PKG_CONFIG_PATH="$pcdir" pkg-config --variable=libdir fetchorb)
# The flags alone make a program that starts: the library's folder is its run path.
cc -std=c99 -Wall -Wextra -Wpedantic -Werror "$consumer/consumer.c" $flags -o "$work/pc-consumer"
env -u LD_LIBRARY_PATH "$work/pc-consumer"

# The message libraries and pxlogger ship beside the library, oxreg (which configures
# them) with the tools.
for f in "$libdir/libpxlogger.so" "$libdir/stringres_en.so" "$libdir/stringres_de.so" \
  "$prefix/bin/oxreg"; do
  [[ -f "$f" ]] || { echo "package: no $f"; exit 1; }
done
OXLIB_REGISTRY="$work/registry.db" "$prefix/bin/oxreg" add 'HKCU\Software\Package' /v Path \
  /d "$libdir" /f >/dev/null
OXLIB_REGISTRY="$work/registry.db" "$prefix/bin/oxreg" query 'HKCU\Software\Package' |
  grep -qF "$libdir" || { echo "package: the installed oxreg did not keep a value"; exit 1; }
echo "package: ok"
