#!/usr/bin/env bash
# The Windows build's installed tree, as another Windows project sees it: config.dll and its import library,
# the headers, the pkg-config file and the CMake package. Programs are cross-built against it (C++ and C by
# hand, and with CMake's find_package) and run through the emulator (Wine), each in a scratch folder beside
# its own copy of config.dll: the library's configuration directory is the folder of config.dll, so user.cfg
# must appear there.
# Usage: check_install_windows.sh BUILD_DIR SOURCE_DIR EMULATOR CXX CC TOOLCHAIN_FILE
set -euo pipefail
build=$1
src=$2
emulator=$3
cxx=$4
cc=$5
toolchain=$6
work=$(mktemp -d "$build/install-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

test -f "$prefix/bin/config.dll" && test -f "$prefix/lib/libconfig.dll.a"
test -f "$prefix/include/config/config.h" && test -f "$prefix/include/doroutil/orostring.h"
test -f "$prefix/lib/cmake/navconfig/navconfig-config.cmake"
grep -q -- '-lconfig$' "$prefix/lib/pkgconfig/navconfig.pc"

# Only config.dll and the system's DLLs: the compiler's run-time libraries are linked in.
imports=$(x86_64-w64-mingw32-objdump -p "$prefix/bin/config.dll" | sed -n 's/^[[:space:]]*DLL Name: //p' |
          tr 'A-Z' 'a-z' | sort)
for dll in $imports; do
  case "$dll" in
    advapi32.dll|bcrypt.dll|crypt32.dll|kernel32.dll|msvcrt.dll|ucrtbase.dll|api-ms-win-*) ;;
    *) echo "config.dll needs $dll"; exit 1 ;;
  esac
done

# config.dll through its import library; everything else static, as in the build.
link=(-L"$prefix/lib" -static -Wl,-Bdynamic -lconfig -Wl,-Bstatic)
"$cxx" -std=c++20 -I"$prefix/include" "$src/tests/install/consumer.cpp" "${link[@]}" -o "$work/consumer_cpp.exe"
"$cc" -std=c11 -Wall -Wextra -Wpedantic -Werror -I"$prefix/include" "$src/tests/install/consumer.c" "${link[@]}" \
  -o "$work/consumer_c.exe"
cmake -S "$src/tests/install" -B "$work/cmake-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -Dnavconfig_DIR="$prefix/lib/cmake/navconfig" -DCMAKE_EXE_LINKER_FLAGS=-static >/dev/null
cmake --build "$work/cmake-build" >/dev/null

for program in "$work/consumer_cpp.exe" "$work/consumer_c.exe" "$work/cmake-build/consumer_cmake.exe"; do
  run=$(mktemp -d "$work/run.XXXXXX")
  cp "$program" "$prefix/bin/config.dll" "$run/"
  (cd "$run" && "$emulator" "./$(basename "$program")")
  grep -q '^\[Image\]' "$run/user.cfg"
done
echo "installed tree: C++, C and CMake consumers built against config.dll and ran beside it"
