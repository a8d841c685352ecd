"""Orvandel's model functions from NumPy: the worked examples of the model,
the same bits as one C call per point over every branch and array layout,
and the hysteresis class, step by step and over whole cycles."""
import ctypes
import math

import numpy as np
import pytest

import materials
from conftest import bits
from materials import _orvandel, orvandel

MU0 = 1.2566370614359173e-06  # H/m
Z = [0, 0, 0]
ONE_CELL = ([Z], [Z], [0.5], [1.0], 1.0, 0.5, [2, 0, 0], [0.25], [2.0], [1.0])
TWO_CELLS = (
    [Z, Z],
    [Z, Z],
    [0.25, 0.25],
    [0.0, 1.0],
    1.0,
    0.5,
    [2, 0, 0],
    [0.0, 0.25],
    [0.0, 2.0],
    [1.0, 1.0],
)

# (function, arguments, expected result): Jacobians as full 3x3 matrices.
WORKED_EXAMPLES = [
    ("G", (5, 1, 2), 3.0),
    ("dG_dj", (5, 1, 2), 1.0),
    ("j_rev", (5, 0, 1, 2, 1, 1), 1.5),
    ("djrev_dj", (5, 0, 1, 2, 1, 1), 0.5),
    ("G", (3, 1, 2), 1.0),
    ("dG_dj", (3, 1, 2), 0.0),  # on the band's edge the play holds
    ("j_rev", (2, 0, 1, 2, 1, 1), 0.5),
    ("djrev_dj", (2, 0, 1, 2, 1, 1), 0.0),
    ("Urec", (1, [3, 0, 0], Z, Z), [2, 0, 0]),
    ("dUrec_dh", (1, [3, 0, 0], Z, Z), np.diag([1, 1 - 1 / 3, 1 - 1 / 3])),
    ("Urec", (1, [0.5, 0, 0], Z, Z), Z),
    ("dUrec_dh", (1, [0.5, 0, 0], Z, Z), np.zeros((3, 3))),
    ("Urec", (1, [0.5, 0, 0], Z, [3, 0, 0]), [-0.5, 0, 0]),
    ("hrev_k", (0.5, 1, 1, 2, 1, 1, [2, 0, 0], Z, Z), [0.25, 0, 0]),
    (
        "dHrev_k_dH",
        (0.5, 1, 1, 2, 1, 1, [2, 0, 0], Z, Z),
        np.diag([0.25, 0.125, 0.125]),
    ),
    ("hrev_k", (0.5, 1, 0.25, 2, 1, 1, [2, 0, 0], Z, Z), [0.375, 0, 0]),
    (
        "dHrev_k_dH",
        (0.5, 1, 0.25, 2, 1, 1, [2, 0, 0], Z, Z),
        np.diag([0.5, 0.1875, 0.1875]),
    ),
    ("h_coupling", (2, MU0, 0.5, [0.3, 0.4, 0]), [0.3, 0.4, 0]),
    ("h_coupling", (2, MU0, 0.5, [0, 4, 0]), [0, 1, 0]),
    ("bhyst", ONE_CELL, [1.4922565104551518e-06, 0, 0]),
    ("dbhyst_dh", ONE_CELL, 9.424777960769379e-07 * np.eye(3)),
    ("bhyst", TWO_CELLS, [1.688606051304514e-06, 0, 0]),
    ("dbhyst_dh", TWO_CELLS, MU0 * np.diag([0.75, 0.671875, 0.671875])),
    ("j_threshold", (1, 1, 2, 1), 0.5),
    ("e_joule", (1, 1, 2, 1, [0.25, 0, 0]), [0.0625, 0, 0]),
    ("de_joule_dj", (1, 1, 2, 1, [0.25, 0, 0]), np.diag([0.75, 0.5, 0.5])),
    ("e_joule", (1, 1, 2, 1, [0.5, 0, 0]), [0.25, 0, 0]),  # at the threshold: linear
    ("de_joule_dj", (1, 1, 2, 1, [0.5, 0, 0]), np.eye(3)),
    ("e_joule", (1, 1, 2, 1, [1, 0, 0]), [0.75, 0, 0]),
]


def test_worked_examples():
    assert sorted({name for name, *_ in WORKED_EXAMPLES}) == sorted(_orvandel.model_functions)
    for name, args, expected in WORKED_EXAMPLES:
        got = getattr(orvandel, name)(*args)
        assert np.shape(got) == np.shape(expected), name
        np.testing.assert_allclose(got, expected, rtol=1e-15, atol=0, err_msg=name)


