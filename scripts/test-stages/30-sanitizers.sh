# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the thread test under ThreadSanitizer. Any report fails the stage.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
for preset in asan tsan; do
  echo "-- $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done
