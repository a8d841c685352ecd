# The snippets of the README and docs/ whose output the pages quote, run as a
# reader runs them (the build in build/default, the package in a virtual
# environment at ~/materials-venv, a terminal for their output), each
# compared with its quote; see tests/doc_snippets.py for how a page marks them.
source "$(dirname "$0")/../lib.sh"
cd "$repo"
need_build_packages
need_packages python3-dolfinx python3-mpi4py python3-gmsh python3-matplotlib openmpi-bin
cmake --preset default >/dev/null
# shellcheck disable=SC2086
cmake --build --preset default -j "$jobs" --target materials $material_libraries >/dev/null
python=$(install_python_package)
/usr/bin/python3 tests/doc_snippets.py "$(dirname "$(dirname "$python")")" README.md docs/*.md
