# The finite-element examples in examples/ (DOLFINx from Debian) at their
# small size, on 1 and on 2 MPI processes, with the Python package installed
# as a user installs it; then the deal.II example, built in a folder of its
# own, the same way. An example exits 1 when its check fails; each run
# must also leave its PNG plots and CSV files, and its closing figure on 2
# processes must agree with the one on 1 to the solvers' tolerance, 1e-8 (the
# figures are relative deviations).
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_packages python3-dolfinx python3-mpi4py python3-gmsh python3-matplotlib openmpi-bin \
  libdeal.ii-dev
python=$(install_python_package)
mpirun=(mpirun --oversubscribe)
[ "$(id -u)" -ne 0 ] || mpirun+=(--allow-run-as-root)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# figure FILE : the checked figure of a run's closing line.
figure() { sed -n 's/.* \([-+.0-9e]*\) (limit .*/\1/p' "$1" | tail -n 1; }
# same_figure NAME LOGS : a failure unless LOGS-1.log and LOGS-2.log close on
# the same figure.
same_figure() {
  local one two
  one=$(figure "$2-1.log") two=$(figure "$2-2.log")
  if ! awk -v a="$one" -v b="$two" 'BEGIN { d = a - b; exit !(a != "" && b != "" && d * d <= 1e-16) }'
  then
    echo "FAILED: $1 gives $one on 1 process and $two on 2"
    failed=$((failed + 1))
  fi
}

passed=0 failed=0 start=$SECONDS
for example in quench iron_ring ac_loss current_dump magnetostatics magnetostatics_sphere \
    transport_current_loss; do
  for processes in 1 2; do
    folder=$out/$example-$processes
    if timeout 600 "${mpirun[@]}" -n "$processes" "$python" "examples/$example.py" \
        --size small --out "$folder" | tee "$folder.log" &&
        compgen -G "$folder/$example*.png" >/dev/null && compgen -G "$folder/$example*.csv" >/dev/null
    then
      passed=$((passed + 1))
    else
      echo "FAILED: $example on $processes process(es)"
      failed=$((failed + 1))
    fi
  done
  same_figure "$example" "$out/$example"
done
# The deal.II example: its check, and the same closing figure on 1 and 2
# processes (its solver's tolerance, as above).
dealii_build=$repo/build/examples-dealii
dealii_start=$SECONDS
cmake -S . -B "$dealii_build" -DCMAKE_BUILD_TYPE=Release -DMATERIAL_BUILD_TESTS=OFF >/dev/null
cmake --build "$dealii_build" -j "$jobs" --target dealii_magnetostatics >/dev/null
echo "deal.II example built in $((SECONDS - dealii_start)) s"
for processes in 1 2; do
  if timeout 600 "${mpirun[@]}" -n "$processes" "$dealii_build/bin/dealii_magnetostatics" |
      tee "$out/dealii-$processes.log"; then
    passed=$((passed + 1))
  else
    echo "FAILED: the deal.II example on $processes process(es)"
    failed=$((failed + 1))
  fi
done
same_figure "the deal.II example" "$out/dealii"
# A failed check ends a run with its closing line and status 1: with 40
# steps the current dump misses both its checks (backward Euler's error).
if "$python" examples/current_dump.py --steps 40 --out "$out/failing" >"$out/failing.log" 2>&1 ||
    ! grep -q "(limit 0.01) FAIL, 1 earlier check failed; eval" "$out/failing.log"; then
  cat "$out/failing.log"
  echo "FAILED: current_dump with failing checks did not end with them and status 1"
  failed=$((failed + 1))
else
  passed=$((passed + 1))
fi
echo "$passed passed, $failed failed in $((SECONDS - start)) s (example runs)"
[ "$failed" -eq 0 ]
