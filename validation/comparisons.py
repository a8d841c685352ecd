"""Each library evaluated through its entry points (the materials package)
and set against its reference: the numbers, curves and limits the
validation report states. Every check is a relative deviation held to a
limit; python/tests/test_validation.py asserts each one. A fit's limit sits
a little above the deviation it has today, so that a change that moves the
fit fails; a law's or a model's limit is what the numerics allow.

Nothing here restates a library's formula: library values come from the
libraries, reference values from reference.py."""
import functools
import math
from dataclasses import dataclass, field

import numpy as np
from numpy.polynomial.legendre import leggauss

import materials
from materials import orvandel

from validation import reference as ref

GRID_POINTS = 1001  # per curve, spaced evenly in log T


@dataclass(frozen=True)
class Check:
    """One row of the report: the largest relative deviation found, signed,
    where it lies, and the limit the report holds |worst| to."""
    label: str
    over: str
    worst: float
    at: str
    limit: float


@dataclass
class Section:
    checks: list
    data: dict = field(default_factory=dict)


def worst_of(deviation, where, label, over, limit, unit):
    """The Check of the largest |deviation| over the points `where`."""
    i = int(np.argmax(np.abs(deviation)))
    return Check(label, over, float(deviation[i]), f"{number(where[i], 4)} {unit}", limit)


def number(x, digits=6):
    """x to `digits` significant digits, plain between 0.001 and 1e7
    (0.25, 53.35, 4256700), else with a short exponent (2e-9, 1.35e10)."""
    x = float(f"{x:.{digits}g}")
    if x == 0 or 1e-3 <= abs(x) < 1e7:
        return f"{x:f}".rstrip("0").rstrip(".")
    mantissa, exponent = f"{x:.{digits - 1}e}".split("e")
    return f"{mantissa.rstrip('0').rstrip('.')}e{int(exponent)}"


def span(low, high, unit=""):
    return f"{number(low)}–{number(high)} {unit}".rstrip()


def log_grid(low, high, points=GRID_POINTS):
    return np.geomspace(low, high, points)  # both ends exact


def catalogue_entry(name):
    return next(e for e in materials.catalogue() if e["name"] == name)


def defaults(name):
    return {a["name"]: a["default"] for a in catalogue_entry(name)["arguments"]}


# ---- The ranges the report finds meaningful: where each fit agrees with its
# reference within the limits below. common/catalogue.json states the same
# ("meaningful"); the test holds the two together.
DASKELT_RANGE_K = ref.COPPER_CONDUCTIVITY_RANGE_K
DASKELT_RRR_RANGE = (min(ref.COPPER_CONDUCTIVITY), max(ref.COPPER_CONDUCTIVITY))
MIRROBANE_RANGE_K = ref.COPPER_SPECIFIC_HEAT_RANGE_K
# Wembrel: from where the reference begins to its last point within the limit.
WEMBREL_RANGE_K = (ref.ALUMINIUM_RESISTIVITY_PURITY_BELOW_K, 500.0)
# Tamsery's table is iron's own curve, which no reference here covers below
# the knee: its meaningful range is the table's, to its last point. Beyond,
# a straight line of slope mu0 holds B - mu0 H constant.
TAMSERY_TABLE_END = 4256700.0  # A/m
TAMSERY_RANGE = (0.0, TAMSERY_TABLE_END)
MEANINGFUL = {
    ("Daskelt", "T"): DASKELT_RANGE_K,
    ("Daskelt", "RRR"): DASKELT_RRR_RANGE,
    ("Mirrobane", "T"): MIRROBANE_RANGE_K,
    ("Wembrel", "T"): WEMBREL_RANGE_K,
    ("Tamsery", "H"): TAMSERY_RANGE,
}


# ---- Daskelt: thermal conductivity of copper against the NIST fits by RRR.
DASKELT_LIMITS = {50: 0.025, 100: 0.025, 150: 0.025, 300: 0.03, 500: 0.035}


def daskelt():
    T = log_grid(*DASKELT_RANGE_K)
    over = span(*DASKELT_RANGE_K, "K")
    curves, checks = {}, []
    for rrr, (stated, _) in ref.COPPER_CONDUCTIVITY.items():
        k = materials.Daskelt(T, RRR=float(rrr))
        k_ref = ref.copper_conductivity(T, rrr)
        deviation = k / k_ref - 1
        curves[rrr] = (k, k_ref, deviation, stated)
        checks.append(worst_of(deviation, T, f"RRR {rrr}", over, DASKELT_LIMITS[rrr], "K"))
    return Section(checks, {"T": T, "curves": curves})


