"""Daskelt: thermal conductivity of copper against the NIST fits by RRR.

Daskelt with dividend = divisor = 1, at each RRR the NIST fits are given
for, on a grid even in log T over the fits' range; deviation
k_Daskelt / k_NIST - 1."""
import numpy as np

import materials

from validation import fits
from validation import reference as ref
from validation.shared import GRID_POINTS, Section, figure_link, limit, log_grid, pyplot, relative
from validation.shared import save, span, table, two_panels, worst_of

# The range compared is the meaningful one: the fits' temperatures and RRRs.
RANGE_K = ref.COPPER_CONDUCTIVITY_RANGE_K
RRR_RANGE = (min(ref.COPPER_CONDUCTIVITY), max(ref.COPPER_CONDUCTIVITY))
LIMITS = {50: 0.025, 100: 0.025, 150: 0.025, 300: 0.03, 500: 0.035}  # by RRR

REFERENCE = "NIST OFHC copper conductivity, RRR " + ", ".join(map(str, ref.COPPER_CONDUCTIVITY))
AGREES_WITHIN = f"{limit(min(LIMITS.values()))} to {limit(max(LIMITS.values()))} by RRR"


def compare():
    T = log_grid(*RANGE_K)
    over = span(*RANGE_K, "K")
    curves, checks = {}, []
    for rrr, (stated, _) in ref.COPPER_CONDUCTIVITY.items():
        k = materials.Daskelt(T, RRR=float(rrr))
        k_ref = fits.copper_conductivity(T, rrr)
        deviation = k / k_ref - 1
        curves[rrr] = (k, k_ref, deviation, stated)
        checks.append(worst_of(deviation, T, f"RRR {rrr}", over, LIMITS[rrr], "K"))
    return Section(checks, {"T": T, "curves": curves}, meaningful={"T": RANGE_K, "RRR": RRR_RANGE})


def text(section):
    rows, beyond = [], []
    for (rrr, curve), c in zip(section.data["curves"].items(), section.checks):
        stated = curve[3]
        rows.append((rrr, relative(c.worst), c.at, limit(stated), limit(c.limit)))
        if abs(c.worst) > stated:
            beyond.append(str(rrr))
    largest = max(c.limit for c in section.checks)
    if beyond:
        stated = (
            f"At RRR {', '.join(beyond)} it lies further from the NIST fit than that "
            "fit's own stated error against its data."
        )
    else:
        stated = "It lies within each NIST fit's own stated error against its data."
    return f"""## Daskelt: thermal conductivity of copper

Reference: {ref.COPPER_CONDUCTIVITY_SOURCE}: the fits for RRR
{", ".join(map(str, ref.COPPER_CONDUCTIVITY))}, {span(*ref.COPPER_CONDUCTIVITY_RANGE_K, "K")}.
Daskelt with dividend = divisor = 1 at the same RRR, on {GRID_POINTS} temperatures
spaced evenly in log T.

{figure_link("daskelt", "Daskelt against the NIST conductivity fits")}

{table(["RRR", "Worst deviation", "At", "NIST fit's stated error", "Limit"], rows)}

Daskelt follows every NIST fit within {limit(largest)}, its peak included.
{stated} Meaningful (catalogue): T {span(*RANGE_K, "K")} and RRR
{span(*RRR_RANGE)}, the range compared; outside it nothing here tells how far
Daskelt is from copper. Daskelt tests no range: it accepts any T and RRR that give a finite
result.
"""


def draw(section, folder):
    """k(T) of Daskelt (solid) and NIST (dashed) by RRR; their deviation below."""
    d = section.data
    fig, top, bottom = two_panels("Daskelt: thermal conductivity of copper against NIST")
    colors = pyplot().cm.viridis(np.linspace(0, 0.9, len(d["curves"])))
    for (rrr, (k, k_ref, deviation, _)), color in zip(d["curves"].items(), colors):
        top.loglog(d["T"], k, color=color, label=f"Daskelt, RRR {rrr}")
        top.loglog(d["T"], k_ref, color=color, linestyle="--", linewidth=0.9)
        bottom.semilogx(d["T"], 100 * deviation, color=color, label=f"RRR {rrr}")
    top.plot([], [], "k--", linewidth=0.9, label="NIST fit")
    top.set_ylabel("k (W/(m K))")
    top.legend(ncol=2)
    largest = max(LIMITS.values())
    bottom.axhspan(
        -100 * largest,
        100 * largest,
        color="tab:green",
        alpha=0.08,
        label=f"limit ±{limit(largest)}",
    )
    bottom.set_ylabel("Daskelt / NIST − 1 (%)")
    bottom.set_xlabel("T (K)")
    bottom.legend(ncol=3)
    save(fig, folder, "daskelt")
