# The package's interface for editors and type checkers: the host
# functions are made from the catalogue when the package is imported, and
# python/tests/test_typing.py holds these signatures to them.
# fmt: off
# (each signature wrapped by hand to one or two lines, as an editor shows it)
from os import PathLike
from pathlib import Path
from typing import Any, Optional, Sequence, Union

import numpy as np
from numpy.typing import ArrayLike, NDArray

from . import orvandel as orvandel
from .orvandel import VectorHysteresis as VectorHysteresis

__version__: str

# A float where every argument is a plain number, else an array of the
# arguments' broadcast shape.
_FloatOrArray = Any
_Out = Optional[NDArray[np.float64]]

class EvalError(ValueError):
    message: str
    index: tuple[int, ...]
    inputs: dict[str, float]
    values: NDArray[np.float64]
    library: str
    accepted: str
    def __init__(self, message: str, index: tuple[int, ...], inputs: dict[str, float],
                 values: NDArray[np.float64], library: str = "", accepted: str = "") -> None: ...

class OutsideMeaningfulRange(UserWarning): ...

class Library:
    path: Path
    def __init__(self, path: Union[str, PathLike[str]]) -> None: ...
    def last_error(self) -> Optional[str]: ...
    def address(self, symbol: str) -> int: ...
    def test_yaml(self) -> Optional[str]: ...
    def eval(self, function_name: str, *columns: ArrayLike, out: _Out = None,
             names: Optional[Sequence[str]] = None) -> _FloatOrArray: ...

def library_path(name: str) -> Path: ...
def catalogue() -> list[dict[str, Any]]: ...
def Orvandel(j: ArrayLike, jrev_prev: ArrayLike, jplay_prev: ArrayLike, j_width: ArrayLike,
             tau: ArrayLike, dt: ArrayLike, *, out: _Out = None) -> _FloatOrArray: ...
def Tamsery(H: ArrayLike, input1: ArrayLike = 0.0, input2: ArrayLike = 0.0, input3: ArrayLike = 0.0,
            *, out: _Out = None) -> _FloatOrArray: ...
def Quenrow(k: ArrayLike, Jx: ArrayLike, Jy: ArrayLike = 0.0, Jz: ArrayLike = 0.0,
            rho: ArrayLike = 2e-09, jc: ArrayLike = 10000000000.0, n: ArrayLike = 30.0,
            ec: ArrayLike = 0.0001, *, out: _Out = None) -> _FloatOrArray: ...
def Daskelt(T: ArrayLike, RRR: ArrayLike = 100.0, dividend: ArrayLike = 1.0,
            divisor: ArrayLike = 1.0, *, out: _Out = None) -> _FloatOrArray: ...
def Mirrobane(T: ArrayLike, *, out: _Out = None) -> _FloatOrArray: ...
def Pellucer(T: ArrayLike, m: ArrayLike = 1.0, *, out: _Out = None) -> _FloatOrArray: ...
def Wembrel(T: ArrayLike, *, out: _Out = None) -> _FloatOrArray: ...
