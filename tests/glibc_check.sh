#!/bin/sh
# Prints the highest glibc symbol version each library requires, which is the
# oldest glibc whose loader accepts it, and fails above the 2.17 baseline.
#   glibc_check.sh FILE...
set -eu
baseline=2.17
status=0
for file; do
  headers=$(objdump -p "$file")
  # The version references the loader checks: one GLIBC_x.y per line.
  versions=$(printf '%s\n' "$headers" |
    sed -n '/^Version References:/,/^$/s/.*[[:space:]]GLIBC_\([^[:space:]]*\)$/\1/p' | sort -uV)
  highest=$(printf '%s\n' "$versions" | tail -n 1)
  if printf '%s\n' "$versions" | grep -qv '^[0-9.]*$'; then
    echo "$file: requires GLIBC_$(printf '%s\n' "$versions" | grep -v '^[0-9.]*$' | head -n 1)"
    status=1
  elif [ "$(printf '%s\n' "$baseline" "$highest" | sort -V | tail -n 1)" != "$baseline" ]; then
    echo "$file: GLIBC_$highest, above the GLIBC_$baseline baseline"
    status=1
  else
    echo "$file: ${highest:+GLIBC_}${highest:-no glibc version}"
  fi
done
exit $status
