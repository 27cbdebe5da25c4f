#!/usr/bin/env bash
# The tour of navconfig: the command-line tool at work on the example installation under examples/ (a
# configuration folder with a product.cfg, and a data root with map data for the region NA), copied to a
# scratch folder so that the repository stays clean. Every step checks what it shows, so the tour fails when
# the library or the tool stop behaving as shown.
# Usage: scripts/demo.sh [BUILD_DIR]   (`make demo` builds first; BUILD_DIR defaults to build/release)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/release}
case $build in /*) ;; *) build=$repo/$build ;; esac
tool=$build/tools/navconfig
if [ ! -x "$tool" ]; then
  echo "demo: $tool is missing; build it first (make demo does)" >&2
  exit 1
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/navconfig-demo.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
cp -R "$repo/examples/installation/." "$scratch/"
cp "$repo/examples/flawed.cfg" "$scratch/"
# The library looks for map data below its writeable root, which at a first start is the current directory.
cd "$scratch/data"

out=""
rc=0
bold="" plain=""
if [ -t 1 ]; then bold=$'\033[1m' plain=$'\033[0m'; fi
step() { printf '\n%s== %s%s\n' "$bold" "$*" "$plain"; }
# Shows a command line as one would type it.
show() {
  local line="\$" arg
  for arg in "$@"; do
    case $arg in
      *[!A-Za-z0-9_./=-]*) line+=" '$arg'" ;;
      *) line+=" $arg" ;;
    esac
  done
  printf '%s\n' "$line"
}
# Runs the tool as "navconfig" on the example's configuration folder; keeps its output and exit code.
navconfig() {
  show navconfig "$@"
  set +e
  out=$("$tool" --config-dir "$scratch/config" "$@" 2>&1)
  rc=$?
  set -e
  printf '%s\n' "$out"
  [ "$rc" -eq 0 ] || printf '(exit code %d)\n' "$rc"
}
# expect CODE TEXT: the last command exited with CODE and printed TEXT.
expect() {
  if [ "$rc" -ne "$1" ] || ! grep -qF -- "$2" <<<"$out"; then
    echo "demo: expected exit code $1 and the text '$2'" >&2
    exit 1
  fi
}

echo "The example installation is copied to $scratch:"
echo "  config/product.cfg    the product's settings"
echo "  data/NA/...           map data for one region (grid files, cities, polygons, version.dat)"
echo "navconfig below is $tool --config-dir $scratch/config,"
echo "run in $scratch/data."

step "First start: the library finds the map data and records the directories"
navconfig status
expect 0 "DATA_FOUND_NORMAL"
navconfig dirs
expect 0 "./NA/data"
navconfig mapsets .
expect 0 "./NA/data/map0.chx"

step "A setting read from its built-in default"
navconfig get Image KeepPercent --origin
expect 0 "50  (default)"

step "The same setting changed (its names spelt as the catalogue spells them), and where it now comes from"
navconfig set image keeppercent 70
expect 0 "Image\\KeepPercent = 70"
navconfig get Image KeepPercent --origin
expect 0 "70  (user)"
navconfig set Image KeepPercent abc
expect 2 "navconfig: error: Image\\KeepPercent is an integer setting; 'abc' is not a number"
navconfig get Styles Theme --origin
expect 0 "night  (product)"

step "The user.cfg that resulted"
show cat ../config/user.cfg
cat ../config/user.cfg
grep -qx '"KeepPercent"=70' ../config/user.cfg

step "Several changes as one: the user layer exported, a bundle tried without writing, a section reset"
navconfig export
expect 0 '"KeepPercent"=70'
printf '[Image]\n"KeepPercent"=65\n"AllowSquish"=1\n' >../bundle.cfg
show cat ../bundle.cfg
cat ../bundle.cfg
navconfig import --dry-run ../bundle.cfg
expect 0 "~ Image\\KeepPercent = 70 -> 65"
navconfig reset Image
expect 0 "Image\\KeepPercent = 50  (default)"
navconfig get Styles Theme --all
expect 0 "* product  night"

step "A check of a deliberately flawed .cfg file"
navconfig check ../flawed.cfg
expect 1 "did you mean Image\\KeepPercent?"

step "The version string of the data, taken apart"
navconfig version-string GRD_ORO.NA-US-1.2024.2 8.0 3
expect 0 "Valid:"

printf '\ndemo: every step behaved as shown\n'
