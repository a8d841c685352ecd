# Each libFuzzer target for a bounded time, starting from the committed seed
# corpus. A crash, a sanitizer report or a broken frame rule fails the stage
# and leaves the input that did it in build/fuzz/findings/.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
need_packages clang libclang-rt-14-dev
seconds=${FUZZ_SECONDS:-60}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
findings=build/fuzz/findings
mkdir -p "$findings"
for target in fuzz_eval fuzz_orvandel; do
  echo "-- $target, $seconds s"
  # New inputs go to a scratch folder; the committed corpus stays as it is.
  work=$(mktemp -d)
  log=build/fuzz/$target.log
  status=0
  build/fuzz/bin/$target -max_total_time="$seconds" -max_len=512 -timeout=10 \
    -artifact_prefix="$findings/$target-" -print_final_stats=1 \
    "$work" "tests/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  rm -rf "$work"
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    echo "$target failed (status $status); the input is in $findings"
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added)' "$log"
done
