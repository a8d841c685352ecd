# The libraries and every test on Linux, warnings as errors; then the oldest
# glibc that loads each library.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
need_packages libbenchmark-dev  # the benchmarks build with the suite, so they keep compiling
cmake --preset ci >/dev/null
cmake --build --preset ci -j "$jobs"
ctest --preset ci -j "$jobs"
# shellcheck disable=SC2046
sh tests/glibc_check.sh $(for l in $material_libraries; do echo "build/ci/bin/$(library_file "$l")"; done)
