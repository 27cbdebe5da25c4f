#!/usr/bin/env bash
# Installs the Debian packages that `make package` built with dpkg -i on this machine, checks that the library,
# the tool, its manual page and its completion work as installed (a C program and a CMake project built against
# the system's copy, the tool found on PATH and its library through the linker's cache), then removes them with
# dpkg -r and checks that their files are gone. Needs root, and changes the machine's installed packages while
# it runs: meant for a throw-away machine (`make test-package-install`, run by the fresh-machine check).
# Usage: scripts/check-package-install.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build/release}
names=(navconfig libnavconfig-dev libnavconfig1)
fail() { echo "package install: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || { echo "package install: needs root (dpkg -i); skipped"; exit 0; }
installed() { [ "$(dpkg-query -W -f '${db:Status-Status}' "$1" 2>/dev/null)" = installed ]; }
for name in "${names[@]}"; do
  ! installed "$name" || fail "$name is installed already; remove it first (dpkg -r ${names[*]})"
done
debs=("$build"/packages/*.deb)
[ ${#debs[@]} -eq 3 ] || fail "expected the three packages in $build/packages (make package builds them)"

work=$(mktemp -d)
cleanup() {
  for name in "${names[@]}"; do installed "$name" && dpkg -P "$name" >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT

echo "== dpkg -i"
dpkg -i "${debs[@]}"
for name in "${names[@]}"; do installed "$name" || fail "$name is not installed"; done
version=$(dpkg-query -W -f '${Version}' libnavconfig1)
version=${version%-*}
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

echo "== the installed packages at work"
# (On a merged /usr, the cache names /lib/<multiarch>.)
ldconfig -p | grep "libnavconfig.so.1 .*/lib/$arch/libnavconfig.so.1" >/dev/null ||
  fail "the linker's cache lacks libnavconfig.so.1"
[ "$(command -v navconfig)" = /usr/bin/navconfig ] || fail "navconfig is not on PATH"
navconfig --version | grep -x "navconfig $version" >/dev/null || fail "navconfig --version is not $version"
mkdir -p "$work/cfg"
export NAVCONFIG_HOME=$work/home
navconfig --config-dir "$work/cfg" --runtime-dir "$work/cfg" set Image KeepPercent 70 >/dev/null
[ "$(navconfig --config-dir "$work/cfg" --runtime-dir "$work/cfg" get Image KeepPercent)" = 70 ] ||
  fail "the installed tool did not keep a setting"
[ "$(man -w navconfig)" = /usr/share/man/man1/navconfig.1.gz ] || fail "man does not find navconfig(1)"
MANWIDTH=80 man navconfig 2>/dev/null | grep '^NAME' >/dev/null || fail "man navconfig shows no page"
# bash-completion loads the completion by the command's name at the first Tab (its loader returns 124, "try
# again", when it found one).
bash -c 'source /usr/share/bash-completion/bash_completion && { _completion_loader navconfig; complete -p navconfig; }' |
  grep -q '_navconfig navconfig$' || fail "bash-completion does not load the completion of navconfig"
[ "$(pkg-config --modversion navconfig)" = "$version" ] || fail "pkg-config does not find navconfig $version"
cc -std=c11 "$repo/tests/install/consumer.c" $(pkg-config --cflags --libs navconfig) -o "$work/consumer_c"
cmake -S "$repo/tests/install" -B "$work/cmake-build" -G Ninja >/dev/null
cmake --build "$work/cmake-build" >/dev/null
for program in "$work/consumer_c" "$work/cmake-build/consumer_cmake"; do
  cfg=$(mktemp -d "$work/cfg.XXXXXX")
  NAVCONFIG_CONFIG_DIR=$cfg NAVCONFIG_RUNTIME_DIR=$cfg "$program" >/dev/null || fail "$(basename "$program") failed"
done

echo "== dpkg -r"
files=$(dpkg -L "${names[@]}" | while read -r f; do [ -d "$f" ] || echo "$f"; done)
dpkg -r "${names[@]}"
for name in "${names[@]}"; do ! installed "$name" || fail "$name is still installed"; done
left=$(while read -r f; do if [ -e "$f" ] || [ -L "$f" ]; then echo "$f"; fi; done <<<"$files")
[ -z "$left" ] || fail "files left after dpkg -r: $left"
! ldconfig -p | grep libnavconfig >/dev/null || fail "the linker's cache still has libnavconfig"
# Nothing of the library's own at the library's folder either (the tool was always given a folder).
[ ! -e "/usr/lib/$arch/user.cfg" ] || fail "/usr/lib/$arch/user.cfg was written"
dpkg --purge "${names[@]}" >/dev/null 2>&1
echo "package install: dpkg -i, the installed tool, page, completion and library, and dpkg -r all behaved"
