#!/usr/bin/env bash
# Installs Fetchorb into a scratch prefix, then builds and runs a C client with
# find_package(Fetchorb) and another with pkg-config; the message libraries must
# be installed beside the library.
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
cc -std=c99 -Wall -Wextra -Wpedantic -Werror "$consumer/consumer.c" $flags \
  -Wl,-rpath,"$libdir" -o "$work/pc-consumer"
"$work/pc-consumer"

# The message libraries and pxlogger ship beside the library.
[[ -f "$libdir/libpxlogger.so" ]] || { echo "package: no libpxlogger.so in $libdir"; exit 1; }
for lang in en de; do
  [[ -f "$libdir/stringres_$lang.so" ]] || { echo "package: no stringres_$lang.so in $libdir"; exit 1; }
done
echo "package: ok"
