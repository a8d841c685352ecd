"""Mirrobane: heat capacity per volume of copper against the NIST specific
heat times the density of copper; and the jumps where its pieces meet.

The deviation C_Mirrobane / (rho c_p,NIST) - 1 is held to one limit below
and one above the temperature where NIST's stated error changes. At each
breakpoint of the catalogue the left limit is the value at the breakpoint
(it belongs to the piece below), the right limit the value at the next
double above; the relative jump is (right - left) / left."""
import math

import numpy as np

import materials

from validation import fits
from validation import reference as ref
from validation.shared import Section, argument, check_table, figure_link, limit, log_grid, number
from validation.shared import relative, save, span, table, two_panels, worst_of

RANGE_K = ref.COPPER_SPECIFIC_HEAT_RANGE_K  # the range compared is the meaningful one
SPLIT_K = ref.COPPER_SPECIFIC_HEAT_ERROR[1][0]  # where NIST's stated error changes
LIMITS = (0.07, 0.05)  # below and above the split
JUMP_LIMIT = 0.0025  # relative, the largest jump at a breakpoint
# Where the quartics meet and, last, where the straight tail begins.
BREAKPOINTS_K = argument("Mirrobane", "T")["pieces"]["breakpoints"]
COUNTED = ("none", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine")

REFERENCE = f"NIST OFHC copper specific heat × {number(ref.COPPER_DENSITY)} kg/m³"
AGREES_WITHIN = (
    f"{limit(LIMITS[0])}, {limit(LIMITS[1])} from {number(SPLIT_K)} K; "
    f"jumps {limit(JUMP_LIMIT)}"
)


def compare():
    T = log_grid(*RANGE_K)
    C = materials.Mirrobane(T)
    C_ref = ref.COPPER_DENSITY * fits.log_polynomial_fit(ref.COPPER_SPECIFIC_HEAT, T)
    deviation = C / C_ref - 1
    low = T < SPLIT_K
    below = span(RANGE_K[0], SPLIT_K, "K")
    above = span(SPLIT_K, RANGE_K[1], "K")
    checks = [
        worst_of(deviation[low], T[low], "heat capacity", below, LIMITS[0], "K"),
        worst_of(deviation[~low], T[~low], "heat capacity", above, LIMITS[1], "K"),
    ]
    at = np.array(BREAKPOINTS_K)
    left = materials.Mirrobane(at)
    right = materials.Mirrobane(np.nextafter(at, math.inf))
    jumps = [(b, l, r, r - l, (r - l) / l) for b, l, r in zip(at, left, right)]
    checks.append(
        worst_of(
            np.array([j[4] for j in jumps]),
            at,
            "jump at a breakpoint",
            f"the {COUNTED[len(at)]} breakpoints",
            JUMP_LIMIT,
            "K",
        )
    )
    return Section(
        checks,
        {"T": T, "C": C, "C_ref": C_ref, "deviation": deviation, "jumps": jumps},
        meaningful={"T": RANGE_K},
    )


def text(section):
    d = section.data
    jumps = [
        (
            number(b),
            f"{left:.10g}",
            f"{right:.10g}",
            f"{'+' if jump > 0 else ''}" f"{number(jump, 4)}",
            relative(rel),
        )
        for b, left, right, jump, rel in d["jumps"]
    ]
    stated = ref.COPPER_SPECIFIC_HEAT_ERROR
    errors = ", ".join(f"{limit(e)} from {number(t)} K" for t, e in stated)
    fit_checks = section.checks[: len(stated)]
    inside = all(abs(c.worst) <= e for c, (_, e) in zip(fit_checks, stated))
    largest = max(d["jumps"], key=lambda j: abs(j[4]))
    low, high = RANGE_K
    return f"""## Mirrobane: heat capacity of copper

Reference: {ref.COPPER_SPECIFIC_HEAT_SOURCE}, per kilogram, times the density of
copper, {number(ref.COPPER_DENSITY)} kg/m³ ({ref.COPPER_DENSITY_SOURCE}:
{number(ref.COPPER_DENSITY / 1e3)} g/cm³); {span(*ref.COPPER_SPECIFIC_HEAT_RANGE_K, "K")}, stated
fit error {errors}. The dotted red lines are Mirrobane's breakpoints.

{figure_link("mirrobane", "Mirrobane against the NIST specific heat of copper")}

{check_table(section.checks)}

Mirrobane lies {"within" if inside else "partly outside"} the NIST fit's own stated error
everywhere compared. Meaningful (catalogue): T {span(low, high, "K")}, the range
compared. Below {number(low)} K and above {number(high)} K (its last piece to
{number(BREAKPOINTS_K[-1])} K, then a straight tail) nothing here is compared.

Mirrobane's pieces do not meet: at each breakpoint its value jumps. The left
limit is the value at the breakpoint itself (it belongs to the piece below),
the right limit the value at the next double above it; C in J/(m³ K). The
largest jump, {relative(largest[4])} at {number(largest[0])} K, is a step that a Newton
solver whose temperature crosses the breakpoint sees in C and can stall on.

{table(["Breakpoint (K)", "Left limit", "Right limit", "Jump", "Relative jump"], jumps)}
"""


def draw(section, folder):
    """C(T) of Mirrobane and NIST; below, their deviation within NIST's stated
    error; the breakpoints in the range dotted across both."""
    d = section.data
    fig, top, bottom = two_panels("Mirrobane: heat capacity of copper against NIST")
    top.loglog(d["T"], d["C"], label="Mirrobane")
    top.loglog(
        d["T"],
        d["C_ref"],
        "k--",
        linewidth=0.9,
        label=f"NIST c_p × {number(ref.COPPER_DENSITY)} kg/m³",
    )
    top.set_ylabel("C (J/(m³ K))")
    bottom.semilogx(d["T"], 100 * d["deviation"], label="Mirrobane / NIST − 1")
    edges = [t for t, _ in ref.COPPER_SPECIFIC_HEAT_ERROR] + [RANGE_K[1]]
    errors = [e for _, e in ref.COPPER_SPECIFIC_HEAT_ERROR]
    bottom.stairs(
        [100 * e for e in errors],
        edges,
        color="gray",
        linestyle=":",
        baseline=None,
        label="NIST's stated error",
    )
    bottom.stairs([-100 * e for e in errors], edges, color="gray", linestyle=":", baseline=None)
    for axis in (top, bottom):
        for b in BREAKPOINTS_K:
            if b <= RANGE_K[1]:
                axis.axvline(b, color="tab:red", linestyle=":", linewidth=0.8)
    top.legend()
    bottom.set_ylabel("deviation (%)")
    bottom.set_xlabel("T (K)")
    bottom.legend()
    save(fig, folder, "mirrobane")
