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

VectorHysteresis keeps the cells' parameters and history for you."""
import ctypes
import functools

import numpy as np

from ._catalogue import _library
from ._library import _real_array

__all__ = ["G", "dG_dj", "j_rev", "djrev_dj", "Urec", "dUrec_dh", "hrev_k", "dHrev_k_dH",
           "h_coupling", "bhyst", "dbhyst_dh", "j_threshold", "e_joule", "de_joule_dj",
           "VectorHysteresis"]

_D = ctypes.c_double


class Vec3(ctypes.Structure):
    _fields_ = [(n, _D) for n in ("x", "y", "z")]


class Sym3(ctypes.Structure):
    _fields_ = [(n, _D) for n in ("xx", "xy", "xz", "yy", "yz", "zz")]


class Ten3(ctypes.Structure):
    _fields_ = [(n, _D) for n in ("xx", "xy", "xz", "yx", "yy", "yz", "zx", "zy", "zz")]


# Each result type as NumPy: its shape per point and its entries row by row.
_SYM3_FULL = ["xx", "xy", "xz", "xy", "yy", "yz", "xz", "yz", "zz"]
_RESULTS = {
    _D: ((), lambda r: r),
    Vec3: ((3,), lambda r: (r.x, r.y, r.z)),
    Sym3: ((3, 3), lambda r: [getattr(r, n) for n in _SYM3_FULL]),
    Ten3: ((3, 3), lambda r: [getattr(r, n) for n, _ in Ten3._fields_]),
}

# The fourteen functions: result type and arguments in the header's order.
# An argument is a double, or name:v a Vec3, name:c an array of a double
# per cell, name:cv an array of a Vec3 per cell; a function with cell
# arrays takes the cell count first, from the arrays.
_FUNCTIONS = {
    "G": (_D, "j jplay_prev j_width"),
    "dG_dj": (_D, "j jplay_prev j_width"),
    "j_rev": (_D, "j jrev_prev jplay_prev j_width tau dt"),
    "djrev_dj": (_D, "j jrev_prev jplay_prev j_width tau dt"),
    "Urec": (Vec3, "chi h:v hrev_prev:v h_ref:v"),
    "dUrec_dh": (Sym3, "chi h:v hrev_prev:v h_ref:v"),
    "hrev_k": (Vec3, "weight chi hc_max tau_c tau dt h:v hrev_prev:v h_ref:v"),
    "dHrev_k_dH": (Ten3, "weight chi hc_max tau_c tau dt h:v hrev_prev:v h_ref:v"),
    "h_coupling": (Vec3, "hc_a tau_c hc_b b_rate:v"),
    "bhyst": (Vec3, "hrev_prev:cv h_ref:cv weight:c chi:c dt cell_fraction h:v "
                    "hc_max:c tau_c:c tau:c"),
    "dbhyst_dh": (Ten3, "hrev_prev:cv h_ref:cv weight:c chi:c dt cell_fraction h:v "
                        "hc_max:c tau_c:c tau:c"),
    "j_threshold": (_D, "rho jc n ec"),
    "e_joule": (Vec3, "rho jc n ec j:v"),
    "de_joule_dj": (Ten3, "rho jc n ec j:v"),
}
_KINDS = {"": _D, "v": Vec3, "c": ctypes.c_void_p, "cv": ctypes.c_void_p}


def _point_shape(kind, cells):
    return {"": (), "v": (3,), "c": (cells,), "cv": (cells, 3)}[kind]


