"""Tamsery: B(H) of iron. Far above the knee, B - mu0 H against the
saturation polarization of iron, J_s = mu0 M_s.

Tamsery's table is iron's own curve, which no reference here covers below
the knee: its meaningful range is the table's, to its last point (the
catalogue's breakpoint). Beyond, a straight line of slope mu0 holds
B - mu0 H constant."""
import numpy as np

import materials

from validation import reference as ref
from validation.shared import Section, argument, check_table, figure_link, limit, log_grid, number
from validation.shared import relative, save, span, two_panels, worst_of

TABLE_END = argument("Tamsery", "H")["pieces"]["breakpoints"][-1]  # A/m
SATURATED_FROM = 212170.0  # A/m, a table point: from here on within the limit
CHECKED_TO = 1e7  # A/m, past the table's end
LIMIT = 0.01

REFERENCE = "saturation polarization of iron, against B − μ0H"
AGREES_WITHIN = f"{limit(LIMIT)} from {number(SATURATED_FROM)} A/m"


def compare():
    H = np.concatenate(([0.0], log_grid(10.0, CHECKED_TO, 1201)))
    B = materials.Tamsery(H)
    polarization = B - ref.MU0 * H
    saturated = H >= SATURATED_FROM
    deviation = polarization / ref.IRON_SATURATION_POLARIZATION - 1
    checks = [
        worst_of(
            deviation[saturated],
            H[saturated],
            "B − μ0H against J_s",
            span(SATURATED_FROM, CHECKED_TO, "A/m"),
            LIMIT,
            "A/m",
        )
    ]
    return Section(
        checks,
        {"H": H, "B": B, "polarization": polarization, "deviation": deviation},
        meaningful={"H": (0.0, TABLE_END)},
    )


def largest_fall(H, polarization):
    """(from H, to H, by how much) B - mu0 H falls the most as H rises:
    where dB/dH < mu0."""
    peaks = np.maximum.accumulate(polarization)
    end = int(np.argmax(peaks - polarization))
    start = int(np.argmax(polarization[: end + 1]))
    return H[start], H[end], float(peaks[end] - polarization[end])


FIGURE_TITLE = "Tamsery's B(H), and B - mu0 H against the saturation polarization of iron"


def text(section):
    d = section.data
    js = ref.IRON_SATURATION_POLARIZATION
    top = float(np.max(d["polarization"]))
    beyond = d["polarization"][d["H"] >= TABLE_END]
    start, end, fall = largest_fall(d["H"], d["polarization"])
    magnetisation = number(ref.IRON_SATURATION_MAGNETISATION / 1e6)
    return f"""## Tamsery: B(H) of iron

Reference: the saturation polarization of iron at room temperature,
J_s = μ0 M_s = {number(js, 4)} T with M_s = {magnetisation} MA/m
({ref.IRON_SATURATION_SOURCE}). Far above the knee, B − μ0H of iron or
low-carbon steel approaches J_s from below.

{figure_link("tamsery", FIGURE_TITLE)}

{check_table(section.checks)}

B − μ0H rises to {number(top, 5)} T, {relative(top / js - 1)} from J_s, approaching it
from {"below" if top < js else "above"}. On its way it falls by {number(1e3 * fall, 2)} mT from
about {number(start, 3)} to {number(end, 3)} A/m, where the table's slope dB/dH
is below μ0: a differential permeability that iron does not have. From
{number(SATURATED_FROM)} A/m on it lies within {limit(LIMIT)}
of J_s. Past the table's last point, {number(TABLE_END)} A/m, Tamsery's straight
line of slope μ0 holds B − μ0H at {number(float(np.mean(beyond)), 5)} T, as saturated iron does.
The knee has no reference here: it is the table's own, the curve of one iron. Meaningful
(catalogue): H {span(*section.meaningful["H"], "A/m")}, the table. Tamsery is odd in H.
"""


def draw(section, folder):
    """B(H) above; B - mu0 H against J_s within the limit below; the table's
    end dotted across both."""
    d = section.data
    js = ref.IRON_SATURATION_POLARIZATION
    fig, top, bottom = two_panels("Tamsery: B(H) of iron")
    positive = d["H"] > 0
    H = d["H"][positive]
    top.semilogx(H, d["B"][positive], label="Tamsery B")
    top.set_ylabel("B (T)")
    bottom.semilogx(H, d["polarization"][positive], label="Tamsery B − μ0H")
    bottom.axhline(js, color="k", linestyle="--", linewidth=0.9, label=f"J_s of iron, {js:.4g} T")
    bottom.axhspan(
        js * (1 - LIMIT),
        js * (1 + LIMIT),
        color="tab:green",
        alpha=0.12,
        label=f"J_s ±{limit(LIMIT)}",
    )
    bottom.set_ylim(1.9, 2.2)
    for axis in (top, bottom):
        axis.axvline(TABLE_END, color="gray", linestyle=":", linewidth=0.8)
    top.text(TABLE_END * 1.1, 1, "end of\nthe table", fontsize=8)
    top.legend()
    bottom.set_ylabel("B − μ0H (T)")
    bottom.set_xlabel("H (A/m)")
    bottom.legend(loc="lower right")
    save(fig, folder, "tamsery")
