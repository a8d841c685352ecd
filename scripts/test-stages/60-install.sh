# Install and packages, as a user meets them: installs the Linux build into a
# scratch prefix, makes the Linux .tar.gz and the Windows .zip as
# docs/building.md does (cpack from the checkout, which must stay clean) and checks what each
# carries; runs each host program from its tree; then builds and runs the
# programs in tests/consumer that link Orvandel, the hysteresis example of
# docs/orvandel.md among them: with CMake against the installed prefix and
# against the unpacked zip (MinGW, under wine), and from C with that page's
# pkg-config line against the unpacked .tar.gz. The archives are unpacked elsewhere than
# they were built, so they must work wherever they lie.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
need_packages pkgconf
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
docs="share/doc/MaterialLibraries/README.md share/doc/MaterialLibraries/LICENSE"

# check_archive ARCHIVE ENTRY... : every entry, below the archive's top
# folder, must be in it.
check_archive() {
  local archive=$1 listing entry missing=0
  shift
  listing=$(cmake -E tar tf "$archive" | sed 's|^[^/]*/||')
  for entry in "$@"; do
    grep -qxF "$entry" <<<"$listing" || { echo "$(basename "$archive") lacks $entry" >&2; missing=1; }
  done
  [ $missing -eq 0 ] && echo "$(basename "$archive"): all $# expected files"
  return $missing
}

# check_links DIR : every relative link of the Markdown files below DIR
# (not a web address, not an anchor) leads to a file that is there.
check_links() {
  local md link broken=0
  while IFS= read -r md; do
    for link in $(grep -o '](\([^)#:]*\))' "$md" | sed 's/^](//; s/)$//'); do
      [ -e "$(dirname "$md")/$link" ] || { echo "$md links $link, which is missing" >&2; broken=1; }
    done
  done < <(find "$1" -name '*.md')
  [ $broken -eq 0 ] && echo "$(basename "$1"): every link of its Markdown files holds"
  return $broken
}

# make_package BUILD_DIR : runs cpack as the README does, from the checkout,
# which it must leave as it was; prints the archive, in the build folder.
make_package() {
  local before
  before=$(ls -A)
  cpack --config "$1/CPackConfig.cmake" >/dev/null
  [ "$(ls -A)" = "$before" ] || { echo "cpack left files in the checkout" >&2; return 1; }
  echo "$PWD/$1"/MaterialLibraries-*.*
}

# unpack ARCHIVE DIR : extracts the archive into DIR, prints its top folder.
unpack() {
  mkdir "$2"
  cmake -E chdir "$2" cmake -E tar xf "$1"
  echo "$2"/*
}

echo "-- Linux: install and .tar.gz"
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
prefix=$scratch/prefix
cmake --install build/ci --prefix "$prefix" >/dev/null
# What is installed is what the tests checked, byte for byte.
for l in $material_libraries; do
  cmp "build/ci/bin/$(library_file "$l")" "$prefix/lib/$(library_file "$l")"
done
# The installed host program finds the installed libraries by name, its own.
"$prefix/bin/materials" -v eval Mirrobane 77 2>&1 >/dev/null |
  grep -qxF "materials: loading $prefix/lib/$(library_file Mirrobane)"
check_links "$prefix/share/doc/MaterialLibraries"
linux_archive=$(make_package build/ci)
linux_files="bin/materials include/orvandel.h lib/pkgconfig/orvandel.pc
  lib/cmake/Orvandel/OrvandelConfig.cmake lib/cmake/Orvandel/OrvandelTargets.cmake $docs"
for l in $material_libraries; do linux_files+=" lib/$(library_file "$l")"; done
# shellcheck disable=SC2086
check_archive "$linux_archive" $linux_files

echo "-- Windows: .zip"
need_packages googletest g++-mingw-w64-x86-64-posix
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
windows_archive=$(make_package build/windows)
windows_files="bin/materials.exe include/orvandel.h lib/libOrvandel.dll.a $docs"
for l in $material_libraries; do windows_files+=" lib/$(library_file "$l" windows)"; done
# shellcheck disable=SC2086
check_archive "$windows_archive" $windows_files
# The unpacked zip's host program runs its libraries, on a Windows without
# MinGW: wine, in a prefix of its own.
need_packages wine64
windows_root=$(unpack "$windows_archive" "$scratch/windows")
for l in $material_libraries; do
  cmp "build/windows/bin/$(library_file "$l" windows)" "$windows_root/lib/$(library_file "$l" windows)"
done
export WINEDEBUG=-all WINEPREFIX=$scratch/wineprefix
wine64 wineboot --init >/dev/null 2>&1
wine64 "$windows_root/bin/materials.exe" eval Mirrobane 77 >/dev/null
/usr/lib/wine/wineserver -w   # gone before its prefix is removed

echo "-- CMake consumer, installed prefix"
consumer=$scratch/cmake-consumer
cmake -S tests/consumer -B "$consumer" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$consumer" -j "$jobs"
ctest --test-dir "$consumer" --output-on-failure --no-tests=error

echo "-- CMake consumer, unpacked zip (MinGW, run under wine)"
consumer=$scratch/cmake-consumer-windows
cmake -S tests/consumer -B "$consumer" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
  -DOrvandel_DIR="$windows_root/lib/cmake/Orvandel" >/dev/null
cmake --build "$consumer" -j "$jobs"
# Orvandel.dll stays in the zip's lib/, as a user's program would find it.
WINEPATH="Z:${windows_root//\//\\}\\lib" ctest --test-dir "$consumer" --output-on-failure --no-tests=error
WINEPREFIX=$consumer/wineprefix /usr/lib/wine/wineserver -w

echo "-- C consumers with pkg-config, unpacked archive"
linux_root=$(unpack "$linux_archive" "$scratch/linux")
# Only the unpacked archive, never a pkg-config file installed on the system.
export PKG_CONFIG_LIBDIR=$linux_root/lib/pkgconfig
libdir=$(pkg-config --variable=libdir orvandel)
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Wpedantic -Werror $(pkg-config --cflags orvandel) \
  tests/consumer/consumer.c $(pkg-config --libs orvandel) -Wl,-rpath,"$libdir" \
  -o "$scratch/c-consumer"
"$scratch/c-consumer"
# docs/orvandel.md's example (as the CMake consumer cut it out) with that page's line.
# shellcheck disable=SC2046
cc "$scratch/cmake-consumer/readme_example.c" $(pkg-config --cflags --libs orvandel) -lm \
  -Wl,-rpath,$(pkg-config --variable=libdir orvandel) -o "$scratch/readme-example"
"$scratch/readme-example" | grep "^period 2: "
