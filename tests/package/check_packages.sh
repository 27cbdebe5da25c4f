#!/usr/bin/env bash
# The Debian packages that `make package` built, as a machine that installs them sees them: lintian finds no
# error and no maintainer script calling ldconfig; no package has maintainer scripts, and the control files have
# Debian's modes; each package depends on what it needs and no file is in two packages; unpacked with dpkg-deb -x
# into a scratch root, programs build against that root (pkg-config for C++ and C, CMake's find_package) and
# run, and so do the tool (which keeps a user's settings in the user's XDG folders, never beside the library),
# its manual page and its bash completion.
# Usage: check_packages.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
src=$2
packages=$build/packages
fail() { echo "packages: $*" >&2; exit 1; }

shopt -s nullglob
debs=("$packages"/*.deb)
[ ${#debs[@]} -eq 3 ] || fail "expected the three packages in $packages, found ${#debs[@]} (make package builds them)"
deb() { local f=("$packages/$1"_*.deb); [ ${#f[@]} -eq 1 ] || fail "no package $1"; echo "${f[0]}"; }
lib=$(deb libnavconfig1) dev=$(deb libnavconfig-dev) tool=$(deb navconfig)
version=$(dpkg-deb -f "$lib" Version)
arch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=usr/lib/$arch

echo "== lintian"
report=$(lintian --allow-root "${debs[@]}") || fail "lintian failed: $report"
echo "$report"
! grep -E '^E: |maintscript-calls-ldconfig|control-file-has-bad-permissions' <<<"$report" >/dev/null ||
  fail "lintian reports errors"
# The ldconfig trigger alone, no maintainer script (a postrm would leave the package in the rc state after
# dpkg -r), and control files 0644 whatever the checkout's modes.
for p in "${debs[@]}"; do
  control=$(dpkg-deb --ctrl-tarfile "$p" | tar -tvf - | awk '$6 != "./" {print $1, $6}')
  ! grep -E 'preinst|postinst|prerm|postrm' <<<"$control" >/dev/null || fail "$(basename "$p") has maintainer scripts"
  ! grep -v '^-rw-r--r-- ' <<<"$control" >/dev/null || fail "$(basename "$p") has control files not 0644: $control"
done

# Depends: the library's from dpkg-shlibdeps, the others on the library of the same version.
depends() { dpkg-deb -f "$1" Depends; }
for needed in libc6 libstdc++6 libsodium23; do
  depends "$lib" | grep "\b$needed\b" >/dev/null || fail "libnavconfig1 does not depend on $needed: $(depends "$lib")"
done
for p in "$dev" "$tool"; do
  depends "$p" | grep -F "libnavconfig1 (= $version)" >/dev/null ||
    fail "$(basename "$p") does not depend on libnavconfig1 (= $version)"
done
dpkg-deb -I "$lib" triggers | grep -x 'activate-noawait ldconfig' >/dev/null || fail "libnavconfig1 does not trigger ldconfig"

# What goes where, and nothing twice.
files() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./||'; }
has() { files "$1" | grep -x "$2" >/dev/null || fail "$(basename "$1") does not hold $2"; }
has "$lib" "$libdir/libnavconfig.so.1"
has "$lib" "$libdir/libnavconfig.so.${version%-*}"
has "$dev" "$libdir/libnavconfig.so"
has "$dev" "$libdir/pkgconfig/navconfig.pc"
has "$dev" "$libdir/cmake/navconfig/navconfig-config.cmake"
has "$dev" usr/include/config/config.h
has "$tool" usr/bin/navconfig
has "$tool" usr/share/man/man1/navconfig.1.gz
has "$tool" usr/share/bash-completion/completions/navconfig
twice=$(for p in "${debs[@]}"; do files "$p"; done | sort | uniq -d)
[ -z "$twice" ] || fail "files in more than one package: $twice"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
for p in "${debs[@]}"; do dpkg-deb -x "$p" "$root"; done
export LD_LIBRARY_PATH=$root/$libdir

echo "== programs built against the unpacked packages"
for node in NAVCONFIG_1.0 NAVCONFIG_1.1; do
  readelf -V -W "$root/usr/bin/navconfig" | grep "Name: $node" >/dev/null ||
    fail "the tool does not ask for the symbol version $node"
done
export PKG_CONFIG_PATH=$root/$libdir/pkgconfig
[ "$(pkg-config --modversion navconfig)" = "${version%-*}" ] || fail "pkg-config gives another version"
flags=$(pkg-config --cflags navconfig)
libs=$(pkg-config --libs navconfig)
c++ -std=c++20 $flags "$src/tests/install/consumer.cpp" $libs -o "$work/consumer_pc"
cc -std=c11 -Wall -Wextra -Wpedantic -Werror $flags "$src/tests/install/consumer.c" $libs -o "$work/consumer_c"
cmake -S "$src/tests/install" -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
for program in "$work/consumer_pc" "$work/consumer_c" "$work/cmake-build/consumer_cmake"; do
  cfg=$(mktemp -d "$work/cfg.XXXXXX")
  NAVCONFIG_CONFIG_DIR=$cfg NAVCONFIG_RUNTIME_DIR=$cfg NAVCONFIG_HOME=$cfg/home "$program"
  grep -q '^\[Image\]' "$cfg/user.cfg" || fail "$(basename "$program") wrote no user.cfg"
done

echo "== the unpacked tool, its manual page and its completion"
navconfig() {
  NAVCONFIG_HOME=$work/home "$root/usr/bin/navconfig" --config-dir "$work/tool-cfg" --runtime-dir "$work/tool-cfg" "$@"
}
mkdir -p "$work/tool-cfg"
navconfig --version | grep -x "navconfig ${version%-*}" >/dev/null || fail "the tool is not version ${version%-*}"
navconfig set Image KeepPercent 70 >/dev/null
[ "$(navconfig get Image KeepPercent --origin)" = "70  (user)" ] || fail "the tool did not keep a setting"
page=$root/usr/share/man/man1/navconfig.1.gz
warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "man reports: $warnings"
MANWIDTH=80 man -l "$page" 2>/dev/null | grep "navconfig ${version%-*}" >/dev/null || fail "the manual page lacks the version"
"$src/tests/completion.sh" "$root/usr/bin/navconfig" "$root/usr/share/bash-completion/completions/navconfig"

echo "== the unpacked tool keeps a user's settings in the user's folders"
# As a user of an installed system: no variables, only HOME. Nothing is written beside the library.
user=$work/user
mkdir -p "$user"
before=$(find "$root" -printf '%p %T@\n' | sort)
asuser() { env -u NAVCONFIG_HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$user" "$root/usr/bin/navconfig" "$@"; }
asuser set Image KeepPercent 71 >/dev/null
asuser registry set 'HKCU\Software\Check' Count 5 >/dev/null
[ "$(asuser get Image KeepPercent --origin)" = "71  (user)" ] || fail "the tool did not keep a user's setting"
grep -q '"KeepPercent"=71' "$user/.config/navconfig/user.cfg" || fail "no user.cfg in ~/.config/navconfig"
[ -f "$user/.local/share/navconfig/registry/HKCU.reg" ] || fail "no registry store in ~/.local/share/navconfig"
[ "$(stat -c %a "$user/.config/navconfig")" = 700 ] || fail "~/.config/navconfig is not the user's alone"
asuser dirs | grep -x 'System configuration:     /etc/navconfig/' >/dev/null || fail "dirs names no /etc/navconfig"
[ "$(find "$root" -printf '%p %T@\n' | sort)" = "$before" ] || fail "the tool wrote into the unpacked packages"
cc -std=c11 -Wall -Wextra -Wpedantic -Werror $flags "$src/tests/package/folder_removed.c" $libs -o "$work/folder_removed"
env -u NAVCONFIG_HOME -u XDG_CONFIG_HOME -u XDG_DATA_HOME HOME="$user" "$work/folder_removed" \
  "rm -rf '$user/.config/navconfig'" || fail "a program could not remove the user's folder"
grep -q '"KeepPercent"=76' "$user/.config/navconfig/user.cfg" || fail "a removed ~/.config/navconfig was not made again"
[ "$(stat -c %a "$user/.config/navconfig")" = 700 ] || fail "the folder made again is not the user's alone"
# The XDG variables and NAVCONFIG_CONFIG_DIR win.
XDG_CONFIG_HOME=$work/xdg HOME="$user" "$root/usr/bin/navconfig" set Image KeepPercent 72 >/dev/null
grep -q '"KeepPercent"=72' "$work/xdg/navconfig/user.cfg" || fail "XDG_CONFIG_HOME is not followed"
mkdir -p "$work/named"
NAVCONFIG_CONFIG_DIR=$work/named HOME="$user" "$root/usr/bin/navconfig" set Image KeepPercent 73 >/dev/null
grep -q '"KeepPercent"=73' "$work/named/user.cfg" || fail "NAVCONFIG_CONFIG_DIR does not win"

for p in "${debs[@]}"; do echo "$(basename "$p"): $(stat -c %s "$p") bytes"; done
echo "packages: lintian without errors; consumers, tool, manual page and completion work from the unpacked packages"
