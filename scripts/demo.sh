#!/usr/bin/env bash
# Shows what the build produced (the command-line tool's tour replaces this once the tool exists).
set -euo pipefail
build=${1:-build/release}
echo "navconfig build in $build:"
ls -l "$build"/src/config/libnavconfig.so* 2>/dev/null
