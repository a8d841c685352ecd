"""Orvandel's model functions over NumPy arrays, made from the table of the
package's compiled loops, and the class VectorHysteresis: the
implementation of materials.orvandel."""
import ctypes
import inspect
from types import MappingProxyType

import numpy as np

from ._files import ARRAY_LOOPS
from ._library import DOUBLE_BYTES, library_path, loaded, real_array

# The vector model of the package's examples and its validation: cell 0
# reversible (no play, no coupling), two cells with play and coupling;
# weights and the cell fraction are dimensionless, chi and hc_max in A/m,
# tau_c, tau and dt in s.
EXAMPLE_CELLS = MappingProxyType(
    {
        "weight": (0.2, 0.2, 0.1),
        "chi": (0.0, 200.0, 500.0),
        "hc_max": (0.0, 50.0, 20.0),
        "tau_c": (0.0, 0.05, 0.2),
        "tau": (0.01, 0.01, 0.02),
        "dt": 0.05,
        "cell_fraction": 0.5,
    }
)


class _ArrayFunction(ctypes.Structure):
    """One row of the loops' table (see its source for the letters)."""

    _fields_ = [
        ("name", ctypes.c_char_p),
        ("arguments", ctypes.c_char_p),
        ("kinds", ctypes.c_char_p),
        ("result", ctypes.c_char),
        ("summary", ctypes.c_char_p),
        ("walk", ctypes.c_void_p),
    ]


def _load_loops():
    """The compiled loops: their table lists the model functions, and one
    call walks one of them over all points. They call the functions of
    whichever Orvandel the package loads, so the loops of any build serve."""
    try:
        path = library_path(ARRAY_LOOPS)
    except FileNotFoundError as missing:
        raise ImportError(
            f"materials.orvandel needs its compiled loops: {missing}; install the "
            "package, or set MATERIALS_LIB_DIR to a build's bin/"
        ) from None
    loops = ctypes.CDLL(str(path))
    loops.orvandel_array_walk.argtypes = [
        ctypes.c_int32,
        ctypes.c_void_p,
        ctypes.c_int32,
        ctypes.c_int32,
    ] + [ctypes.c_void_p] * 4
    loops.orvandel_array_walk.restype = ctypes.c_int32
    table = ctypes.cast(
        ctypes.addressof(_ArrayFunction.in_dll(loops, "orvandel_array_functions")),
        ctypes.POINTER(_ArrayFunction),
    )
    rows: list[_ArrayFunction] = []
    while table[len(rows)].name is not None:
        rows.append(table[len(rows)])
    return loops.orvandel_array_walk, rows


# A parameter's values at one point, by its kind letter: a scalar, a
# vector, a scalar or a vector per cell. The cell count (n) has no array.
_POINT_SHAPES = {
    "s": lambda cells: (),
    "v": lambda cells: (3,),
    "S": lambda cells: (cells,),
    "V": lambda cells: (cells, 3),
}
# A result by its letter: its shape per point and what it is.
_RESULTS = {
    b"s": ((), "float"),
    b"v": ((3,), "vector (..., 3)"),
    b"y": ((3, 3), "symmetric Jacobian (..., 3, 3)"),
    b"t": ((3, 3), "Jacobian (..., 3, 3)"),
}


def _contiguous_point(array, point_shape):
    """array, or a copy of it where a point's values (a vector, a row of
    cells) do not lie contiguous and aligned as the loops read them. Only
    the values given are copied, never their broadcast."""
    contiguous_stride = DOUBLE_BYTES
    for n, stride in zip(reversed(point_shape), reversed(array.strides)):
        if n > 1 and stride != contiguous_stride:
            return np.ascontiguousarray(array)
        contiguous_stride *= n
    return array if array.flags.aligned else np.ascontiguousarray(array)


def _point_shapes(arrays, kinds, names):
    """The cell count (from the per-cell arrays), each argument's shape at
    one point, and the broadcast shape of the points; ValueError naming an
    argument whose trailing axes do not fit its kind."""
    cells = next((a.shape[-1] if a.ndim else 0 for a, k in zip(arrays, kinds) if k == "S"), 0)
    cores = [_POINT_SHAPES[kind](cells) for kind in kinds]
    for array, core, a in zip(arrays, cores, names):
        if array.shape[array.ndim - len(core) :] != core or array.ndim < len(core):
            raise ValueError(
                f"{a} must have shape (..., {', '.join(map(str, core))}), not {array.shape}"
            )
    shape = np.broadcast_shapes(*(a.shape[: a.ndim - len(c)] for a, c in zip(arrays, cores)))
    return cells, cores, shape