# ---- Mirrobane: heat capacity per volume of copper against the NIST
# specific heat times the density; and the jumps where its pieces meet.
MIRROBANE_SPLIT_K = ref.COPPER_SPECIFIC_HEAT_ERROR[1][0]  # where NIST's stated error changes
MIRROBANE_LIMITS = (0.07, 0.05)  # below and above the split
MIRROBANE_JUMP_LIMIT = 0.0025  # relative, the largest jump at a breakpoint
# Where Mirrobane's quartic pieces meet (each breakpoint belongs to the piece
# below it) and, last, where its straight tail begins.
MIRROBANE_BREAKPOINTS_K = (9.441, 31.134, 123.34, 306.12, 498.15)


def mirrobane():
    T = log_grid(*MIRROBANE_RANGE_K)
    C = materials.Mirrobane(T)
    C_ref = ref.COPPER_DENSITY * ref.log_polynomial_fit(ref.COPPER_SPECIFIC_HEAT, T)
    deviation = C / C_ref - 1
    low = T < MIRROBANE_SPLIT_K
    below = span(MIRROBANE_RANGE_K[0], MIRROBANE_SPLIT_K, "K")
    above = span(MIRROBANE_SPLIT_K, MIRROBANE_RANGE_K[1], "K")
    checks = [worst_of(deviation[low], T[low], "heat capacity", below, MIRROBANE_LIMITS[0], "K"),
              worst_of(deviation[~low], T[~low], "heat capacity", above, MIRROBANE_LIMITS[1],
                       "K")]
    at = np.array(MIRROBANE_BREAKPOINTS_K)
    left = materials.Mirrobane(at)
    right = materials.Mirrobane(np.nextafter(at, math.inf))
    jumps = [(b, l, r, r - l, (r - l) / l) for b, l, r in zip(at, left, right)]
    checks.append(worst_of(np.array([j[4] for j in jumps]), at, "jump at a breakpoint",
                           "the five breakpoints", MIRROBANE_JUMP_LIMIT, "K"))
    return Section(checks, {"T": T, "C": C, "C_ref": C_ref, "deviation": deviation,
                            "jumps": jumps})


# ---- Pellucer: m dC/dT against the derivative of the NIST 6061-T6 fit, by
# a fourth-order central difference, and its integral against the fit's
# difference. The difference quotient's own error (rounding in the fit's
# cancelling sum over a step of 1e-3 T) is about 1e-7; the quadrature's
# (Gauss-Legendre in ln T, 64 panels of 10 nodes) far below 1e-9.
PELLUCER_STEP = 1e-3  # relative step in T
PELLUCER_DERIVATIVE_LIMIT = 1e-6
PELLUCER_INTEGRAL_LIMIT = 1e-9
PELLUCER_PANELS, PELLUCER_NODES = 64, 10


def al6061_specific_heat(T):
    return ref.log_polynomial_fit(ref.AL6061_SPECIFIC_HEAT, T)


def pellucer():
    low, high = ref.AL6061_SPECIFIC_HEAT_RANGE_K
    T = log_grid(low, high)
    derivative = materials.Pellucer(T)  # m = 1
    h = PELLUCER_STEP * T
    difference = (8 * (al6061_specific_heat(T + h) - al6061_specific_heat(T - h))
                  - (al6061_specific_heat(T + 2 * h) - al6061_specific_heat(T - 2 * h))) / (12 * h)
    deviation = derivative / difference - 1
    # The integral over ln T: dT = T d(ln T); the nodes lie inside (4, 300).
    x, w = leggauss(PELLUCER_NODES)
    edges = np.linspace(math.log(low), math.log(high), PELLUCER_PANELS + 1)
    half = (edges[1:, None] - edges[:-1, None]) / 2
    u = edges[:-1, None] + half * (x + 1)
    nodes = np.exp(u)
    integral = float(np.sum(materials.Pellucer(nodes) * nodes * half * w))
    rise = float(al6061_specific_heat(high) - al6061_specific_heat(low))
    over = span(low, high, "K")
    checks = [worst_of(deviation, T, "dC/dT against the difference quotient", over,
                       PELLUCER_DERIVATIVE_LIMIT, "K"),
              Check("integral against c_p(300 K) − c_p(4 K)", over, integral / rise - 1, "",
                    PELLUCER_INTEGRAL_LIMIT)]
    return Section(checks, {"T": T, "derivative": derivative, "difference": difference,
                            "deviation": deviation, "integral": integral, "rise": rise})


# ---- Wembrel: resistivity of aluminium against the CRC/Desai values.
WEMBREL_LIMIT = 0.30
WEMBREL_PLOT_K = (1.0, 1400.0)


