#!/usr/bin/env bash
# Only the exported interface is visible in the shared library: every symbol it exports belongs to an
# exported function or class (or is the typeinfo and vtable of one), and the C functions carry their plain
# names. On libnavconfig.so every export also carries a version (read with readelf): the one that the version
# script (src/api/navconfig.map) names it under, else NAVCONFIG_1.0. On config.dll the export table is read with
# the objdump given as the second argument.
# Usage: exported_symbols.sh LIBRARY [OBJDUMP]
set -euo pipefail
lib=$1
version=NAVCONFIG_1.0
map=$(dirname "$0")/../src/api/navconfig.map
# "NAME VERSION" for every symbol that a later node of the version script names one by one.
later=$(sed 's:/\*.*\*/::; /\/\*/,/\*\//d' "$map" |
        awk '/^NAVCONFIG_[0-9.]+ *\{/ {node = $1} node != "" && node != "'$version'" && /^ +[A-Za-z_]+;$/ {
               sub(/;/, "", $1); print $1, node}')
allowed='^(Config_[A-Za-z]+|SU_Config|SD_Config|GetDirName|GetConfigGlobals|GetConfigMgr|GetDirectoryMgr|ResetDataDirMgr|OROConvertUTF16toUTF8|OROConvertUTF8toUTF16)(\(.*)?$|^(typeinfo|typeinfo name|vtable) for |^(KeyRoot|KeyValue|OROustring|OROwstring|OroFileName|GridVersionString|OroDataSet|DirectoryMgr|DirectoryMgr_Posix|DirectoryMgr_Win32|TRegUtil|TVersionStruct)::|^operator.*\((OROustring|OROwstring|OroFileName|GridVersionString|OroDataSet)'
fail() { echo "$lib: $*"; exit 1; }
case "$lib" in
  *.dll)
    # The export table: "[ordinal] name" lines after its heading, up to the empty line.
    raw=$("${2:-objdump}" -p "$lib" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+//p')
    symbols=$(printf '%s\n' "$raw" | c++filt)
    ;;
  *)
    # The versions the library defines: its own name (the base) and the nodes of the version script.
    nodes=$( (echo $version; awk '{print $2}' <<<"$later") | sort -u | tr '\n' ' ')
    defined=$(readelf -V -W "$lib" | sed -n '/\.gnu\.version_d/,/^$/s/.*Name: //p' | sort | tr '\n' ' ')
    [ "$defined" = "${nodes}libnavconfig.so.1 " ] || fail "defines the versions '$defined', not '$nodes'"
    # Defined dynamic symbols as "BIND NAME@@VERSION", less the symbols that name the version nodes themselves.
    dyn=$(readelf --dyn-syms -W "$lib" | awk 'NR > 3 && $7 != "UND" && $8 != "" {print $5, $8}' |
          grep -v -x -E "GLOBAL ($(tr ' ' '|' <<<"${nodes% }"))" || true)
    # Each symbol under the node that names it, every other under NAVCONFIG_1.0.
    misplaced=$(printf '%s\n' "$dyn" | awk -v base=$version 'NR == FNR {node[$1] = $2; next}
      {split($2, s, "@@"); want = (s[1] in node) ? node[s[1]] : base; if (s[2] != want) print $2 " (not " want ")"}' \
      <(printf '%s\n' "$later") - || true)
    [ -z "$misplaced" ] || fail "exports under another version than the version script's:"$'\n'"$misplaced"
    # Release 1.0 is out: a function of C linkage added since goes under a later node, never under 1.0.
    added=$(printf '%s\n' "$dyn" | awk '{print $2}' | sed -n "s/@@$version\$//p" | grep -v '^_Z' |
            grep -v -x -F -f <(grep -v '^#' "$(dirname "$0")/data/symbols_1.0.txt") || true)
    [ -z "$added" ] || fail "exports under $version that release 1.0 did not have:"$'\n'"$added"
    missing=$(awk '{print $1 "@@" $2}' <<<"$later" | grep -v -x -F -f <(awk '{print $2}' <<<"$dyn") || true)
    [ -z "$missing" ] || fail "does not export what the version script names:"$'\n'"$missing"
    # Unique objects of the standard library's inline code (such as the digit table of std::to_chars or the
    # waiter pool of std::atomic::wait) stay visible: the language makes them one per process.
    unique=$(printf '%s\n' "$dyn" | awk '$1 == "UNIQUE" {print $2}' | sed 's/@@.*$//' | c++filt)
    if printf '%s\n' "$unique" | grep -v -E '^(std::|$)'; then fail "unique symbols of our own are visible"; fi
    symbols=$(printf '%s\n' "$dyn" | awk '$1 != "UNIQUE" {print $2}' | sed 's/@@.*$//' | c++filt)
    ;;
esac
count=$(printf '%s\n' "$symbols" | grep -c . || true)
bad=$(printf '%s\n' "$symbols" | grep -v -E "$allowed" || true)
[ -z "$bad" ] || fail "symbols outside the exported interface:"$'\n'"$bad"
# C linkage: undecorated names.
for name in Config_GetIntVal SU_Config SD_Config GetDirName; do
  printf '%s\n' "$symbols" | grep -x "$name" >/dev/null || fail "$name is not exported under its plain name"
done
case "$lib" in
  *.dll) echo "$count exported symbols, all part of the interface" ;;
  *) echo "$count exported symbols, all part of the interface; $(grep -c . <<<"$later") under later versions" ;;
esac
