"""Writes the validation report: FOLDER/validation.md and its figures in
FOLDER/validation/ (PNG, Matplotlib). The text needs only the comparisons;
Matplotlib is loaded for the figures alone.

    python -m validation [FOLDER]      (from the repository's top folder; FOLDER: docs)"""
import sys
from pathlib import Path

import numpy as np

from validation import comparisons as cmp
from validation import reference as ref
from validation.comparisons import number, span

FIGURES = "validation"  # the figures' folder, beside validation.md


# ---- Numbers as the report prints them -----------------------------------

def relative(x, signed=True):
    """A relative deviation: in per cent from 0.1 % up, else as a number."""
    if x == 0:
        return "0"
    if abs(x) >= 1e-3:
        return f"{'+' if signed and x > 0 else ''}{number(100 * x, 3)} %"
    return ("+" if signed and x > 0 else "") + number(x, 2)


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(c).replace("|", "\\|") for c in row) + " |"
              for row in rows]
    return "\n".join(lines)


def check_table(checks):
    return table(["Compared", "Over", "Worst deviation", "At", "Limit"],
                 [(c.label, c.over, relative(c.worst), c.at or "–", relative(c.limit, False))
                  for c in checks])


def figure(name, caption):
    return f"![{caption}]({FIGURES}/{name}.png)"


# ---- The catalogue's ranges, as `materials list` shows them ---------------

def unit_text(unit):
    return "" if unit == "-" else f" {unit}"


def bound(limit, argument):
    return number(limit["value"]) + unit_text(argument["unit"])


def accepted(entry):
    parts = []
    for a in entry["arguments"]:
        low, high = a.get("lowest"), a.get("highest")
        if not (low or high):
            continue
        text = a["name"]
        if low:
            text = f"{bound(low, a)} {'≤' if low['inclusive'] else '<'} {text}"
        if high:
            text += f" {'≤' if high['inclusive'] else '<'} {bound(high, a)}"
        parts.append(text)
    return ", ".join(parts) or "any value"


def meaningful(entry):
    parts = [f"{a['name']} {span(a['meaningful']['from'], a['meaningful']['to'])}"
             + unit_text(a["unit"])
             for a in entry["arguments"] if "meaningful" in a]
    return ", ".join(parts) or "every accepted value"


# ---- The text ---------------------------------------------------------------

def summary(s):
    """Per library: its reference, the limit it keeps to it, the range where
    it does (the catalogue's meaningful range) and the accepted range."""
    def limit(x):
        return relative(x, False)

    below, above = cmp.MIRROBANE_LIMITS
    daskelt = cmp.DASKELT_LIMITS.values()
    within = {
        "Daskelt": ("NIST OFHC copper conductivity, RRR "
                    + ", ".join(map(str, ref.COPPER_CONDUCTIVITY)),
                    f"{limit(min(daskelt))} to {limit(max(daskelt))} by RRR"),
        "Mirrobane": (f"NIST OFHC copper specific heat × {number(ref.COPPER_DENSITY)} kg/m³",
                      f"{limit(below)}, {limit(above)} from {number(cmp.MIRROBANE_SPLIT_K)} K; "
                      f"jumps {limit(cmp.MIRROBANE_JUMP_LIMIT)}"),
        "Pellucer": ("derivative of the NIST 6061-T6 specific heat",
                     limit(cmp.PELLUCER_DERIVATIVE_LIMIT)),
        "Wembrel": ("CRC/Desai resistivity of pure aluminium", limit(cmp.WEMBREL_LIMIT)),
        "Tamsery": ("saturation polarization of iron, against B − μ0H",
                    f"{limit(cmp.TAMSERY_LIMIT)} from {number(cmp.TAMSERY_SATURATED_FROM)} A/m"),
        "Quenrow": ("its own law: E(Jc) = Ec, slope ρ on both sides of Jth",
                    f"{limit(cmp.QUENROW_VALUE_LIMIT)} in value, "
                    f"{limit(cmp.QUENROW_SLOPE_LIMIT)} in slope"),
        "Orvandel": ("none published (a model); its play's loop area 4w(A − w)",
                     limit(cmp.ORVANDEL_AREA_LIMIT)),
    }
    rows = []
    for name, section in s.items():
        worst = max(section.checks, key=lambda c: abs(c.worst))
        where = ", ".join(x for x in (worst.label if len(section.checks) > 1 else "", worst.at)
                          if x)
        entry = cmp.catalogue_entry(name)
        rows.append((name, *within[name], meaningful(entry),
                     f"{relative(worst.worst)} ({where})" if where else relative(worst.worst),
                     accepted(entry)))
    return table(["Library", "Reference", "Agrees within", "Meaningful (catalogue)",
                  "Worst deviation", "Accepted"], rows)


