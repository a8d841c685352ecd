# The Windows DLLs and every test, cross-built with MinGW-w64 and run under
# wine (headless, with its own prefix in the build folder), warnings as errors.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
need_packages googletest g++-mingw-w64-x86-64-posix wine64
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
ctest --preset windows -j "$jobs"
