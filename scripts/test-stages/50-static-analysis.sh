# The layout of every C, C++ and Python file (clang-format with .clang-format,
# black and flake8 with pyproject.toml and .flake8); then clang-tidy (checks in
# .clang-tidy; host-program/ adds its headers) and cppcheck over common/,
# every library's sources, the Python package's native loops and the host
# program. Any finding fails the stage.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
need_packages clang-tidy cppcheck clang-format black flake8
echo "-- clang-format, black, flake8"
git ls-files -z '*.c' '*.h' '*.cpp' '*.hpp' | xargs -0 clang-format --dry-run --Werror
git ls-files -z '*.py' '*.pyi' | xargs -0 black --check --quiet
git ls-files -z '*.py' | xargs -0 flake8
echo "-- mypy" && need_packages mypy python3-numpy && mypy  # files and settings: pyproject.toml
build=${STATIC_ANALYSIS_BUILD:-build/static-analysis}
cmake -S . -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DMATERIAL_BUILD_TESTS=OFF >/dev/null
sources=$(find common cryo iron efield hysteresis python/native host-program -maxdepth 1 -name '*.cpp' 2>/dev/null | sort)
echo "-- clang-tidy"
# One file per run, on every core: the host program alone takes minutes.
# (Its count of warnings in system headers, all filtered out, is noise.)
# shellcheck disable=SC2086
printf '%s\n' $sources | xargs -P "$jobs" -n 1 clang-tidy -p "$build" --quiet 2>&1 |
  { grep -v 'warnings\? generated' || true; }
echo "-- cppcheck"
# Vectors and tensors of three to nine doubles go by value: that is how the
# model's published interface passes them. The host program is checked with
# its plots, as it is built where PLplot is installed.
cppcheck --quiet --error-exitcode=1 --enable=warning,performance,portability \
  --suppress=passedByValue --inline-suppr --std=c++17 --language=c++ -D__x86_64__ \
  -DHOST_PROGRAM_PLPLOT -I common -I hysteresis/include -I hysteresis -I host-program $sources
