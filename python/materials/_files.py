"""The file a library lies in: the one rule that the package's loader and its
build (setup.py) both follow, and the same as every host's."""
import sys


def library_file(name):
    """libName.so, or Name.dll on Windows, for the library of host function
    `name`."""
    return f"{name}.dll" if sys.platform == "win32" else f"lib{name}.so"
