#!/usr/bin/python3
"""Orvandel's vector hysteresis model from NumPy against a plain C loop over
the exported functions, on the same 10^5 points, with 3 and 8 cells:
orvandel.bhyst + orvandel.dbhyst_dh, and VectorHysteresis.evaluate + accept,
against bench/orvandel_c_loop.c doing the same calls point by point. Best
of REPEATS in the thread's CPU time (user and system), the variants
interleaved: a shared machine's other processes then lengthen no figure by
taking the core away, only by what they do to its caches. Also whether the
package's results equal the loop's bit for bit. Prints one JSON object.

    orvandel_arrays.py LOOP_MODULE   (the built liborvandel_c_loop.so)

Needs the package importable and MATERIALS_LIB_DIR naming the libraries'
folder (bench/run-benchmarks sets both)."""
import ctypes
import json
import sys
import time

import numpy as np

import materials
from materials import orvandel
from python_package import best

POINTS = 100_000
REPEATS = 15  # timings of each variant, the best kept
DT, CELL_FRACTION = 1e-4, 0.9  # s


def cells(count):
    """A model of electrical steel: cell 0 reversible, the others with play
    radii up to 400 A/m, coupling limited to 50 A/m and relaxation; weights
    summing to cell_fraction."""
    chi = np.linspace(0, 400, count)
    play = (chi > 0).astype(float)
    return dict(
        weight=np.full(count, CELL_FRACTION / count),
        chi=chi,
        hc_max=50 * play,
        tau_c=1e-5 * play,
        tau=np.full(count, 1e-5),
    )


def measure(loop, count, rng):
    c = cells(count)
    h = rng.uniform(-600, 600, (POINTS, 3))  # A/m, every direction
    hrev = rng.uniform(-300, 300, (POINTS, count, 3))
    model = materials.VectorHysteresis(**c, dt=DT, cell_fraction=CELL_FRACTION, shape=POINTS)
    B, mu, hrev_next = np.empty((POINTS, 3)), np.empty((POINTS, 3, 3)), np.empty_like(hrev)
    pointer = lambda a: a.ctypes.data  # noqa: E731
    parameters = [pointer(c[n]) for n in ("weight", "chi")]
    limits = [pointer(c[n]) for n in ("hc_max", "tau_c", "tau")]

    def c_evaluate():
        history = (POINTS, count, pointer(hrev), *parameters, DT, CELL_FRACTION, pointer(h))
        loop.c_loop_evaluate(*history, *limits, pointer(B), pointer(mu))

    def c_accept():
        loop.c_loop_accept(
            POINTS, count, pointer(hrev), *parameters, DT, pointer(h), *limits, pointer(hrev_next)
        )

    arguments = (hrev, hrev, c["weight"], c["chi"], DT, CELL_FRACTION, h)
    arguments += (c["hc_max"], c["tau_c"], c["tau"])
    package = {}

    def functions():
        package["B"], package["mu"] = orvandel.bhyst(*arguments), orvandel.dbhyst_dh(*arguments)

    def model_step():
        model.hrev = hrev  # the same history every time
        package["evaluated"] = model.evaluate(h)
        model.accept(h)

    seconds = best(
        {
            "functions": functions,
            "c_functions": c_evaluate,
            "model": model_step,
            "c_model": lambda: (c_evaluate(), c_accept()),
        },
        1,
        repeats=REPEATS,
        timer=time.thread_time,
    )
    identical = (
        package["B"].tobytes() == B.tobytes()
        and package["mu"].tobytes() == mu.tobytes()
        and all(p.tobytes() == q.tobytes() for p, q in zip(package["evaluated"], (B, mu)))
        and model.hrev.tobytes() == hrev_next.tobytes()
    )
    return dict(
        {f"{name}_ns_per_point": s / POINTS * 1e9 for name, s in seconds.items()},
        identical_bits=identical,
    )


def main(loop_module):
    loop = ctypes.CDLL(loop_module)
    for function in (loop.c_loop_evaluate, loop.c_loop_accept):
        function.restype = None
    loop.c_loop_evaluate.argtypes = (
        [ctypes.c_int64, ctypes.c_int32]
        + [ctypes.c_void_p] * 3
        + [ctypes.c_double] * 2
        + [ctypes.c_void_p] * 6
    )
    loop.c_loop_accept.argtypes = (
        [ctypes.c_int64, ctypes.c_int32]
        + [ctypes.c_void_p] * 3
        + [ctypes.c_double]
        + [ctypes.c_void_p] * 5
    )
    rng = np.random.default_rng(20261208)
    print(
        json.dumps(
            {
                "points": POINTS,
                "repeats": REPEATS,
                "cells": {count: measure(loop, count, rng) for count in (3, 8)},
            }
        )
    )


if __name__ == "__main__":
    main(sys.argv[1])
