#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds programs against it, as another project would:
# with pkg-config (C++ and C) and with CMake's find_package. Each program then runs on a scratch
# configuration folder. Usage: check_install.sh BUILD_DIR SOURCE_DIR LIBDIR (relative to the prefix)
set -euo pipefail
build=$1
src=$2
libdir=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

lib=$prefix/$libdir
test -e "$lib/libnavconfig.so" && test -e "$lib/libnavconfig.so.1"
test -f "$prefix/include/config/config.h" && test -f "$prefix/include/doroutil/orostring.h"
test -f "$lib/pkgconfig/navconfig.pc" && test -f "$lib/cmake/navconfig/navconfig-config.cmake"

export PKG_CONFIG_PATH=$lib/pkgconfig
flags=$(pkg-config --cflags navconfig)
libs=$(pkg-config --libs navconfig)
c++ -std=c++20 $flags "$src/tests/install/consumer.cpp" $libs -Wl,-rpath,"$lib" -o "$work/consumer_pc"
cc -std=c11 -Wall -Wextra -Wpedantic -Werror $flags "$src/tests/install/consumer.c" $libs -Wl,-rpath,"$lib" \
  -o "$work/consumer_c"
cmake -S "$src/tests/install" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null

for program in "$work/consumer_pc" "$work/consumer_c" "$work/cmake-build/consumer_cmake"; do
  cfg=$(mktemp -d "$work/cfg.XXXXXX")
  NAVCONFIG_CONFIG_DIR=$cfg NAVCONFIG_RUNTIME_DIR=$cfg NAVCONFIG_HOME=$cfg/home "$program"
  grep -q '^\[Image\]' "$cfg/user.cfg"
done
echo "installed tree: pkg-config, C and CMake consumers built and ran"
