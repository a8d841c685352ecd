# The Windows DLLs and every test, cross-built with MinGW-w64 and run under
# wine (headless, with its own prefix in the build folder), warnings as errors.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
need_packages googletest g++-mingw-w64-x86-64-posix wine64
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$jobs"
# One wine server for the whole run: a test that starts while the server of
# the test before it is shutting down fails at random.
export WINEDEBUG=-all WINEPREFIX=$repo/build/windows/wineprefix
/usr/lib/wine/wineserver -p >/dev/null 2>&1 || true  # or one already serves the prefix
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true' EXIT
wine64 wineboot --init >/dev/null 2>&1
ctest --preset windows -j "$jobs"
