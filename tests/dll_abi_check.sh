#!/bin/sh
# Checks a built Windows DLL as the loader sees it: exactly the expected
# exported names, undecorated, and no imported DLL beyond KERNEL32 and msvcrt
# (no C++ or GCC runtime DLL that a host would have to ship).
#   dll_abi_check.sh OBJDUMP FILE SYMBOL...
set -eu
objdump=$1 file=$2; shift 2
table=$("$objdump" -p "$file")
expected=$(printf '%s\n' "$@" | sort)
actual=$(printf '%s\n' "$table" |
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' | sort)
if [ "$actual" != "$expected" ]; then
  printf 'exports of %s: expected\n%s\ngot\n%s\n' "$file" "$expected" "$actual"
  exit 1
fi
imports=$(printf '%s\n' "$table" | sed -n 's/^[[:space:]]*DLL Name: //p' | sort -u)
for dll in $imports; do
  case $dll in
    KERNEL32.dll|msvcrt.dll) ;;
    *) echo "$file imports $dll"; exit 1 ;;
  esac
done
echo "$file exports:" $actual "/ imports:" $imports
