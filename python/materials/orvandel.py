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
import inspect

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

# The fourteen functions: result type, arguments in the header's order, and
# what each computes. An argument is a double, or name:v a Vec3, name:c an
# array of a double per cell, name:cv an array of a Vec3 per cell; a
# function with cell arrays takes the cell count first, from the arrays.
_CELLS = "hrev_prev:cv h_ref:cv weight:c chi:c dt cell_fraction h:v hc_max:c tau_c:c tau:c"
_CELL = "weight chi hc_max tau_c tau dt h:v hrev_prev:v h_ref:v"
_FUNCTIONS = {
    "G": (_D, "j jplay_prev j_width",
          "The scalar play: jplay_prev while |j - jplay_prev| <= j_width, else j dragged "
          "at distance j_width; its value is the play's next state."),
    "dG_dj": (_D, "j jplay_prev j_width",
              "dG/dj: 0 inside the band (its edge included), 1 outside or for NaN."),
    "j_rev": (_D, "j jrev_prev jplay_prev j_width tau dt",
              "The reversible current density: one backward-Euler step of length dt of "
              "tau dy/dt = G - y from y = jrev_prev (what materials.Orvandel evaluates)."),
    "djrev_dj": (_D, "j jrev_prev jplay_prev j_width tau dt", "dj_rev/dj."),
    "Urec": (Vec3, "chi h:v hrev_prev:v h_ref:v",
             "One cell's vector play of radius chi: hrev_prev while h lies within chi of "
             "both hrev_prev and h_ref, else the point at distance chi from h towards "
             "hrev_prev."),
    "dUrec_dh": (Sym3, "chi h:v hrev_prev:v h_ref:v",
                 "dUrec/dh for fixed hrev_prev and h_ref; zero where the play holds."),
    "hrev_k": (Vec3, _CELL,
               "One cell's new reversible field: the play output relaxed with tau/dt and "
               "held back by a coupling of slope tau_c/dt limited to hc_max (weight unused)."),
    "dHrev_k_dH": (Ten3, _CELL, "dH/dh of hrev_k, with hrev_prev and h_ref held fixed."),
    "h_coupling": (Vec3, "hc_a tau_c hc_b b_rate:v",
                   "The coupling law alone: (tau_c/mu0) b_rate limited to the magnitude "
                   "hc_a hc_b."),
    "bhyst": (Vec3, _CELLS,
              "B = mu0 ((1 - cell_fraction) h + sum_k weight[k] hrev_k) in T."),
    "dbhyst_dh": (Ten3, _CELLS,
                  "dB/dh in T m/A; cell 0 enters as a cell without play or coupling, "
                  "mu0 weight[0] / (1 + tau[0]/dt) I."),
    "j_threshold": (_D, "rho jc n ec",
                    "The |J| at which the power law's slope reaches rho, A/m^2."),
    "e_joule": (Vec3, "rho jc n ec j:v",
                "E(J) in V/m: ec (|J|/jc)^n below the threshold, a straight line of slope "
                "rho above it, along J."),
    "de_joule_dj": (Ten3, "rho jc n ec j:v",
                    "The tangent tensor of e_joule in ohm m: n |E|/|J| I + (n - 1) |E|/|J|^3 "
                    "J J^T below the threshold, rho I from it on."),
}
_KINDS = {"": _D, "v": Vec3, "c": ctypes.c_void_p, "cv": ctypes.c_void_p}
_RESULT_NAMES = {_D: "float", Vec3: "vector (..., 3)", Sym3: "symmetric Jacobian (..., 3, 3)",
                 Ten3: "Jacobian (..., 3, 3)"}


def _point_shape(kind, cells):
    return {"": (), "v": (3,), "c": (cells,), "cv": (cells, 3)}[kind]


def _model_function(name):
    restype, signature, summary = _FUNCTIONS[name]
    arguments = [(a.partition(":")[0], a.partition(":")[2]) for a in signature.split()]
    per_cell = any(kind.startswith("c") for _, kind in arguments)
    result_shape, entries = _RESULTS[restype]

    @functools.lru_cache(maxsize=None)
    def symbol():
        function = getattr(_library("Orvandel")._dll, name)
        function.argtypes = [ctypes.c_int32] * per_cell + [_KINDS[k] for _, k in arguments]
        function.restype = restype
        return function

    signature = inspect.Signature([inspect.Parameter(a, inspect.Parameter.POSITIONAL_OR_KEYWORD)
                                   for a, _ in arguments])

    def function(*args, **kwargs):
        values = signature.bind(*args, **kwargs).args
        arrays = [_real_array(v, a) for v, (a, _) in zip(values, arguments)]
        cells = next((a.shape[-1] if a.ndim else 0 for a, (_, kind) in zip(arrays, arguments)
                      if kind == "c"), None)
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
    function.__signature__ = signature
    function.__doc__ = (
        f"Returns a {_RESULT_NAMES[restype]}. {summary}\n\nThe function of Orvandel's C header orvandel.h, point by point over "
        "the leading axes of the arguments broadcast against each other: vectors "
        "(..., 3)" + (", per-cell arrays with the cells on their last axis (before the "
                      "vector axis of hrev_prev and h_ref)" if per_cell else "") + ".")
    return function


for _name in _FUNCTIONS:
    globals()[_name] = _model_function(_name)


class VectorHysteresis:
    """The vector hysteresis model with its cells' parameters and history,
    at one material point or at an array of them (shape).

    evaluate(h) gives B and dB/dh for a trial field; accept(h) makes h the
    field of the accepted step and advances each cell's history, its
    reversible field, which also serves as the reference vector of the
    play's keep test. A loop:

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
        self.shape = tuple(int(n) for n in np.atleast_1d(shape))
        self.hrev = np.zeros(self.shape + (count, 3))  # each cell's reversible field

    def evaluate(self, h):
        """B (..., 3) in T and dB/dh (..., 3, 3) in T m/A at the field h
        (..., 3), A/m, from the accepted history."""
        c = self.cells
        arguments = (self.hrev, self.hrev, c["weight"], c["chi"], self.dt, self.cell_fraction,
                     h, c["hc_max"], c["tau_c"], c["tau"])
        return bhyst(*arguments), dbhyst_dh(*arguments)

    def accept(self, h):
        """Takes h as the field of the accepted step: each cell's reversible
        field becomes the one evaluate used."""
        h = np.broadcast_to(_real_array(h, "h"), self.shape + (3,))
        c = self.cells
        fresh = np.stack([hrev_k(c["weight"][k], c["chi"][k], c["hc_max"][k], c["tau_c"][k],
                                 c["tau"][k], self.dt, h, self.hrev[..., k, :],
                                 self.hrev[..., k, :])
                          for k in range(c["weight"].shape[0])], axis=-2)
        self.hrev = fresh
