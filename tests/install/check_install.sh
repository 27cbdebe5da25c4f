#!/usr/bin/env bash
# Installs the build into a scratch prefix and builds programs against it, as another project would:
# with pkg-config (C++ and C) and with CMake's find_package. Each program then runs on a scratch
# configuration folder, and so does the installed tool. On Debian the library folder is the multiarch one
# (lib/x86_64-linux-gnu), and the tree is checked in that layout. Usage: check_install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

libdir=$(sed -n 's/^CMAKE_INSTALL_LIBDIR:[A-Z]*=//p' "$build/CMakeCache.txt")
if [ -f /etc/debian_version ] && [[ $libdir != lib/*-* ]]; then
  echo "the library folder is '$libdir', not Debian's multiarch folder"
  exit 1
fi
lib=$prefix/$libdir
test -e "$lib/libnavconfig.so" && test -e "$lib/libnavconfig.so.1"
test -f "$prefix/include/config/config.h" && test -f "$prefix/include/doroutil/orostring.h"
test -f "$lib/pkgconfig/navconfig.pc" && test -f "$lib/cmake/navconfig/navconfig-config.cmake"

# The .pc file names the folders of this tree, wherever it lies, and the library's private dependency.
export PKG_CONFIG_PATH=$lib/pkgconfig
[ "$(cd "$(pkg-config --variable=libdir navconfig)" && pwd -P)" = "$(cd "$lib" && pwd -P)" ]
[ "$(cd "$(pkg-config --variable=includedir navconfig)" && pwd -P)" = "$(cd "$prefix/include" && pwd -P)" ]
[ "$(pkg-config --print-requires-private navconfig)" = libsodium ]
flags=$(pkg-config --cflags navconfig)
libs=$(pkg-config --libs navconfig)
c++ -std=c++20 $flags "$src/tests/install/consumer.cpp" $libs -Wl,-rpath,"$lib" -o "$work/consumer_pc"
cc -std=c11 -Wall -Wextra -Wpedantic -Werror $flags "$src/tests/install/consumer.c" $libs -Wl,-rpath,"$lib" \
  -o "$work/consumer_c"
cmake -S "$src/tests/install" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
grep -q -- '-std=c++17' "$work/cmake-build/build.ninja" || { echo "the CMake target does not ask for C++17"; exit 1; }

for program in "$work/consumer_pc" "$work/consumer_c" "$work/cmake-build/consumer_cmake"; do
  cfg=$(mktemp -d "$work/cfg.XXXXXX")
  NAVCONFIG_CONFIG_DIR=$cfg NAVCONFIG_RUNTIME_DIR=$cfg NAVCONFIG_HOME=$cfg/home "$program"
  grep -q '^\[Image\]' "$cfg/user.cfg"
done
# The installed tool finds the installed library.
cfg=$(mktemp -d "$work/cfg.XXXXXX")
[ "$(NAVCONFIG_HOME=$cfg/home "$prefix/bin/navconfig" --config-dir "$cfg" --runtime-dir "$cfg" get Image KeepPercent)" = 50 ]
echo "installed tree in $libdir: pkg-config, C and CMake consumers built and ran, and the tool"
