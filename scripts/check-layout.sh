#!/usr/bin/env bash
# Checks that the library's folders stack as their build targets say (src/CMakeLists.txt): a source file under
# src/<folder>/ includes headers of its own folder, the headers that a folder below it EXPOSES, the public
# headers (<config/...>) and the platform's (<platform/...>, <doroutil/...>), and nothing else. "Below" is what
# the folder USES, and what those use in turn; the folders must not use each other in a circle. The platform
# layer and the public headers include no header of src/ at all.
# Usage: scripts/check-layout.sh [SOURCE_ROOT]        Exit status 0 when all is well, 1 with every fault listed.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"

declare -A uses exposes
folders=()
# The arguments of navconfig_component(...) in a folder's CMakeLists.txt, one word a line (comments dropped).
component_words() {
  sed 's/#.*//' "$1" | tr '\n' ' ' | grep -o 'navconfig_component([^)]*)' | head -n 1 |
    sed 's/^navconfig_component(//; s/)$//' | tr -s ' \t' '\n'
}
for list in src/*/CMakeLists.txt; do
  folder=$(basename "$(dirname "$list")")
  folders+=("$folder")
  section=""
  uses[$folder]=""
  exposes[$folder]=""
  while read -r word; do
    case "$word" in
      SOURCES|USES|EXPOSES) section=$word ;;
      *) [ "$section" = USES ] && uses[$folder]+=" $word"
         [ "$section" = EXPOSES ] && exposes[$folder]+=" $word" ;;
    esac
  done < <(component_words "$list")
done
# The platform layer (platform/) stands below every folder; its headers are included as <platform/...> and
# <doroutil/...>, as the public headers are as <config/...>.
uses[platform]=""

faults=0
fault() { echo "check-layout: $*" >&2; faults=$((faults + 1)); }

# Every folder that a folder stands on, directly or through others.
below() {
  local start=$1 todo=(${uses[$1]}) seen=" " next
  while [ ${#todo[@]} -gt 0 ]; do
    next=${todo[0]}
    todo=("${todo[@]:1}")
    [[ "$seen" == *" $next "* ]] && continue
    [ -v "uses[$next]" ] || { fault "src/$start/CMakeLists.txt uses '$next', which is no folder of src/"; continue; }
    seen+="$next "
    todo+=(${uses[$next]})
  done
  echo "$seen"
}

declare -A reach
for folder in "${folders[@]}"; do
  reach[$folder]=$(below "$folder")
  [[ "${reach[$folder]}" == *" $folder "* ]] && fault "src/$folder uses itself through the folders below it (a circle)"
done

# Every include written with a folder of src/ in front ("store/configmgr.h", <store/configmgr.h>), or quoted
# without one: file, line number, the included path.
includes() {
  grep -nE '^\s*#\s*include\s*["<]' "$@" /dev/null |
    sed -E 's/^([^:]*):([0-9]+):\s*#\s*include\s*["<]([^">]*)[">].*/\1 \2 \3/'
}

while read -r file line path; do
  folder=${file#src/}
  folder=${folder%%/*}
  case "$path" in
    */*) other=${path%%/*}; header=${path#*/} ;;
    *) other=""; header=$path ;;
  esac
  if [ -z "$other" ]; then
    # A quoted name without a folder: only the standard library's and system headers are written so in <>.
    grep -qE "^\s*#\s*include\s*\"$path\"" "$file" && fault "$file:$line includes \"$path\" without its folder"
    continue
  fi
  [ -v "uses[$other]" ] && [ "$other" != platform ] || continue  # config/, platform/, doroutil/, the system's
  [ "$other" = "$folder" ] && continue
  if [[ "${reach[$folder]}" != *" $other "* ]]; then
    fault "$file:$line includes $path, but src/$other is not below src/$folder"
  elif [[ " ${exposes[$other]} " != *" $header "* ]]; then
    fault "$file:$line includes $path, which src/$other keeps to itself (it exposes:${exposes[$other]:- nothing})"
  fi
done < <(includes $(find src -name '*.h' -o -name '*.cpp' | sort))

# Nothing below the library's folders reaches up into them.
while read -r file line path; do
  other=${path%%/*}
  [[ "$path" == */* ]] && [ -v "uses[$other]" ] && [ "$other" != platform ] &&
    fault "$file:$line includes $path: the platform layer and the public headers stand below src/"
done < <(includes $(find platform include -name '*.h' -o -name '*.cpp' | sort))

if [ "$faults" -gt 0 ]; then
  echo "check-layout: $faults fault(s)" >&2
  exit 1
fi
echo "check-layout: ${#folders[@]} folders of src/ stack as their targets say"
