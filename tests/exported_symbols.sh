#!/usr/bin/env bash
# Only the exported interface is visible in the shared library: every symbol it exports belongs to an
# exported function or class (or is the typeinfo and vtable of one), and the C functions carry their plain
# names. Works on libnavconfig.so (dynamic symbols) and on config.dll (export table, read with the objdump
# given as the second argument). Usage: exported_symbols.sh LIBRARY [OBJDUMP]
set -euo pipefail
lib=$1
allowed='^(Config_[A-Za-z]+|SU_Config|SD_Config|GetDirName|GetConfigGlobals|GetConfigMgr|GetDirectoryMgr|ResetDataDirMgr|OROConvertUTF16toUTF8|OROConvertUTF8toUTF16)(\(.*)?$|^(typeinfo|typeinfo name|vtable) for |^(KeyRoot|KeyValue|OROustring|OROwstring|OroFileName|GridVersionString|OroDataSet|DirectoryMgr|DirectoryMgr_Posix|DirectoryMgr_Win32|TRegUtil|TVersionStruct)::|^operator.*\((OROustring|OROwstring|OroFileName|GridVersionString|OroDataSet)'
case "$lib" in
  *.dll)
    # The export table: "[ordinal] name" lines after its heading, up to the empty line.
    raw=$("${2:-objdump}" -p "$lib" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -nE 's/^[[:space:]]*\[[[:space:]]*[0-9]+\][[:space:]]+//p')
    symbols=$(printf '%s\n' "$raw" | c++filt)
    ;;
  *)
    symbols=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | c++filt)
    # Unique objects of the standard library's inline code (type u, such as the digit table of std::to_chars)
    # are not ours to hide: the language makes them one per process.
    unique=$(nm -D --defined-only "$lib" | awk '$2 == "u" {print $3}' | c++filt)
    if printf '%s\n' "$unique" | grep -v -E '^(std::|$)'; then
      echo "unique symbols of our own are visible"
      exit 1
    fi
    ;;
esac
count=$(printf '%s\n' "$symbols" | grep -c . || true)
bad=$(printf '%s\n' "$symbols" | grep -v -E "$allowed" || true)
if [ -n "$bad" ]; then
  echo "symbols outside the exported interface:"
  printf '%s\n' "$bad"
  exit 1
fi
# C linkage: undecorated names.
for name in Config_GetIntVal SU_Config SD_Config GetDirName; do
  printf '%s\n' "$symbols" | grep -qx "$name" || { echo "$name is not exported under its plain name"; exit 1; }
done
echo "$count exported symbols, all part of the interface"