# The C types, to call the exported functions one point at a time as a C
# program does.
class Vec3(ctypes.Structure):
    _fields_ = [(n, ctypes.c_double) for n in "xyz"]


class Sym3(ctypes.Structure):
    _fields_ = [(n, ctypes.c_double) for n in ("xx", "xy", "xz", "yy", "yz", "zz")]


class Ten3(ctypes.Structure):
    _fields_ = [
        (n, ctypes.c_double) for n in ("xx", "xy", "xz", "yx", "yy", "yz", "zx", "zy", "zz")
    ]


C_PARAMETERS = {
    "s": ctypes.c_double,
    "v": Vec3,
    "S": ctypes.c_void_p,
    "V": ctypes.c_void_p,
    "n": ctypes.c_int32,
}
C_RESULTS = {
    b"s": (ctypes.c_double, lambda r: [r]),
    b"v": (Vec3, lambda r: [r.x, r.y, r.z]),
    b"y": (Sym3, lambda r: [r.xx, r.xy, r.xz, r.xy, r.yy, r.yz, r.xz, r.yz, r.zz]),
    b"t": (Ten3, lambda r: [getattr(r, n) for n, _ in Ten3._fields_]),
}


def one_point_at_a_time(name, args):
    """What a C loop over the broadcast points gives: one call of the
    exported function per point, its arguments taken at that point."""
    row = next(r for r in _orvandel._rows if r.name.decode() == name)
    function = getattr(ctypes.CDLL(str(materials.library_path("Orvandel"))), name)
    kinds = row.kinds.decode()
    function.argtypes = [C_PARAMETERS[k] for k in kinds]
    function.restype, entries = C_RESULTS[row.result]
    kinds = kinds.replace("n", "")
    arrays = [np.asarray(a, dtype=np.float64) for a in args]
    cells = next((a.shape[-1] for a, k in zip(arrays, kinds) if k == "S"), 0)
    core = {"s": 0, "v": 1, "S": 1, "V": 2}
    shape = np.broadcast_shapes(*(a.shape[: a.ndim - core[k]] for a, k in zip(arrays, kinds)))
    arrays = [
        np.broadcast_to(a, shape + a.shape[a.ndim - core[k] :]) for a, k in zip(arrays, kinds)
    ]
    values = []
    for index in np.ndindex(shape):
        points = [np.ascontiguousarray(a[index]) for a in arrays]  # alive during the call
        operands = [cells] * ("n" in row.kinds.decode()) + [
            float(p) if k == "s" else Vec3(*p) if k == "v" else p.ctypes.data
            for p, k in zip(points, kinds)
        ]
        values.append(entries(function(*operands)))
    return np.reshape(
        values,
        shape + (3, 3) if row.result in b"yt" else shape + (3,) if row.result == b"v" else shape,
    )


# Points over every branch: j inside and outside the play's band, the
# vector play holding (|h - history| below chi) and moving, a cell whose
# coupling is limited whenever its play moves (hc_max 1e-3 A/m), a cell
# without relaxation (tau 0), E(J) on both sides of its threshold. The
# forms vary: broadcast scalars and cells, a (2, 1) axis against the points,
# vectors in Fortran order, a reversed view of the history.
rng = np.random.default_rng(20)
POINTS = 24
h = np.asfortranarray(rng.uniform(-700, 700, (POINTS, 3)))
history = rng.uniform(-300, 300, (POINTS, 3, 3))
CELLS = dict(
    weight=[0.3, 0.1, 0.1],
    chi=[0.0, 200, 500],
    hc_max=[0.0, 50, 1e-3],
    tau_c=[0.0, 0.05, 0.2],
    tau=[0.01, 0.0, 0.02],
)
j = rng.uniform(-5, 5, POINTS)
# The arguments of each function over all points; a derivative takes its
# function's arguments.
CELL = (0.5, CELLS["chi"], CELLS["hc_max"], CELLS["tau_c"], CELLS["tau"], 0.05)
FLUX = (history, history[:, ::-1], CELLS["weight"], CELLS["chi"], 0.05, 0.5, h)
FLUX += (CELLS["hc_max"], CELLS["tau_c"], CELLS["tau"])
ARGUMENTS = {
    "G": (j, 0.5, [[2.0], [0.0]]),
    "j_rev": (j, j[::-1], 0.5, 2.0, [[0.0], [1.0]], 0.5),
    "Urec": ([[200.0], [500.0]], h, history[:, 1], history[:, 2]),
    "hrev_k": CELL + (h[:, np.newaxis], history, history[:, ::-1]),
    "h_coupling": (2, MU0, [[0.5], [1e-3]], h * 1e-3),
    "bhyst": FLUX,
    "j_threshold": ([1, 2], 1, [[2.0], [3.0]], 1),
    "e_joule": (1, 1, 2, 1, h * 1e-3),
}
DERIVATIVES = {
    "dG_dj": "G",
    "djrev_dj": "j_rev",
    "dUrec_dh": "Urec",
    "dHrev_k_dH": "hrev_k",
}
DERIVATIVES.update(dbhyst_dh="bhyst", de_joule_dj="e_joule")
BATCHES = {**ARGUMENTS, **{d: ARGUMENTS[f] for d, f in DERIVATIVES.items()}}


