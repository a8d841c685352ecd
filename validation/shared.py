"""What every section of the validation report is made of: its checks, the
numbers and tables as the report prints them, the catalogue's facts it
quotes, and the figures' frame.

A check is a relative deviation, library value / reference value - 1, held
to a limit: a fit's limit sits a little above the deviation it has today,
so that a change that moves the fit fails; a law's or a model's limit is
what the numerics allow. Library values come from the libraries, through
the materials package; reference values from validation/reference.py."""
import functools
import math
from dataclasses import dataclass, field

import numpy as np

import materials
from materials._catalogue import accepted_range

from validation import libm

GRID_POINTS = 1001  # per curve, spaced evenly in log T
FIGURES = "validation"  # the figures' folder, beside validation.md


# ---- Checks ----------------------------------------------------------------


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
    """A library's checks; the curves and numbers its text and figure show;
    and the range of each argument where the comparison finds the library
    meaningful ({argument: (from, to)}), which the catalogue must state."""

    checks: list
    data: dict = field(default_factory=dict)
    meaningful: dict = field(default_factory=dict)


def worst_of(deviation, where, label, over, limit, unit):
    """The Check of the largest |deviation| over the points `where`."""
    i = int(np.argmax(np.abs(deviation)))
    return Check(label, over, float(deviation[i]), f"{number(where[i], 4)} {unit}", limit)


def log_grid(low, high, points=GRID_POINTS):
    """`points` values from low to high, spaced evenly in log10, both ends exact."""
    grid = libm.power(10.0, np.linspace(math.log10(low), math.log10(high), points))
    grid[0], grid[-1] = low, high
    return grid


# ---- Numbers as the report prints them -----------------------------------------


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


def relative(x, signed=True):
    """A relative deviation: in per cent from 0.1 % up, else as a number."""
    if x == 0:
        return "0"
    if abs(x) >= 1e-3:
        return f"{'+' if signed and x > 0 else ''}{number(100 * x, 3)} %"
    return ("+" if signed and x > 0 else "") + number(x, 2)


def limit(x):
    """A limit, unsigned, as relative() prints it."""
    return relative(x, signed=False)


# ---- Markdown ------------------------------------------------------------------


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(str(c).replace("|", "\\|") for c in row) + " |" for row in rows]
    return "\n".join(lines)


def check_table(checks):
    return table(
        ["Compared", "Over", "Worst deviation", "At", "Limit"],
        [(c.label, c.over, relative(c.worst), c.at or "–", limit(c.limit)) for c in checks],
    )


def figure_link(name, caption):
    return f"![{caption}]({FIGURES}/{name}.png)"


# ---- The catalogue's facts, as `materials list` shows them ---------------------


def catalogue_entry(name):
    return next(e for e in materials.catalogue() if e["name"] == name)


def argument(name, argument_name):
    return next(a for a in catalogue_entry(name)["arguments"] if a["name"] == argument_name)


def defaults(name):
    return {a["name"]: a["default"] for a in catalogue_entry(name)["arguments"]}


def unit_text(unit):
    return "" if unit == "-" else f" {unit}"


def accepted(entry):
    """What a host function accepts: "0 K ≤ T ≤ 1400 K", or "any value"."""
    bounded = [a for a in entry["arguments"] if "lowest" in a or "highest" in a]
    return ", ".join(accepted_range(a, "≤", unit_text(a["unit"])) for a in bounded) or "any value"


# ---- Figures (Matplotlib is loaded for them alone) -------------------------------


@functools.lru_cache(maxsize=None)
def pyplot():
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    plt.rcParams.update(
        {
            "figure.figsize": (7.5, 6.4),
            "axes.grid": True,
            "grid.alpha": 0.3,
            "font.size": 9,
            "legend.fontsize": 8,
        }
    )
    return plt


def two_panels(title):
    """A figure of a curve above (3/5) and its deviation below, sharing x."""
    fig, (top, bottom) = pyplot().subplots(2, 1, sharex=True, height_ratios=(3, 2))
    fig.suptitle(title)
    return fig, top, bottom


def one_panel(title):
    fig, axis = pyplot().subplots(figsize=(6.4, 5))
    fig.suptitle(title)
    return fig, axis


def save(fig, folder, name):
    """FOLDER/name.png, without the Matplotlib version in it (so that an
    unchanged figure is an unchanged file)."""
    fig.tight_layout()
    fig.savefig(folder / f"{name}.png", dpi=100, metadata={"Software": None})
    pyplot().close(fig)
