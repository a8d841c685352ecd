# The Python package as a user installs it: pip builds the seven libraries
# into the package in a virtual environment, and pytest runs against the
# installed package from outside the checkout.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_packages python3-pytest
python=$(install_python_package)
cd "$(mktemp -d)"
"$python" -m pytest -q -p no:cacheprovider "$repo/python/tests"
# The README's example, as a user runs it.
need_packages python3-matplotlib
"$python" "$repo/examples/from_python.py" "$PWD/from-python.png" >/dev/null