def wembrel():
    table = np.array(ref.ALUMINIUM_RESISTIVITY)
    T_ref, rho_ref = table[:, 0], table[:, 1] * ref.ALUMINIUM_RESISTIVITY_UNIT
    rho_at_ref = materials.Wembrel(T_ref)
    deviation = rho_at_ref / rho_ref - 1
    inside = (T_ref >= WEMBREL_RANGE_K[0]) & (T_ref <= WEMBREL_RANGE_K[1])
    checks = [worst_of(deviation[inside], T_ref[inside], "resistivity",
                       span(*WEMBREL_RANGE_K, "K"), WEMBREL_LIMIT, "K")]
    T = log_grid(*WEMBREL_PLOT_K)
    # Where no reference reaches: the fit's turning points below 40 K.
    T_low = log_grid(0.2, WEMBREL_RANGE_K[0], 4001)
    rho_low = materials.Wembrel(T_low)
    turns = np.nonzero(np.diff(np.sign(np.diff(rho_low))))[0] + 1
    return Section(checks, {"T": T, "rho": materials.Wembrel(T), "T_ref": T_ref,
                            "rho_ref": rho_ref, "rho_at_ref": rho_at_ref,
                            "deviation": deviation,
                            "turns": [(T_low[i], rho_low[i]) for i in turns]})


# ---- Tamsery: B(H) of iron; far above the knee B - mu0 H against the
# saturation polarization of iron.
TAMSERY_SATURATED_FROM = 212170.0  # A/m, a table point: from here on within the limit
TAMSERY_CHECKED_TO = 1e7  # A/m, past the table's end
TAMSERY_LIMIT = 0.01


def tamsery():
    H = np.concatenate(([0.0], log_grid(10.0, TAMSERY_CHECKED_TO, 1201)))
    B = materials.Tamsery(H)
    polarization = B - ref.MU0 * H
    saturated = H >= TAMSERY_SATURATED_FROM
    deviation = polarization / ref.IRON_SATURATION_POLARIZATION - 1
    checks = [worst_of(deviation[saturated], H[saturated], "B − μ0H against J_s",
                       span(TAMSERY_SATURATED_FROM, TAMSERY_CHECKED_TO, "A/m"),
                       TAMSERY_LIMIT, "A/m")]
    return Section(checks, {"H": H, "B": B, "polarization": polarization,
                            "deviation": deviation})


# ---- Quenrow: |E|(|J|) across the threshold, with the catalogue's defaults
# (a superconducting tape). The threshold Jth is the one Orvandel's
# j_threshold gives: the same law, Orvandel's copy. One-sided second-order
# differences over a step of 1e-6 Jth give the slope on each side to about
# 1e-9.
QUENROW_VALUE_LIMIT = 1e-12  # E(Jc) = Ec, and |E| continuous at Jth
QUENROW_SLOPE_LIMIT = 1e-6  # the slope on each side of Jth against rho
QUENROW_STEP = 1e-6  # relative


def quenrow():
    p = defaults("Quenrow")
    law = (p["rho"], p["jc"], p["n"], p["ec"])

    def field(J):  # |E| for J along x
        return materials.Quenrow(0.0, J, 0.0, 0.0, *law)

    rho, jc, _, ec = law
    threshold = orvandel.j_threshold(*law)
    below = np.nextafter(threshold, 0.0)
    d = QUENROW_STEP * threshold
    slope_below = (3 * field(below) - 4 * field(below - d) + field(below - 2 * d)) / (2 * d)
    slope_above = (4 * field(threshold + d) - 3 * field(threshold)
                   - field(threshold + 2 * d)) / (2 * d)
    checks = [Check("E(Jc) against Ec", "at Jc", field(jc) / ec - 1, "", QUENROW_VALUE_LIMIT),
              Check("|E| just below Jth against |E| at Jth", "at Jth",
                    field(below) / field(threshold) - 1, "", QUENROW_VALUE_LIMIT),
              Check("slope below Jth against ρ", "at Jth", slope_below / rho - 1, "",
                    QUENROW_SLOPE_LIMIT),
              Check("slope above Jth against ρ", "at Jth", slope_above / rho - 1, "",
                    QUENROW_SLOPE_LIMIT)]
    J = np.linspace(0.5 * jc, 3.0 * jc, 2001)
    E = field(J)
    return Section(checks, {"law": law, "threshold": threshold, "J": J, "E": E,
                            "slope": np.gradient(E, J), "E_threshold": field(threshold),
                            "slope_below": slope_below, "slope_above": slope_above})


