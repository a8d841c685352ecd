#!/bin/sh
# Checks a built library as a loader sees it: exactly the expected exported
# names, and no needed library beyond the C library and libm.
#   abi_check.sh FILE SYMBOL...
set -eu
file=$1; shift
expected=$(printf '%s\n' "$@" | sort)
actual=$(nm -D --defined-only "$file" | awk '{print $3}' | sort)
if [ "$actual" != "$expected" ]; then
  echo "exports of $file differ:"; diff -u /dev/fd/3 /dev/fd/4 3<<E 4<<A || true
$expected
E
$actual
A
  exit 1
fi
needed=$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort)
for lib in $needed; do
  case $lib in
    libc.so.6|libm.so.6) ;;
    *) echo "$file needs $lib"; exit 1 ;;
  esac
done
echo "$file: $(echo $actual | tr '\n' ' ') / needs: $(echo $needed | tr '\n' ' ')"
