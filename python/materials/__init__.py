"""The material libraries from NumPy.

One function per host function, named as its library, with the arguments,
units, defaults and ranges that `materials list` shows:

    >>> import materials
    >>> materials.Wembrel([4.2, 77, 300])          # resistivity of aluminium, ohm m
    >>> materials.Daskelt(T, RRR=300)              # thermal conductivity of copper, W/(m K)

Each one evaluates the real library (installed with this package, or the one
in the folder MATERIALS_LIB_DIR names) through its entry points, over its
arguments broadcast against each other. A point the library refuses raises
EvalError with the library's message, the point's index and inputs, and the
values computed before it. Points outside the range where a fit means
something physically are computed and flagged with an OutsideMeaningfulRange
warning.

Library(path) drives any library of this interface by file name;
materials.orvandel has the hysteresis model's functions and the class
VectorHysteresis. The functions' signatures are listed in __init__.pyi
beside this module, for editors and type checkers."""
from . import _catalogue
from ._catalogue import OutsideMeaningfulRange, catalogue
from ._files import package_version as _package_version
from ._library import EvalError, Library, library_path
from . import orvandel
from .orvandel import VectorHysteresis

__version__ = _package_version()

_host_functions = _catalogue.host_functions()
globals().update(_host_functions)

__all__ = [
    "EvalError",
    "OutsideMeaningfulRange",
    "Library",
    "library_path",
    "catalogue",
    "orvandel",
    "VectorHysteresis",
    *_host_functions,
]