# ---- Orvandel: a model with no published reference curve. The scalar play
# with relaxation under a sinusoidal current density (the host function,
# its play state carried on with G), and the vector model's B(h) loop under
# an alternating field, with the energy each cycle dissipates. Without
# relaxation the play's loop is a parallelogram of area 4 w (A - w) for an
# amplitude A and half-width w: that, and the loops closing, are checked.
ORVANDEL_STEPS = 2000  # per period
ORVANDEL_PERIODS = 3  # the first settles the history, the last two are compared
ORVANDEL_TAU_OVER_DT = (0.0, 10.0, 100.0)
ORVANDEL_AREA_LIMIT = 1e-5  # the sampled loop cuts the parallelogram's corners
ORVANDEL_CLOSURE_LIMIT = 1e-9  # relative, cycle to cycle
# The vector model of the README's example: cell 0 reversible, two with
# play and coupling; h along x, amplitude 1000 A/m, period 10 s in 200 steps.
VECTOR_CELLS = {"weight": (0.2, 0.2, 0.1),
                "chi": (0.0, 200.0, 500.0),  # A/m, play radius
                "hc_max": (0.0, 50.0, 20.0),  # A/m, coupling limit
                "tau_c": (0.0, 0.05, 0.2),  # s, coupling time constant
                "tau": (0.01, 0.01, 0.02)}  # s, relaxation time constant
VECTOR_DT, VECTOR_CELL_FRACTION = 0.05, 0.5  # s, -
VECTOR_AMPLITUDE, VECTOR_STEPS = 1000.0, 200  # A/m, per period


def cycles(values, steps):
    """The last two periods, each closed by the sample before it."""
    last = values[-steps - 1:]
    before = values[-2 * steps - 1:-steps]
    return before, last


def loop_area(x, y):
    """|closed integral of y dx| over a sampled closed loop, by trapezoids."""
    return abs(float(np.sum((y[1:] + y[:-1]) * np.diff(x)) / 2))


def play_loop(amplitude, width, tau, dt):
    steps = np.arange(1, ORVANDEL_STEPS * ORVANDEL_PERIODS + 1)
    j = amplitude * np.sin(2 * math.pi * steps / ORVANDEL_STEPS)
    j_rev = np.empty_like(j)
    rev = play = 0.0
    for i, ji in enumerate(j.tolist()):
        rev = j_rev[i] = materials.Orvandel(ji, rev, play, width, tau, dt)
        play = orvandel.G(ji, play, width)
    return np.concatenate(([0.0], j)), np.concatenate(([0.0], j_rev))


def vector_loop():
    model = materials.VectorHysteresis(**VECTOR_CELLS, dt=VECTOR_DT,
                                       cell_fraction=VECTOR_CELL_FRACTION)
    steps = np.arange(0, VECTOR_STEPS * ORVANDEL_PERIODS + 1)
    h = VECTOR_AMPLITUDE * np.sin(2 * math.pi * steps / VECTOR_STEPS)
    B = np.empty_like(h)
    for i, hi in enumerate(h.tolist()):
        field_vector = (hi, 0.0, 0.0)
        B[i] = model.evaluate(field_vector)[0][0]
        model.accept(field_vector)
    return h, B


def orvandel_section():
    p = defaults("Orvandel")
    amplitude, width, dt = catalogue_entry("Orvandel")["sweep"]["to"], p["j_width"], p["dt"]
    loops, checks = {}, []
    for ratio in ORVANDEL_TAU_OVER_DT:
        j, j_rev = play_loop(amplitude, width, ratio * dt, dt)
        (j0, r0), (j1, r1) = zip(cycles(j, ORVANDEL_STEPS), cycles(j_rev, ORVANDEL_STEPS))
        loops[ratio] = (j, j_rev, loop_area(j1, r1), np.max(np.abs(r1 - r0)) / amplitude)
    play_area = 4 * width * (amplitude - width)
    checks.append(Check("play loop area (τ = 0) against 4w(A − w)", "one period",
                        loops[0.0][2] / play_area - 1, "", ORVANDEL_AREA_LIMIT))
    h, B = vector_loop()
    (h0, B0), (h1, B1) = zip(cycles(h, VECTOR_STEPS), cycles(B, VECTOR_STEPS))
    energies = (loop_area(B0, h0), loop_area(B1, h1))  # closed integral of h dB
    checks.append(Check("B(h): energy of the last cycle against the one before",
                        "two periods", energies[1] / energies[0] - 1, "", ORVANDEL_CLOSURE_LIMIT))
    return Section(checks, {"amplitude": amplitude, "width": width, "dt": dt, "loops": loops,
                            "play_area": play_area, "h": h, "B": B, "energies": energies})


@functools.lru_cache(maxsize=None)
def sections():
    """Every library's section, in the report's order."""
    return {"Daskelt": daskelt(), "Mirrobane": mirrobane(), "Pellucer": pellucer(),
            "Wembrel": wembrel(), "Tamsery": tamsery(), "Quenrow": quenrow(),
            "Orvandel": orvandel_section()}
