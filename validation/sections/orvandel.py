"""Orvandel: a model with no published reference curve; its loops and the
energy they dissipate.

The host function, the scalar play with relaxation, under a sinusoidal
current density j = A sin(2 pi t/P), its play state carried on with G.
Without relaxation the play's loop is a parallelogram of area 4 w (A - w)
for the amplitude A and half-width w: checked, as the sampled loop's area.
The vector model's B(h) loop under an alternating field: the energy a cycle
dissipates, the closed integral of h dB, checked to repeat from cycle to
cycle once the history has settled."""
import math

import numpy as np

import materials
from materials import orvandel as model

from validation import libm
from validation import reference as ref
from validation.shared import Check, Section, catalogue_entry, check_table, defaults, figure_link
from validation.shared import limit, number, one_panel, save, table

STEPS = 2000  # per period
PERIODS = 3  # the first settles the history, the last two are compared
TAU_OVER_DT = (0.0, 10.0, 100.0)
AREA_LIMIT = 1e-5  # the sampled loop cuts the parallelogram's corners
CLOSURE_LIMIT = 1e-9  # relative, cycle to cycle
# The vector model of the README's example: cell 0 reversible, two with
# play and coupling; h along x, amplitude 1000 A/m, period 10 s in 200 steps.
VECTOR_CELLS = {n: v for n, v in model.EXAMPLE_CELLS.items() if n not in ("dt", "cell_fraction")}
VECTOR_DT, VECTOR_CELL_FRACTION = model.EXAMPLE_CELLS["dt"], model.EXAMPLE_CELLS["cell_fraction"]
VECTOR_AMPLITUDE, VECTOR_STEPS = 1000.0, 200  # A/m, per period

REFERENCE = "none published (a model); its play's loop area 4w(A − w)"
AGREES_WITHIN = limit(AREA_LIMIT)


def cycles(values, steps):
    """The last two periods, each closed by the sample before it."""
    last = values[-steps - 1 :]
    before = values[-2 * steps - 1 : -steps]
    return before, last


def loop_area(x, y):
    """|closed integral of y dx| over a sampled closed loop, by trapezoids."""
    return abs(float(np.sum((y[1:] + y[:-1]) * np.diff(x)) / 2))


def play_loop(amplitude, width, tau, dt):
    """(j, j_rev) from rest, through the host function step by step."""
    steps = np.arange(1, STEPS * PERIODS + 1)
    j = amplitude * libm.sin(2 * math.pi * steps / STEPS)
    j_rev = np.empty_like(j)
    rev = play = 0.0
    for i, ji in enumerate(j.tolist()):
        rev = j_rev[i] = materials.Orvandel(ji, rev, play, width, tau, dt)
        play = model.G(ji, play, width)
    return np.concatenate(([0.0], j)), np.concatenate(([0.0], j_rev))


def vector_loop():
    """(h, B_x) from rest, each step's history accepted before the next."""
    cells = materials.VectorHysteresis(
        **VECTOR_CELLS, dt=VECTOR_DT, cell_fraction=VECTOR_CELL_FRACTION
    )
    steps = np.arange(0, VECTOR_STEPS * PERIODS + 1)
    h = VECTOR_AMPLITUDE * libm.sin(2 * math.pi * steps / VECTOR_STEPS)
    B = np.empty_like(h)
    for i, hi in enumerate(h.tolist()):
        field_vector = (hi, 0.0, 0.0)
        B[i] = cells.evaluate(field_vector)[0][0]
        cells.accept(field_vector)
    return h, B


def compare():
    p = defaults("Orvandel")
    amplitude, width, dt = catalogue_entry("Orvandel")["sweep"]["to"], p["j_width"], p["dt"]
    loops, checks = {}, []
    for ratio in TAU_OVER_DT:
        j, j_rev = play_loop(amplitude, width, ratio * dt, dt)
        (j0, r0), (j1, r1) = zip(cycles(j, STEPS), cycles(j_rev, STEPS))
        loops[ratio] = (j, j_rev, loop_area(j1, r1), np.max(np.abs(r1 - r0)) / amplitude)
    play_area = 4 * width * (amplitude - width)
    checks.append(
        Check(
            "play loop area (τ = 0) against 4w(A − w)",
            "one period",
            loops[0.0][2] / play_area - 1,
            "",
            AREA_LIMIT,
        )
    )
    h, B = vector_loop()
    (h0, B0), (h1, B1) = zip(cycles(h, VECTOR_STEPS), cycles(B, VECTOR_STEPS))
    energies = (loop_area(B0, h0), loop_area(B1, h1))  # closed integral of h dB
    checks.append(
        Check(
            "B(h): energy of the last cycle against the one before",
            "two periods",
            energies[1] / energies[0] - 1,
            "",
            CLOSURE_LIMIT,
        )
    )
    return Section(
        checks,
        {
            "amplitude": amplitude,
            "width": width,
            "dt": dt,
            "loops": loops,
            "play_area": play_area,
            "h": h,
            "B": B,
            "energies": energies,
        },
    )