def daskelt_text(section):
    d = section.data
    rows, beyond = [], []
    for (rrr, curve), c in zip(d["curves"].items(), section.checks):
        stated = curve[3]
        rows.append((rrr, relative(c.worst), c.at, relative(stated, False),
                     relative(c.limit, False)))
        if abs(c.worst) > stated:
            beyond.append(str(rrr))
    largest = max(c.limit for c in section.checks)
    if beyond:
        stated = (f"At RRR {', '.join(beyond)} it lies further from the NIST fit than that "
                  "fit's own stated error against its data.")
    else:
        stated = "It lies within each NIST fit's own stated error against its data."
    return f"""## Daskelt: thermal conductivity of copper

Reference: {ref.COPPER_CONDUCTIVITY_SOURCE}: the fits for RRR
{", ".join(map(str, ref.COPPER_CONDUCTIVITY))}, {span(*ref.COPPER_CONDUCTIVITY_RANGE_K, "K")}.
Daskelt with dividend = divisor = 1 at the same RRR, on {cmp.GRID_POINTS} temperatures
spaced evenly in log T.

{figure("daskelt", "Daskelt against the NIST conductivity fits")}

{table(["RRR", "Worst deviation", "At", "NIST fit's stated error", "Limit"], rows)}

Daskelt follows every NIST fit within {relative(largest, False)}, its peak included.
{stated} Meaningful (catalogue): T {span(*cmp.DASKELT_RANGE_K, "K")} and RRR
{span(*cmp.DASKELT_RRR_RANGE)}, the range compared; outside it nothing here tells how far
Daskelt is from copper. Daskelt tests no range: it accepts any T and RRR that give a finite
result.
"""


def mirrobane_text(section):
    d = section.data
    jumps = [(number(b), f"{left:.10g}", f"{right:.10g}", f"{'+' if jump > 0 else ''}"
              f"{number(jump, 4)}", relative(rel))
             for b, left, right, jump, rel in d["jumps"]]
    stated = ref.COPPER_SPECIFIC_HEAT_ERROR
    errors = ", ".join(f"{relative(e, False)} from {number(t)} K" for t, e in stated)
    fit_checks = section.checks[:len(stated)]
    inside = all(abs(c.worst) <= e for c, (_, e) in zip(fit_checks, stated))
    largest = max(d["jumps"], key=lambda j: abs(j[4]))
    low, high = cmp.MIRROBANE_RANGE_K
    return f"""## Mirrobane: heat capacity of copper

Reference: {ref.COPPER_SPECIFIC_HEAT_SOURCE}, per kilogram, times the density of
copper, {number(ref.COPPER_DENSITY)} kg/m³ ({ref.COPPER_DENSITY_SOURCE}:
{number(ref.COPPER_DENSITY / 1e3)} g/cm³); {span(*ref.COPPER_SPECIFIC_HEAT_RANGE_K, "K")}, stated
fit error {errors}. The dotted red lines are Mirrobane's breakpoints.

{figure("mirrobane", "Mirrobane against the NIST specific heat of copper")}

{check_table(section.checks)}

Mirrobane lies {"within" if inside else "partly outside"} the NIST fit's own stated error
everywhere compared. Meaningful (catalogue): T {span(low, high, "K")}, the range
compared. Below {number(low)} K and above {number(high)} K (its last piece to
{number(cmp.MIRROBANE_BREAKPOINTS_K[-1])} K, then a straight tail) nothing here is compared.

Mirrobane's pieces do not meet: at each breakpoint its value jumps. The left
limit is the value at the breakpoint itself (it belongs to the piece below),
the right limit the value at the next double above it; C in J/(m³ K). The
largest jump, {relative(largest[4])} at {number(largest[0])} K, is a step that a Newton
solver whose temperature crosses the breakpoint sees in C and can stall on.

{table(["Breakpoint (K)", "Left limit", "Right limit", "Jump", "Relative jump"], jumps)}
"""


