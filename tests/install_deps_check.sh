#!/usr/bin/env bash
# scripts/install-deps.sh on machines without sudo, with dpkg, apt-get, sudo and id stood in for by stubs that
# report every package missing and record how they were called: as root apt-get runs directly; another user
# without sudo is told the packages and nothing is installed; with sudo, apt-get runs through it.
# Usage: install_deps_check.sh SOURCE_DIR
set -euo pipefail
trap 'echo "install_deps_check.sh: failed at line $LINENO"' ERR
script=$1/scripts/install-deps.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
stub() { printf '#!/bin/sh\n%s\n' "$2" > "$work/bin/$1"; chmod +x "$work/bin/$1"; }
stub dpkg 'exit 1'
stub apt-get 'echo "apt-get $*" >> "$CALLS"'
stub id 'echo "$UID_OF_TEST"'
run() {  # UID [with-sudo]: runs the script for the windows group; its exit code
  rm -f "$work/bin/sudo" "$work/calls"
  [ "${2:-}" = with-sudo ] && stub sudo 'echo "sudo $1" >> "$CALLS"; exec "$@"'
  # The stubs are all there is on the path: a machine without sudo unless the stub is made.
  UID_OF_TEST=$1 CALLS=$work/calls PATH=$work/bin "$BASH" "$script" windows > "$work/out" 2>&1
}

run 0
grep -q '^apt-get install .*wine64' "$work/calls"
if grep -q '^sudo' "$work/calls"; then echo "root went through sudo"; exit 1; fi
if run 1000; then echo "install-deps went on without sudo"; exit 1; fi
grep -q 'missing: cmake ninja-build make g++-mingw-w64-x86-64 wine64 googletest' "$work/out"
[ ! -e "$work/calls" ]
run 1000 with-sudo
grep -q '^sudo apt-get' "$work/calls" && grep -q '^apt-get install .*googletest' "$work/calls"
echo "install-deps: root runs apt-get, other users use sudo or are told what to install"
