# Install and packages, as a user meets them: installs the Linux build into a
# scratch prefix, makes the Linux .tar.gz and the Windows .zip as
# docs/building.md does (cpack from the checkout, which must stay clean) and checks what each
# carries; runs each host program from its tree; then builds and runs the
# programs in tests/consumer that link Orvandel, the hysteresis example of
# docs/orvandel.md among them, and in tests/host-api-consumer the program of
# docs/cxx.md that loads libraries through the host API: with CMake against
# the installed prefix and against the unpacked zip (MinGW, under wine), and
# with the pages' pkg-config lines against the unpacked .tar.gz. The archives
# are unpacked elsewhere than they were built, so they must work wherever
# they lie.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
need_packages pkgconf
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
docs="share/doc/MaterialLibraries/README.md share/doc/MaterialLibraries/LICENSE"
host_api_cmake="lib/cmake/MaterialHostApi/MaterialHostApiConfig.cmake
  lib/cmake/MaterialHostApi/MaterialHostApiConfigVersion.cmake
  lib/cmake/MaterialHostApi/MaterialHostApiTargets.cmake"

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
  lib/cmake/Orvandel/OrvandelConfig.cmake lib/cmake/Orvandel/OrvandelTargets.cmake $docs
  include/material_host_api.hpp lib/pkgconfig/material-host-api.pc $host_api_cmake"
for l in $material_libraries; do linux_files+=" lib/$(library_file "$l")"; done
# shellcheck disable=SC2086
check_archive "$linux_archive" $linux_files

echo "-- Windows: .zip"
need_packages googletest g++-mingw-w64-x86-64-posix
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
windows_archive=$(make_package build/windows)
windows_files="bin/materials.exe include/orvandel.h lib/libOrvandel.dll.a $docs
  include/material_host_api.hpp $host_api_cmake"
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

# build_consumer SOURCE BUILD_DIR CMAKE_ARGS... : configures and builds a
# consumer project, quietly but for its errors.
build_consumer() {
  cmake -S "$1" -B "$2" "${@:3}" >/dev/null
  cmake --build "$2" -j "$jobs"
}

echo "-- CMake consumers, installed prefix"
for project in consumer host-api-consumer; do
  consumer=$scratch/cmake-$project
  build_consumer "tests/$project" "$consumer" -DCMAKE_PREFIX_PATH="$prefix"
  ctest --test-dir "$consumer" --output-on-failure --no-tests=error
done

echo "-- CMake consumers, unpacked zip (MinGW, run under wine)"
# The cross toolchain finds packages only where it is told.
declare -A package_of=([consumer]=Orvandel [host-api-consumer]=MaterialHostApi)
for project in consumer host-api-consumer; do
  consumer=$scratch/cmake-$project-windows
  package=${package_of[$project]}
  build_consumer "tests/$project" "$consumer" \
    -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/mingw-w64-x86_64.cmake" \
    -D"${package}_DIR=$windows_root/lib/cmake/$package"
  # Orvandel.dll stays in the zip's lib/, as a user's program would find it.
  WINEPATH="Z:${windows_root//\//\\}\\lib" ctest --test-dir "$consumer" --output-on-failure --no-tests=error
  WINEPREFIX=$consumer/wineprefix /usr/lib/wine/wineserver -w
done

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

echo "-- C++ host API consumer with pkg-config, unpacked archive"
# docs/cxx.md's program (as the CMake consumer cut it out) with that page's
# line; it prints what the CMake-built one printed against the install.
# shellcheck disable=SC2046
c++ -std=c++17 -Wall -Wextra -Wpedantic -Werror "$scratch/cmake-host-api-consumer/cxx_example.cpp" \
  $(pkg-config --cflags --libs material-host-api) -o "$scratch/cxx-example"
diff <("$scratch/cxx-example" "$(pkg-config --variable=libdir material-host-api)") \
  <("$scratch/cmake-host-api-consumer/cxx_example" "$prefix/lib")
echo "cxx_example: the same lines from the archive as from the install"
