# The Python package as a user installs it: pip builds the seven libraries
# into the package in a virtual environment, and pytest runs against the
# installed package from outside the checkout; then again with NumPy as on a
# CPU without AVX-512 (its own vectorised exp, log and pow off), so that a
# machine with AVX-512 also tests what one without it computes.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_packages python3-pytest python3-matplotlib
python=$(install_python_package)
without_avx512=$("$python" -m validation.libm)
cd "$(mktemp -d)"
"$python" -m pytest -q -p no:cacheprovider "$repo/python/tests"
NPY_DISABLE_CPU_FEATURES=$without_avx512 "$python" -m pytest -q -p no:cacheprovider "$repo/python/tests"
# The README's example, as a user runs it.
"$python" "$repo/examples/from_python.py" "$PWD/from-python.png" >/dev/null
