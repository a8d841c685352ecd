"""Orvandel's model functions from NumPy: the scalar play with relaxation, the
vector hysteresis model of B(h) and the power-law field E(J), each with its
derivatives, taken from the library the host function Orvandel uses.

Vectors are arrays of shape (..., 3); Jacobians come back as (..., 3, 3)
with entry [..., i, j] the derivative of component i of the result with
respect to component j of the variable (a symmetric one expanded). Every
function works point by point over the leading axes of its arguments,
broadcast against each other, and is pure: the caller owns the history.

Units: h in A/m, B in T, J in A/m^2, E in V/m, rho in ohm m. Time constants
and the time step share one unit of the caller's choosing: only their
ratios enter.

Each call walks all its points in compiled code, without the interpreter
lock, calling Orvandel's own function at every point: the values are the
library's, bit for bit, as from a C loop over the points.

VectorHysteresis keeps the cells' parameters and history for you, and
EXAMPLE_CELLS holds the cells of the package's examples. de_joule_dj_exact
is the package's own addition, not one of the library's functions: the
exact Jacobian of e_joule, formed from the library's outputs.

The functions' names, arguments and results are listed in orvandel.pyi
beside this module, for editors and type checkers."""
from . import _orvandel
from ._orvandel import EXAMPLE_CELLS, VectorHysteresis, de_joule_dj_exact

globals().update(_orvandel.model_functions)
__all__ = [*_orvandel.model_functions, "VectorHysteresis", "EXAMPLE_CELLS", "de_joule_dj_exact"]