def pellucer_text(section):
    d = section.data
    stated = relative(ref.AL6061_SPECIFIC_HEAT_ERROR, False)
    over = span(*ref.AL6061_SPECIFIC_HEAT_RANGE_K, "K")
    return f"""## Pellucer: temperature derivative of the heat capacity of aluminium

Reference: {ref.AL6061_SPECIFIC_HEAT_SOURCE}, per kilogram
(an alloy, not pure aluminium), {over}, stated fit error {stated}. Pellucer with
m = 1 against the fit's derivative by a fourth-order central difference
(step {number(cmp.PELLUCER_STEP)} T); and the integral of Pellucer over {over}
(Gauss–Legendre in ln T, {cmp.PELLUCER_PANELS} panels of {cmp.PELLUCER_NODES} nodes),
{d["integral"]:.10g} J/(kg K), against c_p(300 K) − c_p(4 K) = {d["rise"]:.10g} J/(kg K).

{figure("pellucer", "Pellucer against the derivative of the NIST 6061-T6 specific heat")}

{check_table(section.checks)}

Pellucer is the derivative of the NIST fit, to the accuracy of the
difference quotient, and means what that fit means: its uncertainty is that
of the derivative of a fit stated to {stated}, larger than {stated} by an amount
the source does not give. Its accepted range is the fit's range: every
accepted value is meaningful.
"""


def wembrel_text(section):
    d = section.data
    low, high = cmp.WEMBREL_RANGE_K
    rows = []
    for T, rho_ref, rho, dev in zip(d["T_ref"], d["rho_ref"], d["rho_at_ref"], d["deviation"]):
        notes = []
        if T >= ref.ALUMINIUM_RESISTIVITY_INDICATIVE_FROM_K:
            notes.append("indicative")
        if not low <= T <= high:
            notes.append("past the meaningful range")
        rows.append((number(T), number(rho_ref, 4), number(rho, 4), relative(dev),
                     ", ".join(notes)))
    turns = ", ".join(f"{number(T, 3)} K ({'minimum' if i % 2 == 0 else 'maximum'}, "
                      f"{number(rho, 3)} Ω m)" for i, (T, rho) in enumerate(d["turns"]))
    worst = section.checks[0]
    ratio = d["rho_at_ref"][-1] / d["rho_ref"][-1]
    return f"""## Wembrel: electrical resistivity of aluminium

Reference: {ref.ALUMINIUM_RESISTIVITY_SOURCE}: high-purity aluminium, stated
uncertainty about 2–5 %; the values from
{number(ref.ALUMINIUM_RESISTIVITY_INDICATIVE_FROM_K)} K up are indicative (open circles). Below
{number(ref.ALUMINIUM_RESISTIVITY_PURITY_BELOW_K)} K the resistivity depends on the metal's purity,
and no reference is compared there.
Aluminium melts at {number(ref.ALUMINIUM_MELTING_POINT_K)} K ({ref.ALUMINIUM_MELTING_POINT_SOURCE}).

{figure("wembrel", "Wembrel against the CRC/Desai resistivity of aluminium")}

{check_table(section.checks)}

{table(["T (K)", "CRC/Desai (Ω m)", "Wembrel (Ω m)", "Deviation", ""], rows)}

From {number(low)} K to {number(high)} K Wembrel lies within {relative(worst.limit, False)} of
the reference (worst {relative(worst.worst)} at {worst.at}), far more than the reference's
own uncertainty: a rough fit. **Above about {number(high)} K the fit stops meaning
anything**: its polynomial in log T climbs away from the data, to
{number(ratio, 3)} times the reference at {number(d["T_ref"][-1])} K, and to
{number(d["rho"][-1], 3)} Ω m at {number(cmp.WEMBREL_PLOT_K[1])} K, above the melting point. The
accepted range stays {accepted(cmp.catalogue_entry("Wembrel"))}; the meaningful range
(catalogue) is T {span(low, high, "K")}. Below {number(low)} K the fit turns at {turns}: it
is not monotonic there, and below its first minimum it climbs steeply.
"""


