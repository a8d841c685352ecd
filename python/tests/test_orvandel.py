"""Orvandel's model functions from NumPy: the worked examples of the model,
the leading axes, and the hysteresis class over whole cycles."""
import math

import numpy as np
import pytest

import materials
from materials import orvandel

MU0 = 1.2566370614359173e-06  # H/m
Z = [0, 0, 0]
ONE_CELL = ([Z], [Z], [0.5], [1.0], 1.0, 0.5, [2, 0, 0], [0.25], [2.0], [1.0])
TWO_CELLS = ([Z, Z], [Z, Z], [0.25, 0.25], [0.0, 1.0], 1.0, 0.5, [2, 0, 0], [0.0, 0.25],
             [0.0, 2.0], [1.0, 1.0])

# (function, arguments, expected result): Jacobians as full 3x3 matrices.
WORKED_EXAMPLES = [
    ("G", (5, 1, 2), 3.0), ("dG_dj", (5, 1, 2), 1.0),
    ("j_rev", (5, 0, 1, 2, 1, 1), 1.5), ("djrev_dj", (5, 0, 1, 2, 1, 1), 0.5),
    ("G", (3, 1, 2), 1.0), ("dG_dj", (3, 1, 2), 0.0),  # on the band's edge the play holds
    ("j_rev", (2, 0, 1, 2, 1, 1), 0.5), ("djrev_dj", (2, 0, 1, 2, 1, 1), 0.0),
    ("Urec", (1, [3, 0, 0], Z, Z), [2, 0, 0]),
    ("dUrec_dh", (1, [3, 0, 0], Z, Z), np.diag([1, 1 - 1 / 3, 1 - 1 / 3])),
    ("Urec", (1, [0.5, 0, 0], Z, Z), Z), ("dUrec_dh", (1, [0.5, 0, 0], Z, Z), np.zeros((3, 3))),
    ("Urec", (1, [0.5, 0, 0], Z, [3, 0, 0]), [-0.5, 0, 0]),
    ("hrev_k", (0.5, 1, 1, 2, 1, 1, [2, 0, 0], Z, Z), [0.25, 0, 0]),
    ("dHrev_k_dH", (0.5, 1, 1, 2, 1, 1, [2, 0, 0], Z, Z), np.diag([0.25, 0.125, 0.125])),
    ("hrev_k", (0.5, 1, 0.25, 2, 1, 1, [2, 0, 0], Z, Z), [0.375, 0, 0]),
    ("dHrev_k_dH", (0.5, 1, 0.25, 2, 1, 1, [2, 0, 0], Z, Z), np.diag([0.5, 0.1875, 0.1875])),
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
    assert sorted({name for name, *_ in WORKED_EXAMPLES}) == sorted(
        n for n in orvandel.__all__ if n != "VectorHysteresis")
    for name, args, expected in WORKED_EXAMPLES:
        got = getattr(orvandel, name)(*args)
        assert np.shape(got) == np.shape(expected), name
        np.testing.assert_allclose(got, expected, rtol=1e-15, atol=0, err_msg=name)


def test_leading_axes_broadcast_point_by_point():
    """Batched arguments give, point by point, what single calls give:
    scalars and vectors against each other, and cell arrays with history."""
    h = np.array([[2.0, 0, 0], [0, -3, 1], [0.2, 0.1, 0]])
    hc_max = np.array([[1.0], [0.25]])  # (2, 1) against h's (3,): points (2, 3)
    J = orvandel.dHrev_k_dH(0.5, 1, hc_max, 2, 1, 1, h, Z, [0.1, 0, 0])
    assert J.shape == (2, 3, 3, 3)
    for i, j in np.ndindex(2, 3):
        np.testing.assert_array_equal(
            J[i, j], orvandel.dHrev_k_dH(0.5, 1, hc_max[i, 0], 2, 1, 1, h[j], Z, [0.1, 0, 0]))
    history = np.random.default_rng(7).normal(size=(3, 2, 3))
    B = orvandel.bhyst(history, history, [0.25, 0.25], [0.0, 1.0], 1.0, 0.5, h,
                       [0.0, 0.25], [0.0, 2.0], [1.0, 1.0])
    assert B.shape == (3, 3)
    for j in range(3):
        np.testing.assert_array_equal(B[j], orvandel.bhyst(
            history[j], history[j], [0.25, 0.25], [0.0, 1.0], 1.0, 0.5, h[j],
            [0.0, 0.25], [0.0, 2.0], [1.0, 1.0]))
    with pytest.raises(ValueError, match=r"\(\.\.\., 3\)"):
        orvandel.e_joule(1, 1, 2, 1, [1, 0])


def test_vector_hysteresis_closes_its_loop_and_dissipates():
    """The README's three cells under h = 1000 sin(2 pi t / 10 s) A/m for three
    periods: from the second period on B repeats, and the work of h on B
    over a period, the energy dissipated, is positive. Two material points
    driven by two fields evolve as two separate models."""
    cells = dict(weight=[0.2, 0.2, 0.1], chi=[0, 200, 500], hc_max=[0, 50, 20],
                 tau_c=[0, 0.05, 0.2], tau=[0.01, 0.01, 0.02], dt=0.05, cell_fraction=0.5)
    steps = 200  # per period
    model = materials.VectorHysteresis(**cells, shape=2)
    alone = materials.VectorHysteresis(**cells)
    h, B = [], []
    for step in range(1, 3 * steps + 1):
        field = [[1000 * math.sin(2 * math.pi * step / steps), 0, 0],
                 [0, 300 * math.cos(2 * math.pi * step / steps), 0]]
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