def _model_function(name):
    restype, signature = _FUNCTIONS[name]
    arguments = [(a.partition(":")[0], a.partition(":")[2]) for a in signature.split()]
    per_cell = any(kind.startswith("c") for _, kind in arguments)
    result_shape, entries = _RESULTS[restype]

    @functools.lru_cache(maxsize=None)
    def symbol():
        function = getattr(_library("Orvandel")._dll, name)
        function.argtypes = [ctypes.c_int32] * per_cell + [_KINDS[k] for _, k in arguments]
        function.restype = restype
        return function

    def function(*values):
        if len(values) != len(arguments):
            raise TypeError(f"{name}() takes {len(arguments)} arguments, not {len(values)}")
        arrays = [_real_array(v, a) for v, (a, _) in zip(values, arguments)]
        cells = arrays[2].shape[-1] if per_cell and arrays[2].ndim else 1  # weight
        cores = [_point_shape(kind, cells) for _, kind in arguments]
        for array, core, (a, _) in zip(arrays, cores, arguments):
            if array.shape[array.ndim - len(core):] != core or array.ndim < len(core):
                raise ValueError(f"{a} must have shape (..., {', '.join(map(str, core))}), "
                                 f"not {array.shape}")
        shape = np.broadcast_shapes(*(a.shape[:a.ndim - len(c)] for a, c in zip(arrays, cores)))
        arrays = [np.ascontiguousarray(np.broadcast_to(a, shape + c))
                  for a, c in zip(arrays, cores)]
        call = symbol()
        result = np.empty(shape + result_shape)
        for index in np.ndindex(shape):
            operands = [cells] * per_cell
            for array, (_, kind) in zip(arrays, arguments):
                point = array[index]
                operands.append(float(point) if kind == "" else Vec3(*point) if kind == "v"
                                else point.ctypes.data)
            result[index] = np.reshape(entries(call(*operands)), result_shape)
        return float(result) if result.ndim == 0 else result

    function.__name__ = function.__qualname__ = name
    function.__doc__ = (
        f"{name}({', '.join(a for a, _ in arguments)}) -> {restype.__name__}: see orvandel.h. "
        "Vectorised over the leading axes; vectors (..., 3), per-cell arrays with the "
        "cells on their last axis (before the vector axis of hrev_prev and h_ref).")
    return function


for _name in _FUNCTIONS:
    globals()[_name] = _model_function(_name)


class VectorHysteresis:
    """The vector hysteresis model with its cells' parameters and history,
    at one material point or at an array of them (shape).

    evaluate(h) gives B and dB/dh for a trial field; accept(h) makes h the
    field of the accepted step and advances each cell's history (its
    reversible field, and its reference vector with it). A loop:

        model = VectorHysteresis(weight, chi, hc_max, tau_c, tau, dt, cell_fraction)
        for h in fields:
            B, mu = model.evaluate(h)     # solve with them ...
            model.accept(h)               # ... then advance the history

    Cell 0 enters dB/dh by the closed form of a cell without play and
    coupling: give it chi = 0 and tau_c = 0 for dB/dh to be the exact
    derivative of B."""

    def __init__(self, weight, chi, hc_max, tau_c, tau, dt, cell_fraction, shape=()):
        self.cells = {n: np.array(v, dtype=np.float64, ndmin=1)
                      for n, v in (("weight", weight), ("chi", chi), ("hc_max", hc_max),
                                   ("tau_c", tau_c), ("tau", tau))}
        count = self.cells["weight"].shape[-1]
        if any(v.shape != (count,) for v in self.cells.values()):
            raise ValueError("weight, chi, hc_max, tau_c and tau need one value per cell")
        self.dt, self.cell_fraction = float(dt), float(cell_fraction)
        self.shape = tuple(np.atleast_1d(shape)) if np.ndim(shape) else (
            (int(shape),) if shape != () else ())
        self.hrev = np.zeros(self.shape + (count, 3))  # each cell's reversible field
        self.h_ref = np.zeros(self.shape + (count, 3))  # and its reference vector

    def _arguments(self, h):
        c = self.cells
        return (self.hrev, self.h_ref, c["weight"], c["chi"], self.dt, self.cell_fraction,
                h, c["hc_max"], c["tau_c"], c["tau"])

    def evaluate(self, h):
        """B (..., 3) in T and dB/dh (..., 3, 3) in T m/A at the field h
        (..., 3), A/m, from the accepted history."""
        return bhyst(*self._arguments(h)), dbhyst_dh(*self._arguments(h))

    def accept(self, h):
        """Takes h as the field of the accepted step: each cell's reversible
        field becomes the one evaluate used, and its reference vector too."""
        h = np.broadcast_to(_real_array(h, "h"), self.shape + (3,))
        c = self.cells
        fresh = np.stack([hrev_k(c["weight"][k], c["chi"][k], c["hc_max"][k], c["tau_c"][k],
                                 c["tau"][k], self.dt, h, self.hrev[..., k, :],
                                 self.h_ref[..., k, :])
                          for k in range(c["weight"].shape[0])], axis=-2)
        self.hrev = fresh
        self.h_ref = fresh.copy()
