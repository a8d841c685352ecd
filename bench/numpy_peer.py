#!/usr/bin/python3
"""The fits written with NumPy, a peer for the libraries: each one timed
against materials.<Name> (the package over the built libraries) on the same
arrays, generated once, the two interleaved, best of 7. Prints one JSON
object: per library both times in ns per point and the share of points whose
results differ in any bit; NumPy's version and the SIMD extensions its
runtime found on this CPU; and how often NumPy's pow, exp and log10 differ
from the C library's, which tells whether NumPy used its own vectorised
versions or the C library's.

The formulas keep the libraries' order of operations and call np.power
wherever the libraries call pow (x**2 would square instead, which differs
from the C library's pow(x, 2) in the last bit at 0.1 % of points), so that
where NumPy calls the C library (CPUs without its AVX-512 routines, or with
them switched off through NPY_DISABLE_CPU_FEATURES) the results are the
libraries' bit for bit. Needs the package importable and MATERIALS_LIB_DIR naming the
libraries' folder (bench/run-benchmarks sets both)."""
import json
import math
import os
import runpy
import subprocess
import sys
from pathlib import Path

import numpy as np
from numpy.core import _multiarray_umath as umath

import materials
from python_package import best

N = 100_000
rng = np.random.default_rng(20261208)


# Copper's heat capacity (J/(m^3 K)): on each interval up to its upper bound
# (K, the catalogue's breakpoints) a quartic, coefficients of T^4, T^3, T^2,
# T, 1; above the last bound a line, slope (J/(m^3 K^2)) and intercept.
MIRROBANE_BOUNDS = np.array(
    next(
        a["pieces"]["breakpoints"]
        for entry in materials.catalogue()
        if entry["name"] == "Mirrobane"
        for a in entry["arguments"]
        if "pieces" in a
    )
)
MIRROBANE_COEFFICIENTS = np.array(
    [
        [-0.0308, 7.229, -2.1286, 101.89, 2.5631],
        [-0.3045, 29.871, -455.61, 3469.5, -8250.3],
        [0.0419, -14.024, 1508.9, -31595, 178430],
        [-0.000848, 0.8419, -325.52, 60590, -1290000],
        [-4.8e-05, 0.09173, -64.12, 20363, 1030000],
    ]
)
MIRROBANE_LINE = (1011.9, 3141752.164661)


def mirrobane(T):
    piece = np.searchsorted(MIRROBANE_BOUNDS, T, side="left")  # a bound belongs below
    a4, a3, a2, a1, a0 = MIRROBANE_COEFFICIENTS[np.minimum(piece, 4)].T
    quartic = a0 + (
        ((a4 * np.power(T, 4.0) + a3 * np.power(T, 3.0)) + a2 * np.power(T, 2.0)) + a1 * T
    )
    slope, intercept = MIRROBANE_LINE
    return np.where(piece < len(MIRROBANE_BOUNDS), quartic, slope * T + intercept)


# Aluminium's resistivity: log10 of it in 1e-8 ohm m, a polynomial in log10 T.
WEMBREL_COEFFICIENTS = [
    -4.010635050869012,
    0.207979301275814,
    1.121748209742612,
    -5.738194411483883,
    7.489576522510857,
    -3.299730411832043,
    0.476050395713888,
]


def wembrel(T):
    a = WEMBREL_COEFFICIENTS
    L = np.log10(T)
    S = a[6] * np.power(L, 6.0)
    S = a[5] * np.power(L, 5.0) + S
    S = a[4] * np.power(L, 4.0) + S
    S = S + a[3] * np.power(L, 3.0)
    S = S + (a[2] * L) * L
    S = S + a[1] * L
    return np.power(10.0, a[0] + S) * 1e-08


# Aluminium's heat capacity per kilogram: log10 of it a polynomial in log10 T,
# whose coefficients Pellucer compiles in: the published fit's, as the
# validation keeps them (plain data).
REFERENCE_DATA = Path(__file__).resolve().parents[1] / "validation" / "reference.py"
PELLUCER_COEFFICIENTS = runpy.run_path(str(REFERENCE_DATA))["AL6061_SPECIFIC_HEAT"]
LN10 = 2.302585092994046