def text(section):
    d = section.data
    rows = [
        (number(ratio), number(ratio * d["dt"]), number(area), limit(change))
        for ratio, (_, _, area, change) in d["loops"].items()
    ]
    energies = d["energies"]
    cells = {name: ", ".join(map(number, values)) for name, values in VECTOR_CELLS.items()}
    return f"""## Orvandel: hysteresis model

Orvandel is a model, not a fit to data: no published reference curve exists
to hold it against. Shown are its loops and the energy they dissipate.

The host function, the scalar play with relaxation, under j = A sin(2π t/P):
A = {number(d["amplitude"])} A/m², play half-width w = {number(d["width"])} A/m²,
dt = {number(d["dt"])} s, P = {STEPS} dt, the play state carried on with `G`;
{PERIODS} periods, the last shown. Without relaxation (τ = 0) the loop is the
play's parallelogram, of area 4w(A − w) = {number(d["play_area"])} A²/m⁴; relaxation widens it.

{figure_link("orvandel-play", "Orvandel's j_rev(j) loops")}

{table(["τ/dt", "τ (s)", "Loop area (A²/m⁴)", "Largest change from the period before (of A)"],
       rows)}

{check_table(section.checks[:1])}

The vector model (`bhyst`, each cell's history advanced with `hrev_k`) with
the cells of the README's example: weights {cells["weight"]}; play radii
{cells["chi"]} A/m; coupling limits {cells["hc_max"]} A/m; coupling time constants
{cells["tau_c"]} s; relaxation time constants {cells["tau"]} s;
dt = {number(VECTOR_DT)} s, cell fraction {number(VECTOR_CELL_FRACTION)}; h along x,
amplitude {number(VECTOR_AMPLITUDE)} A/m, period {VECTOR_STEPS} dt. The energy a cycle
dissipates, ∮ h·dB (trapezoids over the samples), is {number(energies[0])} J/m³ in the
second period and {number(energies[1])} J/m³ in the third.

{figure_link("orvandel-bh", "The vector model's B(h) loop")}

{check_table(section.checks[1:])}
"""


def draw(section, folder):
    """The last period of j_rev(j) for each tau/dt; the vector model's B(h)
    from rest, its last period drawn over it."""
    d = section.data
    fig, axis = one_panel("Orvandel: j_rev(j), scalar play with relaxation (last period)")
    last = slice(-STEPS - 1, None)
    for ratio, (j, j_rev, _, _) in d["loops"].items():
        axis.plot(j[last] / 1e8, j_rev[last] / 1e8, label=f"τ/dt = {number(ratio)}")
    axis.set_xlabel("j (1e8 A/m²)")
    axis.set_ylabel("j_rev (1e8 A/m²)")
    axis.legend()
    save(fig, folder, "orvandel-play")

    fig, axis = one_panel("Orvandel: the vector model's B(h), alternating field along x")
    last = slice(-VECTOR_STEPS - 1, None)
    axis.plot(d["h"], 1e3 * d["B"], color="tab:blue", alpha=0.3, linewidth=0.8, label="from rest")
    axis.plot(
        d["h"][last],
        1e3 * d["B"][last],
        color="tab:blue",
        label=f"last period: ∮h·dB = {d['energies'][1]:.4g} J/m³",
    )
    axis.plot(d["h"], 1e3 * ref.MU0 * d["h"], "k--", linewidth=0.8, label="μ0 h")
    axis.set_xlabel("h (A/m)")
    axis.set_ylabel("B (mT)")
    axis.legend()
    save(fig, folder, "orvandel-bh")
