"""The file a library lies in: the one rule that the package's loader and its
build (setup.py) both follow, and the same as every host's."""
import sys

# The package's own library beside the material libraries: the compiled
# loops that walk Orvandel's model functions over arrays
# (python/native/orvandel_arrays.cpp).
ARRAY_LOOPS = "OrvandelArrays"


def library_file(name):
    """libName.so, or Name.dll on Windows, for the library of host function
    `name`."""
    return f"{name}.dll" if sys.platform == "win32" else f"lib{name}.so"
