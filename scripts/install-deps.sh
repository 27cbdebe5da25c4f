#!/usr/bin/env bash
# Installs the Debian packages that a build needs, and only those that are missing.
# Usage: scripts/install-deps.sh [group...]   groups: build (default), package, windows
set -euo pipefail

build_pkgs=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
            clang libclang-rt-14-dev libsodium-dev libcli11-dev man-db)
# The Debian packages: CPack's dependency list (dpkg-shlibdeps from dpkg-dev, file), their check (lintian) and
# the check of the installed completion (bash-completion).
package_pkgs=(dpkg-dev file lintian bash-completion)
windows_pkgs=(cmake ninja-build make g++-mingw-w64-x86-64 wine64 googletest)

want=()
groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(build)
for g in "${groups[@]}"; do
  case "$g" in
    build) want+=("${build_pkgs[@]}") ;;
    package) want+=("${package_pkgs[@]}") ;;
    windows) want+=("${windows_pkgs[@]}") ;;
    *) echo "install-deps: unknown group '$g'" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${want[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

# As root apt-get runs directly (a minimal Debian has no sudo); another user needs sudo, or someone who
# installs the packages.
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    echo "install-deps: these packages are missing: ${missing[*]}" >&2
    echo "install-deps: install them as root (apt-get install ${missing[*]}) and run this again" >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