def tamsery_text(section):
    d = section.data
    js = ref.IRON_SATURATION_POLARIZATION
    top = float(np.max(d["polarization"]))
    beyond = d["polarization"][d["H"] >= cmp.TAMSERY_TABLE_END]
    # The largest fall of B - mu0 H as H rises: where dB/dH < mu0.
    peaks = np.maximum.accumulate(d["polarization"])
    end = int(np.argmax(peaks - d["polarization"]))
    start = int(np.argmax(d["polarization"][:end + 1]))
    fall = float(peaks[end] - d["polarization"][end])
    magnetisation = number(ref.IRON_SATURATION_MAGNETISATION / 1e6)
    return f"""## Tamsery: B(H) of iron

Reference: the saturation polarization of iron at room temperature,
J_s = μ0 M_s = {number(js, 4)} T with M_s = {magnetisation} MA/m
({ref.IRON_SATURATION_SOURCE}). Far above the knee, B − μ0H of iron or
low-carbon steel approaches J_s from below.

{figure("tamsery", "Tamsery's B(H), and B - mu0 H against the saturation polarization of iron")}

{check_table(section.checks)}

B − μ0H rises to {number(top, 5)} T, {relative(top / js - 1)} from J_s, approaching it
from {"below" if top < js else "above"}. On its way it falls by {number(1e3 * fall, 2)} mT from
about {number(d["H"][start], 3)} to {number(d["H"][end], 3)} A/m, where the table's slope dB/dH
is below μ0: a differential permeability that iron does not have. From
{number(cmp.TAMSERY_SATURATED_FROM)} A/m on it lies within {relative(cmp.TAMSERY_LIMIT, False)}
of J_s. Past the table's last point, {number(cmp.TAMSERY_TABLE_END)} A/m, Tamsery's straight
line of slope μ0 holds B − μ0H at {number(float(np.mean(beyond)), 5)} T, as saturated iron does.
The knee has no reference here: it is the table's own, the curve of one iron. Meaningful
(catalogue): H {span(*cmp.TAMSERY_RANGE, "A/m")}, the table. Tamsery is odd in H.
"""


def quenrow_text(section):
    d = section.data
    rho, jc, n, ec = d["law"]
    return f"""## Quenrow: power-law electric field

Quenrow with the catalogue's defaults (a superconducting tape):
ρ = {number(rho)} Ω m, Jc = {number(jc)} A/m², n = {number(n)}, Ec = {number(ec)} V/m,
J along x. |E| follows Ec (|J|/Jc)^n up to the threshold
Jth = {number(d["threshold"])} A/m² ({number(d["threshold"] / jc, 4)} Jc, from Orvandel's
`j_threshold`, the same law), where the
slope of the power law has grown to ρ, and a straight line of slope ρ from
there on. The law is its own reference: E(Jc) = Ec; |E| continuous at Jth
({number(d["E_threshold"])} V/m); the slope on each side of Jth equal to ρ (one-sided
second-order differences over {number(cmp.QUENROW_STEP)} Jth: {number(d["slope_below"], 10)} Ω m
below, {number(d["slope_above"], 10)} Ω m above).

{figure("quenrow", "Quenrow's |E|(|J|) across the threshold, and its slope")}

{check_table(section.checks)}

Every accepted value is meaningful: a constitutive law, not a fit to data.
"""


def orvandel_text(section):
    d = section.data
    rows = [(number(ratio), number(ratio * d["dt"]), number(area), relative(change, False))
            for ratio, (_, _, area, change) in d["loops"].items()]
    energies = d["energies"]
    cells = {name: ", ".join(map(number, values)) for name, values in cmp.VECTOR_CELLS.items()}
    return f"""## Orvandel: hysteresis model

Orvandel is a model, not a fit to data: no published reference curve exists
to hold it against. Shown are its loops and the energy they dissipate.

The host function, the scalar play with relaxation, under j = A sin(2π t/P):
A = {number(d["amplitude"])} A/m², play half-width w = {number(d["width"])} A/m²,
dt = {number(d["dt"])} s, P = {cmp.ORVANDEL_STEPS} dt, the play state carried on with `G`;
{cmp.ORVANDEL_PERIODS} periods, the last shown. Without relaxation (τ = 0) the loop is the
play's parallelogram, of area 4w(A − w) = {number(d["play_area"])} A²/m⁴; relaxation widens it.

{figure("orvandel-play", "Orvandel's j_rev(j) loops")}

{table(["τ/dt", "τ (s)", "Loop area (A²/m⁴)", "Largest change from the period before (of A)"],
       rows)}

{check_table(section.checks[:1])}

The vector model (`bhyst`, each cell's history advanced with `hrev_k`) with
the cells of the README's example: weights {cells["weight"]}; play radii
{cells["chi"]} A/m; coupling limits {cells["hc_max"]} A/m; coupling time constants
{cells["tau_c"]} s; relaxation time constants {cells["tau"]} s;
dt = {number(cmp.VECTOR_DT)} s, cell fraction {number(cmp.VECTOR_CELL_FRACTION)}; h along x,
amplitude {number(cmp.VECTOR_AMPLITUDE)} A/m, period {cmp.VECTOR_STEPS} dt. The energy a cycle
dissipates, ∮ h·dB (trapezoids over the samples), is {number(energies[0])} J/m³ in the
second period and {number(energies[1])} J/m³ in the third.

{figure("orvandel-bh", "The vector model's B(h) loop")}

{check_table(section.checks[1:])}
"""