def pellucer(T, m):
    a = PELLUCER_COEFFICIENTS
    L = np.log10(T)
    powers = {k: np.power(L, float(k)) for k in range(2, 9)}
    D = (a[2] + a[2]) * L + a[1]
    for k in range(3, 9):
        D = powers[k - 1] * (a[k] * k) + D
    G = D * (1 / (T * LN10))
    P = a[1] * L + a[0]
    for k in range(2, 9):
        P = powers[k] * a[k] + P
    return LN10 * ((np.power(10.0, P) * m) * G)


def daskelt(T, RRR, dividend, divisor, exp=np.exp):
    """Copper's thermal conductivity (W/(m K)) times dividend/divisor. Its
    powers have exponents other than 2, for which `**` is NumPy's pow; with
    exp=ufl.exp the same lines make a UFL expression."""
    beta = 0.634 / RRR
    residual = beta / T
    intrinsic = (T**2.763 * 1.754e-8) / (
        exp(-((70.0 / T) ** 1.756)) * (T**2.598 * 1.932908e-5) + 1.0
    )
    gamma = 0.838 / (beta / 0.0003) ** 0.1661
    both = intrinsic + residual
    return 1.0 / ((gamma * (intrinsic * residual)) / both + both) * (dividend / divisor)


# Iron's B(H): H in A/m, B in T; a line of slope 12.56637061436e-7 T/(A/m)
# beyond the last point.
TAMSERY_H = np.array(
    [
        0.0,
        159.2,
        294.4,
        501.3,
        795.8,
        1154.0,
        1795.0,
        2862.0,
        4383.0,
        6044.0,
        8122.0,
        10590.0,
        13160.0,
        21170.0,
        26750.0,
        33760.0,
        43800.0,
        66000.0,
        99740.0,
        120960.0,
        141210.0,
        169600.0,
        212170.0,
        283130.0,
        339890.0,
        425040.0,
        566950.0,
        850760.0,
        1702300.0,
        2128000.0,
        2837700.0,
        3405100.0,
        4256700.0,
    ]
)
TAMSERY_B = np.array(
    [
        0.0,
        0.8,
        1.2,
        1.4,
        1.5,
        1.55,
        1.6,
        1.65,
        1.7,
        1.75,
        1.8,
        1.85,
        1.9,
        2.0,
        2.05,
        2.1,
        2.15,
        2.2,
        2.249,
        2.275,
        2.3,
        2.3443,
        2.3996,
        2.4905,
        2.5627,
        2.6706,
        2.8498,
        3.2074,
        4.2782,
        4.8134,
        5.7052,
        6.4186,
        7.4887,
    ]
)


def tamsery(H, *unread):
    B = np.interp(H, TAMSERY_H, TAMSERY_B)  # slope first, times H - H[j], plus B[j]
    beyond = (H - TAMSERY_H[-1]) * (np.power(10.0, -7.0) * 12.56637061436) + TAMSERY_B[-1]
    return np.where(H > TAMSERY_H[-1], beyond, B)


def quenrow(k, jx, jy, jz, rho, jc, n, ec):
    threshold = np.power(1 / (n * ec), 1 / (n - 1)) * (
        np.power(jc, n / (n - 1)) * np.power(rho, 1 / (n - 1))
    )
    r = np.sqrt((jy * jy + jx * jx) + jz * jz)
    slope = np.where(
        threshold > r,
        np.power(r / jc, n - 1) * (ec / jc),
        (np.power(threshold / jc, n) * ec + (r - threshold) * rho) / r,
    )
    return slope * np.choose(k.astype(np.int32), [jx, jy, jz])


def orvandel(j, jrev_prev, jplay_prev, j_width, tau, dt):
    d = j - jplay_prev
    a = np.abs(d)
    play = np.where(j_width >= a, jplay_prev, j - (j_width * d) / a)
    return play - (tau / (dt + tau)) * (play - jrev_prev)


