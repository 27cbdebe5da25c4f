#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator through which CTest starts the test programs of the
# windows build. WINEPREFIX must name the throw-away prefix that scripts/test-windows.sh made.
# Usage: wine-run.sh PROGRAM.exe [ARGS...]
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run.sh: WINEPREFIX is not set; run the Windows tests with 'make test-windows'" >&2
  exit 2
fi
export WINEDEBUG=-all
exec "${NAVCONFIG_WINE:-/usr/lib/wine/wine64}" "$@"
