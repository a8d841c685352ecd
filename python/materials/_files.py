"""Where the package's files lie: the rule for a library's file name that the
package's loader and its build (setup.py) both follow, the same as every
host's; the one search for a library's folder; and the version, which
CMakeLists.txt's project() declares. Standard library only: setup.py runs
this file before the package exists."""
import os
import re
import sys
from pathlib import Path

# The package's own library beside the material libraries: the compiled
# loops that walk Orvandel's model functions over arrays
# (python/native/orvandel_arrays.cpp).
ARRAY_LOOPS = "OrvandelArrays"

_PACKAGE = Path(__file__).resolve().parent
# A checkout: the package's folder python/materials/ in the repository.
_REPOSITORY = _PACKAGE.parent.parent


def library_file(name):
    """libName.so, or Name.dll on Windows, for the library of host function
    `name`."""
    return f"{name}.dll" if sys.platform == "win32" else f"lib{name}.so"


def library_folders(name):
    """The folders searched for library `name`, in order: the one the
    variable MATERIALS_LIB_DIR names when it is set, then the package's own
    lib/. A material library comes from the first alone, when it is set:
    evaluating another than the build asked for would pass unnoticed. The
    package's loops, which serve any Orvandel, fall back to the second."""
    chosen = os.environ.get("MATERIALS_LIB_DIR")
    folders = [(Path(chosen), "MATERIALS_LIB_DIR")] if chosen else []
    if not chosen or name == ARRAY_LOOPS:
        folders.append((_PACKAGE / "lib", "the package"))
    return folders


def package_file(name, checkout):
    """A data file that the build copies into the package (installed), or
    its source at `checkout` under the repository (a checkout)."""
    installed = _PACKAGE / name
    return installed if installed.is_file() else _REPOSITORY / checkout


def project_version(cmake_lists):
    """The version that project() declares in CMakeLists.txt: the one
    version of the libraries and of this package."""
    match = re.search(r"project\(\s*\w+\s+VERSION\s+([0-9.]+)", Path(cmake_lists).read_text())
    if match is None:
        raise RuntimeError(f"{cmake_lists} declares no project version")
    return match.group(1)


def package_version():
    """This package's version: the checkout's CMakeLists.txt's, or the one
    setup.py installed with it from there."""
    cmake_lists = _REPOSITORY / "CMakeLists.txt"
    if cmake_lists.is_file():
        return project_version(cmake_lists)
    from importlib.metadata import version

    return version("materials")