TEXTS = {"Daskelt": daskelt_text, "Mirrobane": mirrobane_text, "Pellucer": pellucer_text,
         "Wembrel": wembrel_text, "Tamsery": tamsery_text, "Quenrow": quenrow_text,
         "Orvandel": orvandel_text}


def markdown(s):
    """The report's text for the sections s (comparisons.sections())."""
    parts = [f"""# How far to trust each fit: validation against published data

Every library's values here come from the library itself, evaluated through
its entry points by the Python package `materials`; every reference value
comes from the published source named with it (the numbers, with their
sources, are in `validation/reference.py`). Deviation means library
value / reference value − 1. Each worst deviation is held to the limit stated
beside it by `python/tests/test_validation.py`, which also holds the
catalogue's meaningful ranges (`materials list`) to the ones stated here.

Written by `scripts/run-validation` (tables and figures); do not edit by hand.

## Summary

{summary(s)}
"""]
    parts += [TEXTS[name](section) for name, section in s.items()]
    return "\n".join(parts)


# ---- The figures ---------------------------------------------------------

def figures(s, folder):
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    plt.rcParams.update({"figure.figsize": (7.5, 6.4), "axes.grid": True, "grid.alpha": 0.3,
                         "font.size": 9, "legend.fontsize": 8})
    folder.mkdir(parents=True, exist_ok=True)

    def two_panels(title):
        fig, (top, bottom) = plt.subplots(2, 1, sharex=True, height_ratios=(3, 2))
        fig.suptitle(title)
        return fig, top, bottom

    def save(fig, name):
        fig.tight_layout()
        fig.savefig(folder / f"{name}.png", dpi=100, metadata={"Software": None})
        plt.close(fig)

    # Daskelt
    d = s["Daskelt"].data
    fig, top, bottom = two_panels("Daskelt: thermal conductivity of copper against NIST")
    for (rrr, (k, k_ref, deviation, _)), color in zip(d["curves"].items(), plt.cm.viridis(
            np.linspace(0, 0.9, len(d["curves"])))):
        top.loglog(d["T"], k, color=color, label=f"Daskelt, RRR {rrr}")
        top.loglog(d["T"], k_ref, color=color, linestyle="--", linewidth=0.9)
        bottom.semilogx(d["T"], 100 * deviation, color=color, label=f"RRR {rrr}")
    top.plot([], [], "k--", linewidth=0.9, label="NIST fit")
    top.set_ylabel("k (W/(m K))")
    top.legend(ncol=2)
    largest = max(cmp.DASKELT_LIMITS.values())
    bottom.axhspan(-100 * largest, 100 * largest, color="tab:green", alpha=0.08,
                   label=f"limit ±{relative(largest, False)}")
    bottom.set_ylabel("Daskelt / NIST − 1 (%)")
    bottom.set_xlabel("T (K)")
    bottom.legend(ncol=3)
    save(fig, "daskelt")

    # Mirrobane
    d = s["Mirrobane"].data
    fig, top, bottom = two_panels("Mirrobane: heat capacity of copper against NIST")
    top.loglog(d["T"], d["C"], label="Mirrobane")
    top.loglog(d["T"], d["C_ref"], "k--", linewidth=0.9,
               label=f"NIST c_p × {number(ref.COPPER_DENSITY)} kg/m³")
    top.set_ylabel("C (J/(m³ K))")
    bottom.semilogx(d["T"], 100 * d["deviation"], label="Mirrobane / NIST − 1")
    edges = [t for t, _ in ref.COPPER_SPECIFIC_HEAT_ERROR] + [cmp.MIRROBANE_RANGE_K[1]]
    errors = [e for _, e in ref.COPPER_SPECIFIC_HEAT_ERROR]
    bottom.stairs([100 * e for e in errors], edges, color="gray", linestyle=":",
                  baseline=None, label="NIST's stated error")
    bottom.stairs([-100 * e for e in errors], edges, color="gray", linestyle=":", baseline=None)
    for axis in (top, bottom):
        for b in cmp.MIRROBANE_BREAKPOINTS_K:
            if b <= cmp.MIRROBANE_RANGE_K[1]:
                axis.axvline(b, color="tab:red", linestyle=":", linewidth=0.8)
    top.legend()
    bottom.set_ylabel("deviation (%)")
    bottom.set_xlabel("T (K)")
    bottom.legend()
    save(fig, "mirrobane")

    # Pellucer
    d = s["Pellucer"].data
    fig, top, bottom = two_panels("Pellucer against the derivative of the NIST 6061-T6 fit")
    top.loglog(d["T"], d["derivative"], label="Pellucer (m = 1)")
    top.loglog(d["T"][::40], d["difference"][::40], "k.", label="difference quotient of NIST c_p")
    top.set_ylabel("dC/dT (J/(kg K²))")
    top.legend()
    bottom.semilogx(d["T"], d["deviation"])
    bottom.set_ylabel("Pellucer / difference − 1")
    bottom.set_xlabel("T (K)")
    save(fig, "pellucer")

    # Wembrel
    d = s["Wembrel"].data
    low, high = cmp.WEMBREL_RANGE_K
    indicative = d["T_ref"] >= ref.ALUMINIUM_RESISTIVITY_INDICATIVE_FROM_K
    fig, top, bottom = two_panels("Wembrel: resistivity of aluminium against CRC/Desai")
    top.loglog(d["T"], d["rho"], label="Wembrel")
    for axis in (top, bottom):
        axis.axvspan(cmp.WEMBREL_PLOT_K[0], low, color="gray", alpha=0.12)
        axis.axvspan(high, cmp.WEMBREL_PLOT_K[1], color="tab:red", alpha=0.1)
        axis.axvline(ref.ALUMINIUM_MELTING_POINT_K, color="k", linestyle=":", linewidth=0.8)
    for axis, values in ((top, d["rho_ref"]), (bottom, d["rho_at_ref"] / d["rho_ref"])):
        axis.plot(d["T_ref"][~indicative], values[~indicative], "ko", markersize=4,
                  label="CRC/Desai")
        axis.plot(d["T_ref"][indicative], values[indicative], "ko", markersize=4,
                  markerfacecolor="none", label="CRC/Desai, indicative")
    top.set_ylim(1e-13, 1.0)
    top.text(1.3, 1e-2, f"below {number(low)} K: depends on purity,\nno reference", fontsize=8)
    top.text(high * 0.97, 1e-2, "the fit stops\nmeaning anything", fontsize=8, color="tab:red",
             horizontalalignment="right")
    top.text(ref.ALUMINIUM_MELTING_POINT_K * 1.04, 1e-9, "aluminium melts", fontsize=8,
             rotation=90)
    top.set_ylabel("ρ (Ω m)")
    top.legend(loc="lower right")
    bottom.set_yscale("log")
    bottom.axhspan(1 - cmp.WEMBREL_LIMIT, 1 + cmp.WEMBREL_LIMIT, color="tab:green", alpha=0.12,
                   label=f"within ±{relative(cmp.WEMBREL_LIMIT, False)}")
    bottom.set_ylabel("Wembrel / CRC")
    bottom.set_xlabel("T (K)")
    bottom.legend(loc="upper left")
    save(fig, "wembrel")

    # Tamsery
    d = s["Tamsery"].data
    js = ref.IRON_SATURATION_POLARIZATION
    fig, top, bottom = two_panels("Tamsery: B(H) of iron")
    positive = d["H"] > 0
    H = d["H"][positive]
    top.semilogx(H, d["B"][positive], label="Tamsery B")
    top.set_ylabel("B (T)")
    bottom.semilogx(H, d["polarization"][positive], label="Tamsery B − μ0H")
    bottom.axhline(js, color="k", linestyle="--", linewidth=0.9,
                   label=f"J_s of iron, {js:.4g} T")
    bottom.axhspan(js * (1 - cmp.TAMSERY_LIMIT), js * (1 + cmp.TAMSERY_LIMIT), color="tab:green",
                   alpha=0.12, label=f"J_s ±{relative(cmp.TAMSERY_LIMIT, False)}")
    bottom.set_ylim(1.9, 2.2)
    for axis in (top, bottom):
        axis.axvline(cmp.TAMSERY_TABLE_END, color="gray", linestyle=":", linewidth=0.8)
    top.text(cmp.TAMSERY_TABLE_END * 1.1, 1, "end of\nthe table", fontsize=8)
    top.legend()
    bottom.set_ylabel("B − μ0H (T)")
    bottom.set_xlabel("H (A/m)")
    bottom.legend(loc="lower right")
    save(fig, "tamsery")

    # Quenrow
    d = s["Quenrow"].data
    rho, jc, _, ec = d["law"]
    fig, top, bottom = two_panels("Quenrow: |E|(|J|) across the threshold")
    top.semilogy(d["J"] / jc, d["E"], label="Quenrow |E|")
    top.plot(1, ec, "ko", markersize=4, label="(Jc, Ec)")
    top.plot(d["threshold"] / jc, d["E_threshold"], "rs", markersize=4, label="threshold Jth")
    top.set_ylabel("|E| (V/m)")
    bottom.semilogy(d["J"] / jc, d["slope"], label="d|E|/d|J| (differences)")
    bottom.axhline(rho, color="k", linestyle="--", linewidth=0.9, label=f"ρ = {number(rho)} Ω m")
    for axis in (top, bottom):
        axis.axvline(d["threshold"] / jc, color="tab:red", linestyle=":", linewidth=0.8)
        axis.legend(loc="lower right")
    bottom.set_ylabel("slope (Ω m)")
    bottom.set_xlabel("|J| / Jc")
    save(fig, "quenrow")

    # Orvandel
    d = s["Orvandel"].data
    fig, axis = plt.subplots(figsize=(6.4, 5))
    fig.suptitle("Orvandel: j_rev(j), scalar play with relaxation (last period)")
    for ratio, (j, j_rev, area, _) in d["loops"].items():
        last = slice(-cmp.ORVANDEL_STEPS - 1, None)
        axis.plot(j[last] / 1e8, j_rev[last] / 1e8, label=f"τ/dt = {number(ratio)}")
    axis.set_xlabel("j (1e8 A/m²)")
    axis.set_ylabel("j_rev (1e8 A/m²)")
    axis.legend()
    save(fig, "orvandel-play")

    fig, axis = plt.subplots(figsize=(6.4, 5))
    fig.suptitle("Orvandel: the vector model's B(h), alternating field along x")
    last = slice(-cmp.VECTOR_STEPS - 1, None)
    axis.plot(d["h"], 1e3 * d["B"], color="tab:blue", alpha=0.3, linewidth=0.8,
              label="from rest")
    axis.plot(d["h"][last], 1e3 * d["B"][last], color="tab:blue",
              label=f"last period: ∮h·dB = {d['energies'][1]:.4g} J/m³")
    axis.plot(d["h"], 1e3 * ref.MU0 * d["h"], "k--", linewidth=0.8, label="μ0 h")
    axis.set_xlabel("h (A/m)")
    axis.set_ylabel("B (mT)")
    axis.legend()
    save(fig, "orvandel-bh")


def main(argv):
    folder = Path(argv[1] if len(argv) > 1 else "docs")
    s = cmp.sections()
    failed = [f"{name}: {c.label} over {c.over}: {relative(c.worst)}, "
              f"limit {relative(c.limit, False)}"
              for name, section in s.items() for c in section.checks if not abs(c.worst) <= c.limit]
    folder.mkdir(parents=True, exist_ok=True)
    (folder / "validation.md").write_text(markdown(s))
    figures(s, folder / FIGURES)
    print(f"Wrote {folder / 'validation.md'} and its figures in {folder / FIGURES}/")
    for line in failed:
        print(f"past its limit: {line}", file=sys.stderr)
    return 1 if failed else 0
