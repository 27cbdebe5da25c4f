#!/usr/bin/env bash
# Only the exported interface is visible in the shared library: every symbol it exports belongs to an
# exported function or class (or is the typeinfo and vtable of one), and the C functions carry their plain
# names. On libnavconfig.so every export also carries the one version NAVCONFIG_1.0 (read with readelf); on
# config.dll the export table is read with the objdump given as the second argument.
# Usage: exported_symbols.sh LIBRARY [OBJDUMP]
set -euo pipefail
lib=$1
version=NAVCONFIG_1.0
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
    # The versions the library defines: its own name (the base) and the one node.
    defined=$(readelf -V -W "$lib" | sed -n '/\.gnu\.version_d/,/^$/s/.*Name: //p' | sort | tr '\n' ' ')
    [ "$defined" = "$version libnavconfig.so.1 " ] || fail "defines the versions '$defined', not $version alone"
    # Defined dynamic symbols as "BIND NAME@@VERSION", less the symbol that names the version node itself.
    dyn=$(readelf --dyn-syms -W "$lib" | awk 'NR > 3 && $7 != "UND" && $8 != "" {print $5, $8}' |
          grep -v -x "GLOBAL $version" || true)
    unversioned=$(printf '%s\n' "$dyn" | grep -v "@@$version\$" || true)
    [ -z "$unversioned" ] || fail "exports without the version $version:"$'\n'"$unversioned"
    # Unique objects of the standard library's inline code (such as the digit table of std::to_chars or the
    # waiter pool of std::atomic::wait) stay visible: the language makes them one per process.
    unique=$(printf '%s\n' "$dyn" | awk '$1 == "UNIQUE" {print $2}' | sed "s/@@$version\$//" | c++filt)
    if printf '%s\n' "$unique" | grep -v -E '^(std::|$)'; then fail "unique symbols of our own are visible"; fi
    symbols=$(printf '%s\n' "$dyn" | awk '$1 != "UNIQUE" {print $2}' | sed "s/@@$version\$//" | c++filt)
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
  *) echo "$count exported symbols, all part of the interface and under $version" ;;
esac
