#!/usr/bin/env bash
# Runs every fuzzer of a build for a while on a copy of its corpus (the corpus in the repo stays as it is).
# Usage: scripts/run-fuzzers.sh BUILD_DIR SECONDS
set -euo pipefail
build=$1
seconds=${2:-15}
here=$(cd "$(dirname "$0")/.." && pwd)
shopt -s nullglob
for fuzzer in "$build"/fuzz/*_fuzzer; do
  name=$(basename "$fuzzer")
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  [ -d "$here/fuzz/corpus/$name" ] && cp -r "$here/fuzz/corpus/$name/." "$work/"
  echo "== $name for ${seconds}s"
  "$fuzzer" -max_total_time="$seconds" -print_final_stats=1 "$work" 2>&1 | tail -n 3
  rm -rf "$work"
done