def inputs():
    """Arguments of each host function, as a user passes them: the values
    that vary per point as arrays, material parameters as numbers."""
    tape = {
        a["name"]: a["default"]
        for entry in materials.catalogue()
        if entry["name"] == "Quenrow"
        for a in entry["arguments"]
    }  # a superconducting tape
    rho, jc, n, ec = (tape[name] for name in ("rho", "jc", "n", "ec"))
    threshold = (1 / (n * ec)) ** (1 / (n - 1)) * (jc ** (n / (n - 1)) * rho ** (1 / (n - 1)))
    r = rng.uniform(0.5, 1.5, N) * threshold  # both sides of the threshold
    return {
        "Orvandel": (
            rng.uniform(-2e8, 2e8, N),
            rng.uniform(-1e8, 1e8, N),
            rng.uniform(-1e8, 1e8, N),
            5e7,
            1e-3,
            1e-4,
        ),
        "Tamsery": (rng.uniform(0, 5e6, N),),
        "Quenrow": (np.arange(N) % 3.0, r * 0.6, r * 0.8, r * 0.0, rho, jc, n, ec),
        "Daskelt": (rng.uniform(2, 300, N), 100.0, 1.0, 1.0),
        "Mirrobane": (rng.uniform(0, 600, N),),
        "Pellucer": (rng.uniform(4, 300, N), 1.0),
        "Wembrel": (rng.uniform(1, 1400, N),),
    }


FITS = {
    "Orvandel": orvandel,
    "Tamsery": tamsery,
    "Quenrow": quenrow,
    "Daskelt": daskelt,
    "Mirrobane": mirrobane,
    "Pellucer": pellucer,
    "Wembrel": wembrel,
}


def differing_from_libm():
    """The share of points at which NumPy's pow, exp and log10 differ from
    the C library's (Python's math module calls it)."""
    T = rng.uniform(2, 300, N)
    calls = {
        "pow": (lambda x: x**2.763, lambda x: math.pow(x, 2.763)),
        "exp": (lambda x: np.exp(-x / 100), lambda x: math.exp(-x / 100)),
        "log10": (np.log10, math.log10),
    }
    return {
        name: float(np.mean(vectorised(T) != np.array([scalar(x) for x in T])))
        for name, (vectorised, scalar) in calls.items()
    }


def simd():
    """NumPy's own account of the SIMD extensions it was built for and found:
    its baseline, and the dispatch targets this CPU has (each loop takes the
    highest one it was compiled for)."""
    return {
        "numpy": np.__version__,
        "baseline": list(umath.__cpu_baseline__),
        "dispatched": [f for f in umath.__cpu_dispatch__ if umath.__cpu_features__.get(f)],
    }


def measure():
    result = {
        "points": N,
        "simd": simd(),
        "differing_from_libm": differing_from_libm(),
        "libraries": {},
    }
    with np.errstate(all="ignore"):
        for name, args in inputs().items():
            package, fit = getattr(materials, name), FITS[name]
            seconds = best({"package": lambda: package(*args), "numpy": lambda: fit(*args)}, 3)
            ours, theirs = package(*args), fit(*args)
            result["libraries"][name] = {
                "package_ns": seconds["package"] / N * 1e9,
                "numpy_ns": seconds["numpy"] / N * 1e9,
                "differing": float(np.mean(ours.view(np.uint64) != theirs.view(np.uint64))),
            }
    return result


def main():
    """Measures, then, where NumPy dispatches to AVX-512 on this CPU, measures
    again in a process with those targets switched off, as NumPy runs on an
    AVX2 machine (the same seed gives the same arrays)."""
    result = measure()
    avx512 = [f for f in result["simd"]["dispatched"] if f.startswith("AVX512")]
    if avx512:
        result["disabled"] = " ".join(avx512)
        environment = dict(os.environ, NPY_DISABLE_CPU_FEATURES=result["disabled"])
        result["without_avx512"] = json.loads(
            subprocess.run(
                [sys.executable, __file__],
                env=environment,
                check=True,
                capture_output=True,
                text=True,
            ).stdout
        )
    print(json.dumps(result))


if __name__ == "__main__":
    main()
