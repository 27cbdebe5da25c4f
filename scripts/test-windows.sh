#!/usr/bin/env bash
# Cross-builds the windows preset (config.dll and the test programs) and runs the test suite under Wine, in a
# throw-away Wine prefix below build/windows that is removed at the end. Extra arguments go to ctest.
# Usage: scripts/test-windows.sh [ctest arguments...]
set -euo pipefail
cd "$(dirname "$0")/.."

wine=${NAVCONFIG_WINE:-/usr/lib/wine/wine64}
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)

cmake --preset windows >/dev/null
cmake --build --preset windows

prefix=$(mktemp -d "$PWD/build/windows/wineprefix.XXXXXX")
export WINEPREFIX=$prefix WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko: nothing here needs them, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wineserver" -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
}
trap cleanup EXIT

start=$(date +%s)
# One server for the whole run, kept up between the test programs so that each program starts quickly; then
# the prefix is made once.
"$wineserver" -p
"$wine" wineboot --init >/dev/null 2>&1
ctest --preset windows "$@"
size=$(stat -c %s build/windows/src/api/config.dll)
echo "test-windows: passed in $(( $(date +%s) - start )) s (config.dll: $size bytes)"
