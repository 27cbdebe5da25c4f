#!/usr/bin/env bash
# Only the exported interface is visible in the shared library: every dynamic symbol it defines belongs to
# an exported function or class (or is the typeinfo and vtable of one). Usage: exported_symbols.sh LIBRARY
set -euo pipefail
lib=$1
allowed='^(Config_[A-Za-z]+|SU_Config|SD_Config|GetDirName|GetConfigGlobals|GetConfigMgr|GetDirectoryMgr|ResetDataDirMgr|OROConvertUTF16toUTF8|OROConvertUTF8toUTF16)(\(.*)?$|^(typeinfo|typeinfo name|vtable) for |^(KeyRoot|KeyValue|OROustring|OROwstring|OroFileName|GridVersionString|OroDataSet|DirectoryMgr|DirectoryMgr_Posix|DirectoryMgr_Win32|TRegUtil|TVersionStruct)::|^operator.*\((OROustring|OROwstring|OroFileName|GridVersionString|OroDataSet)'
# Unique objects of the standard library's inline code (type u, such as the digit table of std::to_chars) are
# not ours to hide: the language makes them one per process.
symbols=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | c++filt)
unique=$(nm -D --defined-only "$lib" | awk '$2 == "u" {print $3}' | c++filt)
if printf '%s\n' "$unique" | grep -v -E '^(std::|$)'; then
  echo "unique symbols of our own are visible"
  exit 1
fi
count=$(printf '%s\n' "$symbols" | grep -c . || true)
bad=$(printf '%s\n' "$symbols" | grep -v -E "$allowed" || true)
if [ -n "$bad" ]; then
  echo "symbols outside the exported interface:"
  printf '%s\n' "$bad"
  exit 1
fi
printf '%s\n' "$symbols" | grep -q '^Config_GetIntVal$'  # C linkage: undecorated
echo "$count exported symbols, all part of the interface"
