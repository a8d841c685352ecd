# materials.orvandel for editors and type checkers: the functions are made
# from the table of the package's compiled loops when it is imported, and
# python/tests/test_typing.py holds these signatures to them. Vectors are
# (..., 3), Jacobians (..., 3, 3), per-cell arrays have the cells on their
# last axis (before the vector axis).
# fmt: off
# (each signature wrapped by hand to one or two lines, as an editor shows it)
from types import MappingProxyType
from typing import Any, Union

import numpy as np
from numpy.typing import ArrayLike, NDArray

# A float where every argument is a plain number, else an array.
_FloatOrArray = Any
_Array = NDArray[np.float64]

EXAMPLE_CELLS: MappingProxyType[str, Any]

# A derivative takes the arguments of its function (dG_dj = G).

def G(j: ArrayLike, jplay_prev: ArrayLike, j_width: ArrayLike) -> _FloatOrArray: ...

dG_dj = G

def j_rev(j: ArrayLike, jrev_prev: ArrayLike, jplay_prev: ArrayLike, j_width: ArrayLike,
          tau: ArrayLike, dt: ArrayLike) -> _FloatOrArray: ...

djrev_dj = j_rev

def Urec(chi: ArrayLike, h: ArrayLike, hrev_prev: ArrayLike, h_ref: ArrayLike) -> _Array: ...

dUrec_dh = Urec

def hrev_k(weight: ArrayLike, chi: ArrayLike, hc_max: ArrayLike, tau_c: ArrayLike, tau: ArrayLike,
           dt: ArrayLike, h: ArrayLike, hrev_prev: ArrayLike, h_ref: ArrayLike) -> _Array: ...

dHrev_k_dH = hrev_k

def h_coupling(hc_a: ArrayLike, tau_c: ArrayLike, hc_b: ArrayLike, b_rate: ArrayLike) -> _Array: ...
def bhyst(hrev_prev: ArrayLike, h_ref: ArrayLike, weight: ArrayLike, chi: ArrayLike, dt: ArrayLike,
          cell_fraction: ArrayLike, h: ArrayLike, hc_max: ArrayLike, tau_c: ArrayLike,
          tau: ArrayLike) -> _Array: ...

dbhyst_dh = bhyst

def j_threshold(rho: ArrayLike, jc: ArrayLike, n: ArrayLike, ec: ArrayLike) -> _FloatOrArray: ...
def e_joule(rho: ArrayLike, jc: ArrayLike, n: ArrayLike, ec: ArrayLike, j: ArrayLike) -> _Array: ...

de_joule_dj = e_joule

# The package's own addition: the exact Jacobian of e_joule, from the library's outputs.
def de_joule_dj_exact(rho: ArrayLike, jc: ArrayLike, n: ArrayLike, ec: ArrayLike,
                      j: ArrayLike) -> _Array: ...

class VectorHysteresis:
    cells: dict[str, _Array]
    dt: float
    cell_fraction: float
    shape: tuple[int, ...]
    hrev: _Array
    def __init__(self, weight: ArrayLike, chi: ArrayLike, hc_max: ArrayLike, tau_c: ArrayLike,
                 tau: ArrayLike, dt: float, cell_fraction: float, shape: Union[int, tuple[int,
                 ...]] = ()) -> None: ...
    def evaluate(self, h: ArrayLike) -> tuple[_Array, _Array]: ...
    def accept(self, h: ArrayLike) -> None: ...