def _model_function(index, row):
    name = row.name.decode()
    names = row.arguments.decode().split()
    kinds = row.kinds.decode()  # one letter per C parameter, the cell count's too
    argument_kinds = kinds.replace("n", "")
    argument_positions = [k for k, kind in enumerate(kinds) if kind != "n"]
    result_shape, result_name = _RESULTS[row.result]
    per_cell = "n" in kinds
    signature = inspect.Signature(
        [inspect.Parameter(a, inspect.Parameter.POSITIONAL_OR_KEYWORD) for a in names]
    )
    address = None

    def function(*args, **kwargs):
        nonlocal address
        values = signature.bind(*args, **kwargs).args
        arrays = [real_array(v, a) for v, a in zip(values, names)]
        cells, cores, shape = _point_shapes(arrays, argument_kinds, names)
        result = np.empty(shape + result_shape)
        if result.size:
            # Each argument as a view of the broadcast shape: a broadcast
            # axis has stride 0 and is read in place.
            operands = [
                np.broadcast_to(_contiguous_point(a, c), shape + c) for a, c in zip(arrays, cores)
            ]
            data = (ctypes.c_void_p * len(kinds))()
            strides = np.zeros((len(shape), len(kinds)), dtype=np.int64)
            for k, operand in zip(argument_positions, operands):
                data[k] = operand.ctypes.data
                strides[:, k] = operand.strides[: len(shape)]
            if address is None:
                address = loaded("Orvandel").address(name)
            extent = np.array(shape, dtype=np.int64)
            axes = (cells, len(shape), extent.ctypes.data)
            if not _walk(index, address, *axes, data, strides.ctypes.data, result.ctypes.data):
                raise RuntimeError(f"the loops refused {name} over {len(shape)} axes")
        return float(result) if result.ndim == 0 else result

    function.__name__ = function.__qualname__ = name
    function.__signature__ = signature  # type: ignore[attr-defined]
    cell_axis = ", per-cell arrays with the cells on their last axis (before the vector axis"
    function.__doc__ = (
        f"Returns a {result_name}. {row.summary.decode()}\n\nThe function of Orvandel's C "
        "header orvandel.h, point by point over the leading axes of the arguments broadcast "
        "against each other: vectors (..., 3)"
        + (f"{cell_axis} of hrev_prev and h_ref)." if per_cell else ".")
    )
    function.__module__ = "materials.orvandel"
    return name, function


_walk, _rows = _load_loops()
# {name: function} of the fourteen model functions, in the table's order.
model_functions = dict(_model_function(index, row) for index, row in enumerate(_rows))
bhyst, dbhyst_dh, hrev_k = (model_functions[n] for n in ("bhyst", "dbhyst_dh", "hrev_k"))
j_threshold, e_joule, de_joule_dj = (
    model_functions[n] for n in ("j_threshold", "e_joule", "de_joule_dj")
)


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
    derivative of B. EXAMPLE_CELLS holds the cells of the package's
    examples: VectorHysteresis(**EXAMPLE_CELLS)."""

    __module__ = "materials.orvandel"

    def __init__(self, weight, chi, hc_max, tau_c, tau, dt, cell_fraction, shape=()):
        self.cells = {
            n: np.array(v, dtype=np.float64, ndmin=1)
            for n, v in (
                ("weight", weight),
                ("chi", chi),
                ("hc_max", hc_max),
                ("tau_c", tau_c),
                ("tau", tau),
            )
        }
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
        arguments = (
            self.hrev,
            self.hrev,
            c["weight"],
            c["chi"],
            self.dt,
            self.cell_fraction,
            h,
            c["hc_max"],
            c["tau_c"],
            c["tau"],
        )
        return bhyst(*arguments), dbhyst_dh(*arguments)

    def accept(self, h):
        """Takes h as the field of the accepted step: each cell's reversible
        field becomes the one evaluate used."""
        h = np.broadcast_to(real_array(h, "h"), self.shape + (3,))
        c = self.cells
        # Every cell of every point in one walk: the cells are the last
        # leading axis, h the same for all cells of a point.
        self.hrev = hrev_k(
            c["weight"],
            c["chi"],
            c["hc_max"],
            c["tau_c"],
            c["tau"],
            self.dt,
            h[..., np.newaxis, :],
            self.hrev,
            self.hrev,
        )


def de_joule_dj_exact(rho, jc, n, ec, j):
    """Returns the Jacobian (..., 3, 3) of e_joule, exact on both sides of
    the threshold: the package's own addition, formed from the library's
    outputs (j_threshold, e_joule, de_joule_dj) over the same arguments.

    e_joule is E = s(|J|) J, so its exact Jacobian is

        dE/dJ = s I + (slope - s) J (x) J / |J|^2,

    with s = |E|/|J| the secant and slope = d|E|/d|J|. The library's
    de_joule_dj returns n s I + (n - 1) s J (x) J / |J|^2 below the
    threshold (slope n s: its identity part is n times s rather than s), and
    rho I above it (slope rho: its J (x) J part, rho - s, is left out). Along
    J the library is (2n - 1) s below the threshold where the true slope is
    n s; across J it is n s or rho where the true value is s. At J = 0 the
    power law's s is 0 (n > 1) and the library's tensor is kept."""
    j = np.asarray(j, dtype=np.float64)
    library = de_joule_dj(rho, jc, n, ec, j)
    r = np.linalg.norm(j, axis=-1)
    moving = r > 0
    safe_r = np.where(moving, r, 1.0)
    s = np.where(moving, np.linalg.norm(e_joule(rho, jc, n, ec, j), axis=-1) / safe_r, 0.0)
    below = j_threshold(rho, jc, n, ec) > r  # the library's own test of the regime
    unit = j / safe_r[..., np.newaxis]
    # below: take (n - 1) s off the identity; above: rho I becomes s I plus
    # (rho - s) along J (rho broadcast, as the library takes it per point)
    identity_change = np.where(below, -(np.asarray(n) - 1.0) * s, s - np.asarray(rho))
    along_change = np.where(below | ~moving, 0.0, np.asarray(rho) - s)
    along = unit[..., :, np.newaxis] * unit[..., np.newaxis, :]
    return (
        library
        + identity_change[..., np.newaxis, np.newaxis] * np.eye(3)
        + along_change[..., np.newaxis, np.newaxis] * along
    )


de_joule_dj_exact.__module__ = "materials.orvandel"
