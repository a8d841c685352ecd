"""Wembrel: electrical resistivity of aluminium against the CRC/Desai
values for the pure metal.

Deviation rho_Wembrel / rho_CRC - 1 at the table's temperatures. The fit
means something from where the reference begins up to the last of the
table's points that all lie within the limit; below, the resistivity
depends on purity and no reference applies: there the fit's own turning
points are shown."""
import numpy as np

import materials

from validation import reference as ref
from validation.shared import Section, accepted, catalogue_entry, check_table, figure_link, limit
from validation.shared import log_grid, number, relative, save, span, table, two_panels, worst_of

LIMIT = 0.30
PLOT_K = (1.0, 1400.0)
TURNS_FROM_K = 0.2  # where the search for turning points below the reference begins

REFERENCE = "CRC/Desai resistivity of pure aluminium"
AGREES_WITHIN = limit(LIMIT)


def meaningful_range(T_ref, deviation):
    """From where the reference begins up to the last point of the run
    within the limit from the first (to the first point, if none is)."""
    leading = int(np.cumprod(np.abs(deviation) <= LIMIT).sum())
    return ref.ALUMINIUM_RESISTIVITY_PURITY_BELOW_K, float(T_ref[max(leading - 1, 0)])


def compare():
    points = np.array(ref.ALUMINIUM_RESISTIVITY)
    T_ref, rho_ref = points[:, 0], points[:, 1] * ref.ALUMINIUM_RESISTIVITY_UNIT
    rho_at_ref = materials.Wembrel(T_ref)
    deviation = rho_at_ref / rho_ref - 1
    low, high = meaningful_range(T_ref, deviation)
    inside = (T_ref >= low) & (T_ref <= high)
    checks = [
        worst_of(deviation[inside], T_ref[inside], "resistivity", span(low, high, "K"), LIMIT, "K")
    ]
    T = log_grid(*PLOT_K)
    # Where no reference reaches: the fit's turning points below it.
    T_low = log_grid(TURNS_FROM_K, low, 4001)
    rho_low = materials.Wembrel(T_low)
    turns = np.nonzero(np.diff(np.sign(np.diff(rho_low))))[0] + 1
    return Section(
        checks,
        {
            "T": T,
            "rho": materials.Wembrel(T),
            "T_ref": T_ref,
            "rho_ref": rho_ref,
            "rho_at_ref": rho_at_ref,
            "deviation": deviation,
            "turns": [(T_low[i], rho_low[i]) for i in turns],
        },
        meaningful={"T": (low, high)},
    )


def text(section):
    d = section.data
    low, high = section.meaningful["T"]
    rows = []
    for T, rho_ref, rho, dev in zip(d["T_ref"], d["rho_ref"], d["rho_at_ref"], d["deviation"]):
        notes = []
        if T >= ref.ALUMINIUM_RESISTIVITY_INDICATIVE_FROM_K:
            notes.append("indicative")
        if not low <= T <= high:
            notes.append("past the meaningful range")
        rows.append(
            (number(T), number(rho_ref, 4), number(rho, 4), relative(dev), ", ".join(notes))
        )
    turns = ", ".join(
        f"{number(T, 3)} K ({'minimum' if i % 2 == 0 else 'maximum'}, " f"{number(rho, 3)} Ω m)"
        for i, (T, rho) in enumerate(d["turns"])
    )
    worst = section.checks[0]
    ratio = d["rho_at_ref"][-1] / d["rho_ref"][-1]
    return f"""## Wembrel: electrical resistivity of aluminium

Reference: {ref.ALUMINIUM_RESISTIVITY_SOURCE}: high-purity aluminium, stated
uncertainty about 2–5 %; the values from
{number(ref.ALUMINIUM_RESISTIVITY_INDICATIVE_FROM_K)} K up are indicative (open circles). Below
{number(ref.ALUMINIUM_RESISTIVITY_PURITY_BELOW_K)} K the resistivity depends on the metal's purity,
and no reference is compared there.
Aluminium melts at {number(ref.ALUMINIUM_MELTING_POINT_K)} K ({ref.ALUMINIUM_MELTING_POINT_SOURCE}).

{figure_link("wembrel", "Wembrel against the CRC/Desai resistivity of aluminium")}

{check_table(section.checks)}

{table(["T (K)", "CRC/Desai (Ω m)", "Wembrel (Ω m)", "Deviation", ""], rows)}

From {number(low)} K to {number(high)} K Wembrel lies within {limit(worst.limit)} of
the reference (worst {relative(worst.worst)} at {worst.at}), far more than the reference's
own uncertainty: a rough fit. **Above about {number(high)} K the fit stops meaning
anything**: its polynomial in log T climbs away from the data, to
{number(ratio, 3)} times the reference at {number(d["T_ref"][-1])} K, and to
{number(d["rho"][-1], 3)} Ω m at {number(PLOT_K[1])} K, above the melting point. The
accepted range stays {accepted(catalogue_entry("Wembrel"))}; the meaningful range
(catalogue) is T {span(low, high, "K")}. Below {number(low)} K the fit turns at {turns}: it
is not monotonic there, and below its first minimum it climbs steeply.
"""


def draw(section, folder):
    """rho(T) of Wembrel with the CRC/Desai points, and their ratio; shaded
    grey where purity decides, red where the fit stops meaning anything."""
    d = section.data
    low, high = section.meaningful["T"]
    indicative = d["T_ref"] >= ref.ALUMINIUM_RESISTIVITY_INDICATIVE_FROM_K
    fig, top, bottom = two_panels("Wembrel: resistivity of aluminium against CRC/Desai")
    top.loglog(d["T"], d["rho"], label="Wembrel")
    for axis in (top, bottom):
        axis.axvspan(PLOT_K[0], low, color="gray", alpha=0.12)
        axis.axvspan(high, PLOT_K[1], color="tab:red", alpha=0.1)
        axis.axvline(ref.ALUMINIUM_MELTING_POINT_K, color="k", linestyle=":", linewidth=0.8)
    for axis, values in ((top, d["rho_ref"]), (bottom, d["rho_at_ref"] / d["rho_ref"])):
        axis.plot(
            d["T_ref"][~indicative], values[~indicative], "ko", markersize=4, label="CRC/Desai"
        )
        axis.plot(
            d["T_ref"][indicative],
            values[indicative],
            "ko",
            markersize=4,
            markerfacecolor="none",
            label="CRC/Desai, indicative",
        )
    top.set_ylim(1e-13, 1.0)
    top.text(1.3, 1e-2, f"below {number(low)} K: depends on purity,\nno reference", fontsize=8)
    top.text(
        high * 0.97,
        1e-2,
        "the fit stops\nmeaning anything",
        fontsize=8,
        color="tab:red",
        horizontalalignment="right",
    )
    top.text(ref.ALUMINIUM_MELTING_POINT_K * 1.04, 1e-9, "aluminium melts", fontsize=8, rotation=90)
    top.set_ylabel("ρ (Ω m)")
    top.legend(loc="lower right")
    bottom.set_yscale("log")
    bottom.axhspan(
        1 - LIMIT, 1 + LIMIT, color="tab:green", alpha=0.12, label=f"within ±{limit(LIMIT)}"
    )
    bottom.set_ylabel("Wembrel / CRC")
    bottom.set_xlabel("T (K)")
    bottom.legend(loc="upper left")
    save(fig, folder, "wembrel")