def test_same_bits_as_one_c_call_per_point():
    held = np.all(orvandel.Urec(500, h, history[:, 1], history[:, 2]) == history[:, 1], axis=-1)
    assert 0 < held.sum() < POINTS  # the play holds at some points and moves at others
    for name, args in BATCHES.items():
        assert bits(getattr(orvandel, name)(*args)) == bits(one_point_at_a_time(name, args)), name
    with pytest.raises(ValueError, match=r"\(\.\.\., 3\)"):
        orvandel.e_joule(1, 1, 2, 1, [1, 0])


def test_vector_hysteresis_advances_every_cell_as_hrev_k_does():
    """evaluate gives bhyst and dbhyst_dh of the accepted history, and
    accept makes each cell's history its hrev_k, point by point."""
    model = materials.VectorHysteresis(**CELLS, dt=0.05, cell_fraction=0.5, shape=POINTS)
    hrev = np.zeros((POINTS, 3, 3))
    for field in (h, -0.5 * h, h[::-1]):
        cells = (
            hrev,
            hrev,
            CELLS["weight"],
            CELLS["chi"],
            0.05,
            0.5,
            field,
            CELLS["hc_max"],
            CELLS["tau_c"],
            CELLS["tau"],
        )
        B, mu = model.evaluate(field)
        assert bits(B) == bits(one_point_at_a_time("bhyst", cells))
        assert bits(mu) == bits(one_point_at_a_time("dbhyst_dh", cells))
        model.accept(field)
        hrev = one_point_at_a_time(
            "hrev_k",
            (
                0,
                CELLS["chi"],
                CELLS["hc_max"],
                CELLS["tau_c"],
                CELLS["tau"],
                0.05,
                field[:, np.newaxis],
                hrev,
                hrev,
            ),
        )
        assert bits(model.hrev) == bits(hrev)


def test_vector_hysteresis_closes_its_loop_and_dissipates():
    """The examples' three cells under h = 1000 sin(2 pi t / 10 s) A/m for
    three periods: from the second period on B repeats, and the work of h on
    B over a period, the energy dissipated, is positive. Two material points
    driven by two fields evolve as two separate models."""
    steps = 200  # per period
    model = materials.VectorHysteresis(**orvandel.EXAMPLE_CELLS, shape=2)
    alone = materials.VectorHysteresis(**orvandel.EXAMPLE_CELLS)
    h, B = [], []
    for step in range(1, 3 * steps + 1):
        field = [
            [1000 * math.sin(2 * math.pi * step / steps), 0, 0],
            [0, 300 * math.cos(2 * math.pi * step / steps), 0],
        ]
        flux, mu = model.evaluate(field)
        assert flux.shape == (2, 3) and mu.shape == (2, 3, 3)
        if step % 50 == 0:
            np.testing.assert_array_equal(alone.evaluate(field[0])[0], flux[0])
        model.accept(field)
        alone.accept(field[0])
        h.append(field[0][0])
        B.append(flux[0, 0])
    h, B = np.array(h), np.array(B)
    second, third = slice(steps, 2 * steps), slice(2 * steps, 3 * steps)
    assert np.abs(B[third] - B[second]).max() < 1e-9 * np.abs(B).max()
    work = np.sum(0.5 * (h[third] + np.roll(h[third], 1)) * (B[third] - np.roll(B[third], 1)))
    assert work > 0
