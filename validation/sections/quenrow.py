"""Quenrow: |E|(|J|) across the threshold, with the catalogue's defaults (a
superconducting tape), J along x. The law is its own reference:

    |E| = Ec (|J|/Jc)^n                 up to the threshold Jth,
    |E| = E(Jth) + rho (|J| - Jth)      above it,

where Jth is where the power law's slope has grown to rho; Jth is the one
Orvandel's j_threshold gives (the same law, Orvandel's copy). Checked:
E(Jc) = Ec, |E| continuous at Jth, and the slope on each side of Jth equal
to rho, by one-sided second-order differences over a step of 1e-6 Jth
(accurate to about 1e-9)."""
import numpy as np

import materials
from materials import orvandel

from validation.shared import Check, Section, check_table, defaults, figure_link, limit, number
from validation.shared import save, two_panels

VALUE_LIMIT = 1e-12  # E(Jc) = Ec, and |E| continuous at Jth
SLOPE_LIMIT = 1e-6  # the slope on each side of Jth against rho
STEP = 1e-6  # relative

REFERENCE = "its own law: E(Jc) = Ec, slope ρ on both sides of Jth"
AGREES_WITHIN = f"{limit(VALUE_LIMIT)} in value, {limit(SLOPE_LIMIT)} in slope"


def compare():
    p = defaults("Quenrow")
    law = (p["rho"], p["jc"], p["n"], p["ec"])

    def field(J):  # |E| for J along x
        return materials.Quenrow(0.0, J, 0.0, 0.0, *law)

    rho, jc, _, ec = law
    threshold = orvandel.j_threshold(*law)
    below = np.nextafter(threshold, 0.0)
    d = STEP * threshold
    slope_below = (3 * field(below) - 4 * field(below - d) + field(below - 2 * d)) / (2 * d)
    slope_above = (4 * field(threshold + d) - 3 * field(threshold) - field(threshold + 2 * d)) / (
        2 * d
    )
    checks = [
        Check("E(Jc) against Ec", "at Jc", field(jc) / ec - 1, "", VALUE_LIMIT),
        Check(
            "|E| just below Jth against |E| at Jth",
            "at Jth",
            field(below) / field(threshold) - 1,
            "",
            VALUE_LIMIT,
        ),
        Check("slope below Jth against ρ", "at Jth", slope_below / rho - 1, "", SLOPE_LIMIT),
        Check("slope above Jth against ρ", "at Jth", slope_above / rho - 1, "", SLOPE_LIMIT),
    ]
    J = np.linspace(0.5 * jc, 3.0 * jc, 2001)
    E = field(J)
    return Section(
        checks,
        {
            "law": law,
            "threshold": threshold,
            "J": J,
            "E": E,
            "slope": np.gradient(E, J),
            "E_threshold": field(threshold),
            "slope_below": slope_below,
            "slope_above": slope_above,
        },
    )


def text(section):
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
second-order differences over {number(STEP)} Jth: {number(d["slope_below"], 10)} Ω m
below, {number(d["slope_above"], 10)} Ω m above).

{figure_link("quenrow", "Quenrow's |E|(|J|) across the threshold, and its slope")}

{check_table(section.checks)}

Every accepted value is meaningful: a constitutive law, not a fit to data.
"""


def draw(section, folder):
    """|E| against |J|/Jc with (Jc, Ec) and the threshold marked; its slope
    against rho below."""
    d = section.data
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
    save(fig, folder, "quenrow")
