#!/usr/bin/env bash
# Installs the Debian packages that `make package` built with dpkg -i on this machine, checks that the library,
# the tool, its manual page and its completion work as installed (a C program and a CMake project built against
# the system's copy, the tool found on PATH and its library through the linker's cache), that an ordinary user
# and root each keep their own settings in their own home and read the administrator's layers in /etc/navconfig,
# with nothing written under /usr or /etc, then removes them with dpkg -r and checks that their files are gone and
# that dpkg forgets them (no "rc" state). Needs root, and changes the machine's installed packages and users
# while it runs: meant for a throw-away machine (`make test-package-install`, run by the fresh-machine check).
# Usage: scripts/check-package-install.sh [BUILD_DIR]   (default build/package)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build/package}
user=navconfig-check
admin_home=$(getent passwd 0 | cut -d: -f6)
names=(navconfig libnavconfig-dev libnavconfig1)
fail() { echo "package install: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || { echo "package install: needs root (dpkg -i); skipped"; exit 0; }
installed() { [ "$(dpkg-query -W -f '${db:Status-Status}' "$1" 2>/dev/null)" = installed ]; }
for name in "${names[@]}"; do
  ! installed "$name" || fail "$name is installed already; remove it first (dpkg -r ${names[*]})"
done
debs=("$build"/packages/*.deb)
[ ${#debs[@]} -eq 3 ] || fail "expected the three packages in $build/packages (make package builds them)"

for dir in /etc/navconfig "$admin_home/.config/navconfig" "$admin_home/.local/share/navconfig"; do
  [ ! -e "$dir" ] || fail "$dir exists already; this check makes its own and removes it"
done
! id "$user" >/dev/null 2>&1 || fail "the user $user exists already; remove it first (userdel -r $user)"
work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  for name in "${names[@]}"; do installed "$name" && dpkg -P "$name" >/dev/null 2>&1; done
  id "$user" >/dev/null 2>&1 && userdel -r "$user" >/dev/null 2>&1
  rm -rf "$work" /etc/navconfig "$admin_home/.config/navconfig" "$admin_home/.local/share/navconfig"
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

echo "== an ordinary user and root, each with their own settings"
# The administrator's layer for every user, and an ordinary user with a home of their own.
mkdir /etc/navconfig
printf '[Image]\n"AllowSquish"=4\n' >/etc/navconfig/product.cfg
useradd --create-home "$user"
home=$(getent passwd "$user" | cut -d: -f6)
as_user() { runuser -u "$user" -- env -i HOME="$home" PATH=/usr/bin:/bin navconfig "$@"; }
as_root() { env -i HOME="$admin_home" PATH=/usr/bin:/bin navconfig "$@"; }
touch "$work/before"
sleep 1  # so that anything written after this has a later time than the mark
as_user set Image KeepPercent 61 >/dev/null
as_root set Image KeepPercent 62 >/dev/null
as_user set 'product\Image' AllowSquish 5 --force >/dev/null
as_user registry set 'HKCU\Software\Check' Count 1 >/dev/null
as_root registry set 'HKCU\Software\Check' Count 2 >/dev/null
[ "$(as_user get Image KeepPercent --origin)" = "61  (user)" ] || fail "the user does not read the user's own value"
[ "$(as_root get Image KeepPercent --origin)" = "62  (user)" ] || fail "root does not read root's own value"
[ "$(as_user get Image AllowSquish --origin)" = "5  (product)" ] || fail "the user's product.cfg is not read"
[ "$(as_root get Image AllowSquish --origin)" = "4  (product)" ] || fail "/etc/navconfig/product.cfg is not read"
[ "$(as_user registry get 'HKCU\Software\Check' Count)" = 1 ] || fail "the user's registry store is not the user's"
[ "$(as_root registry get 'HKCU\Software\Check' Count)" = 2 ] || fail "root's registry store is not root's"
as_user account >/dev/null || fail "navconfig account fails for the user"
for dir in "$home" "$admin_home"; do
  grep -q '"KeepPercent"=6' "$dir/.config/navconfig/user.cfg" || fail "no user.cfg in $dir/.config/navconfig"
  [ -f "$dir/.local/share/navconfig/registry/HKCU.reg" ] || fail "no registry store in $dir/.local/share/navconfig"
  [ "$(stat -c %a "$dir/.config/navconfig")" = 700 ] || fail "$dir/.config/navconfig is not its owner's alone"
done
[ "$(stat -c %U "$home/.config/navconfig/user.cfg")" = "$user" ] || fail "the user's user.cfg is not the user's"
written=$(find /usr /etc -newer "$work/before" -o -cnewer "$work/before" 2>/dev/null || true)
[ -z "$written" ] || fail "written under /usr or /etc: $written"

echo "== dpkg -r"
files=$(dpkg -L "${names[@]}" | while read -r f; do [ -d "$f" ] || echo "$f"; done)
dpkg -r "${names[@]}"
for name in "${names[@]}"; do
  ! installed "$name" || fail "$name is still installed"
  state=$(dpkg-query -W -f '${db:Status-Status}' "$name" 2>/dev/null || true)
  [ "$state" != config-files ] || fail "$name is left in the rc state (config-files) after dpkg -r"
done
left=$(while read -r f; do if [ -e "$f" ] || [ -L "$f" ]; then echo "$f"; fi; done <<<"$files")
[ -z "$left" ] || fail "files left after dpkg -r: $left"
! ldconfig -p | grep libnavconfig >/dev/null || fail "the linker's cache still has libnavconfig"
# Nothing of the library's own at the library's folder either (the tool was always given a folder).
[ ! -e "/usr/lib/$arch/user.cfg" ] || fail "/usr/lib/$arch/user.cfg was written"
dpkg --purge "${names[@]}" >/dev/null 2>&1
echo "package install: dpkg -i, the installed tool (for a user and root), page, completion and library, and dpkg -r" \
  "all behaved"
