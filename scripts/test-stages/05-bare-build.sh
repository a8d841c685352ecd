# The README's build command on a machine with only a compiler and CMake:
# every optional package hidden, configure names each part it skips with its
# Debian package, and the build makes the seven libraries and nothing else.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_packages cmake g++ make
build=build/bare
rm -rf "$build"
hidden=""
for package in CLI11 GTest benchmark PkgConfig; do
  hidden+=" -DCMAKE_DISABLE_FIND_PACKAGE_$package=ON"
done
# shellcheck disable=SC2086
configure=$(cmake -S . -B "$build" --no-warn-unused-cli $hidden)
skipped=$(grep '^-- Skipped: ' <<<"$configure" || true)
echo "$skipped"
for part in "host program materials .*libcli11-dev" "tests .*libgtest-dev" \
            "benchmarks .*libbenchmark-dev"; do
  grep -q "the $part" <<<"$skipped" || { echo "configure did not report skipping: $part" >&2; exit 1; }
done
cmake --build "$build" -j "$jobs"
expected=$(for l in $material_libraries; do library_file "$l"; done | sort)
built=$(ls "$build/bin" | sort)
if [ "$built" != "$expected" ]; then
  echo "$build/bin holds:" $built "; expected the seven libraries only" >&2
  exit 1
fi
echo "bare build: the seven libraries, nothing else"
