#!/usr/bin/env bash
# Counts the system calls that one start of the library makes (strace -f -c), for four installations:
#   1. first start, no map data        (user.cfg is created and the directory table is written)
#   2. next start, no map data
#   3. first start with normal data    (the search finds NA/2024/data and records it)
#   4. next start with normal data
# Each count is the start's own: a run of the same program that does not start the library is subtracted.
# Then the calls of 2,000 layered reads after a start, with an empty user_ro.cfg and a product.cfg of 2,000 keys
# that each read reaches after user and user_ro (a run with one read is subtracted from one with 2,001): an
# empty layer is read once, so none is expected.
# Usage: bench/count_fs_calls.sh [build-dir]     (default: build/release; needs bench/directory_start)
set -euo pipefail

build=${1:-build/release}
prog="$build/bench/directory_start"
[ -x "$prog" ] || { echo "count_fs_calls: $prog is not built" >&2; exit 2; }
command -v strace >/dev/null || { echo "count_fs_calls: strace is not installed" >&2; exit 2; }
prog=$(realpath "$prog")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The calls that touch files or folders; the rest (memory, threads) is shown apart.
fs_calls=" newfstatat stat lstat fstat statx access faccessat faccessat2 openat open close read pread64 write
           pwrite64 fsync fdatasync rename renameat renameat2 fchmod chmod unlink unlinkat mkdir mkdirat getdents64
           readlink readlinkat lseek "

new_installation() {
  local dir="$scratch/$1"
  mkdir -p "$dir/runtime" "$dir/config" "$dir/home" "$dir/cwd"
  if [ "$2" = data ]; then
    mkdir -p "$dir/cwd/NA/2024/data"
    echo x >"$dir/cwd/NA/2024/data/00000000.qd"
    echo x >"$dir/cwd/NA/2024/data/00000000.hsh"
    printf 'Product Name: Maps\nData Version: 2024.1\nData Format: 8\n' >"$dir/cwd/NA/2024/data/version.dat"
  fi
  echo "$dir"
}

# "syscall calls" lines of one run of the program in an installation.
run_counts() {
  local dir=$1 out="$scratch/strace.$$"
  shift
  (cd "$dir/cwd" && NAVCONFIG_RUNTIME_DIR="$dir/runtime/" NAVCONFIG_CONFIG_DIR="$dir/config/" \
     NAVCONFIG_HOME="$dir/home/" NAVCONFIG_LOG= strace -f -c -o "$out" "$prog" "$@" >/dev/null)
  awk '$4 ~ /^[0-9]+$/ && $NF != "total" { print $NF, $4 }' "$out"
  rm -f "$out"
}

report() {
  local title=$1 dir=$2 base start
  base=$(run_counts "$dir" ${3:-})
  start=$(run_counts "$dir" ${4:-start})
  echo "== $title"
  local lines
  lines=$(awk -v fs="$(echo $fs_calls)" '
    NR == FNR { base[$1] = $2; next }
    { n = $2 - base[$1]; if (n > 0) printf "%s %s %d\n", (index(" " fs " ", " " $1 " ") ? "file" : "other"), $1, n }
    ' <(echo "$base") <(echo "$start") | sort -k1,1 -k3,3nr -k2,2)
  awk '{ printf "  %-6s %-12s %4d\n", $1, $2, $3 }' <<<"$lines"
  awk '$1 == "file" { t += $3 } END { printf "  file-system calls in all: %d\n", t }' <<<"$lines"
}

empty=$(new_installation empty none)
report "first start, no map data" "$empty"
report "next start, no map data" "$empty"
data=$(new_installation data data)
report "first start, normal data found" "$data"
report "next start, normal data" "$data"
reads=$(new_installation reads none)
for s in $(seq 0 99); do
  echo "[Section$s]"
  for k in $(seq 0 19); do echo "\"Key$k\"=$k"; done
done >"$reads/config/product.cfg"
: >"$reads/config/user_ro.cfg"
run_counts "$reads" start >/dev/null
report "2,000 layered reads, an empty user_ro.cfg" "$reads" "reads 1" "reads 2001"
