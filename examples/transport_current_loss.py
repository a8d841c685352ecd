"""AC transport-current loss of superconductors: the 2-D H-formulation with
Orvandel's power-law E(J), checked against Norris's critical-state losses
of a round wire and of a thin strip.

A conductor along z, in the plane of its cross-section, carries the net
current I(t) = I_m sin(2 pi f t), I_m = F Ic, at f = 50 Hz. With H in the
plane and J, E along z, Faraday's and Ampere's laws read

    mu0 dH/dt + curl E = 0,    J_z = curl H,    E_z = E(J_z),

E from Orvandel's e_joule with J = (0, 0, J_z): Ec (|J|/Jc)^n below a
threshold just above Jc, the linear continuation of slope rho above it.
H lies in first-order Nedelec (N1curl) elements, whose tangential
continuity is Ampere's law itself. Air around the conductor is a conductor
of constant resistivity, so that one equation holds everywhere. The current
enters through the rim of the air disc: H's tangential value there is
I/(2 pi R) (Ampere's law round the rim), a Dirichlet value of H's own
unknowns rather than a multiplier, so the system keeps its size and its
symmetry and any linear solver for H(curl) serves; the rim lies where the
conductor's field is the line current's (exactly for the wire, to 1e-3 for
the strip).

Each backward-Euler step is solved by Newton's method from the field
extrapolated from the last two steps, with the examples' line search. Its
Jacobian takes dE_z/dJ_z from Orvandel's de_joule_dj as the library
returns it (--jacobian library) or exact (--jacobian exact). Along J the
library's tensor is (2n - 1) s below the threshold, s = |E|/|J|, where the
slope of E is n s: Newton then falls short by about half of each step.
The exact slope is formed from the library's outputs by the package
(materials.orvandel.de_joule_dj_exact).

The loss per cycle and unit length is the energy E_z J_z dissipated in the
conductor over the cycle that follows the first peak of the current (the
conductor's virgin state lies before it), in J/m; losses.csv holds it per
case with Norris's value.

Checks: at n = 100 the loss lies within 5 % of Norris's (W. T. Norris,
J. Phys. D 3 (1970) 489), Q = mu0 Ic^2/pi [(1 - F) ln(1 - F) + (2 - F) F/2]
for the round wire at F = 0.5 and 0.9 and Q = mu0 Ic^2/pi [(1 - F) ln(1 -
F) + (1 + F) ln(1 + F) - F^2] for the strip (4 mm by 1 um, Jc = 2.8e10
A/m^2) at F = 0.4, 0.6, 0.8 and 0.9 (full size). n = 25 is reported
beside it: the power law itself departs from the critical state by more
than the check allows."""
import argparse
import math

import matplotlib

matplotlib.use("Agg")
import numpy as np

from femkit import MU0
from femkit.run import Run
from materials import orvandel
from transport_current_loss_model import CONDUCTORS, EC, RHO, TransportCurrent
from transport_current_loss_plots import plot_losses, plot_profiles

CHECKED_N, REPORTED_N = 100, 25
FRACTIONS = {"wire": (0.5, 0.9), "strip": (0.4, 0.6, 0.8, 0.9)}  # I_m / Ic
# conductors, time steps per cycle, cells across each conductor (a wire's
# radius, a strip's width; the strip's second resolution for its mesh
# convergence), whether the air's resistivity is tried ten times larger
SIZES = {
    "small": (("wire",), 100, {"wire": (12,), "strip": (60,)}, False),
    "full": (("strip", "wire"), 100, {"wire": (24,), "strip": (400, 240)}, True),
}
LIMIT = 0.05  # of |loss / Norris - 1|


def numbers_within(low, high=math.inf):
    """An option's type: comma-separated numbers, each in (low, high)."""

    def parse(text):
        try:
            values = tuple(float(v) for v in text.split(","))
        except ValueError:
            raise argparse.ArgumentTypeError(f"not a number in {text!r}") from None
        if not all(low < v < high for v in values):
            raise argparse.ArgumentTypeError(f"{text} is not within ({low:g}, {high:g})")
        return values

    return parse


def add_options(parser):
    parser.add_argument("--conductor", choices=CONDUCTORS, help="(default: the size's)")
    parser.add_argument(
        "--fractions",
        type=numbers_within(0.0, 1.0),
        help="I_m / Ic, comma-separated, each in (0, 1) (default: the conductor's checked ones)",
    )
    parser.add_argument(
        "--n",
        type=numbers_within(1.0),
        help=f"the exponents, comma-separated, each above 1; the first is checked "
        f"(default {CHECKED_N},{REPORTED_N})",
    )
    parser.add_argument("--jacobian", choices=("library", "exact"), default="library")
    parser.add_argument(
        "--jc-factor",
        type=lambda text: numbers_within(0.0)(text)[0],
        default=1.0,
        help="multiplies the Jc the law is given, not the Ic of the current and of "
        "Norris's losses: a fault the checks must catch (1.1: 10 %% off)",
    )


def make_law(jacobian, timed):
    """law(jc, n, J_z) -> (E_z, dE_z/dJ_z) through the package's array
    functions, one call each over all points, each wrapped by timed (a
    clock); the slope de_joule_dj's as returned (jacobian "library") or
    exact."""
    e_joule = timed(orvandel.e_joule)
    slope = timed(orvandel.de_joule_dj_exact if jacobian == "exact" else orvandel.de_joule_dj)

    def law(jc, n, J_z):
        j = np.zeros(J_z.shape + (3,))
        j[..., 2] = J_z
        return e_joule(RHO, jc, n, EC, j)[..., 2], slope(RHO, jc, n, EC, j)[..., 2, 2]

    return law


def norris_loss(conductor, ic, fraction):
    return MU0 * ic**2 / np.pi * conductor.norris(fraction)


def run_cases(run, model, exponents, fractions, profiles=None):
    """The loss of every (n, F) on the model, a line per n; returns rows
    (conductor, n, F, loss, Norris's loss) and Newton's iterations of every
    step. The profiles (see cycle_loss) are of the first n and the largest
    F."""
    rows, iterations = [], []
    for n in exponents:
        counts = []
        for fraction in fractions:
            shown = profiles if n == exponents[0] and fraction == max(fractions) else None
            loss, case_counts = model.cycle_loss(n, fraction, shown)
            norris = norris_loss(model.conductor, model.ic, fraction)
            rows.append((model.conductor.name, n, fraction, loss, norris))
            counts += case_counts
        iterations += counts
        run.say(
            f"{model.conductor.name}, n = {n:g}: loss / Norris "
            + ", ".join(f"{r[3] / r[4]:.4f} at F = {r[2]:g}" for r in rows if r[1] == n)
            + f"; Newton per step: median {np.median(counts):g}, largest {max(counts)}"
        )
    return rows, iterations


def solve_conductor(run, name, resolutions, exponents, fractions, profiles):
    """One conductor: its cases at the first resolution, its checked n at
    the others (mesh convergence) and, at full size, with the air ten times
    as resistive."""
    _, steps, _, try_air = SIZES[run.size]
    conductor, law = CONDUCTORS[name], make_law(run.options.jacobian, run.timed)
    models = [
        TransportCurrent(run.comm, conductor, cells, steps, law, solver=run.solver)
        for cells in resolutions
    ]
    for model in models:
        model.jc = conductor.jc * run.options.jc_factor
    model = models[0]
    run.say(
        f"{name}: {resolutions[0]} cells across, {model.unknowns} unknowns, Ic = {model.ic:.5g} A "
        f"as meshed, {steps} steps per cycle, {run.options.jacobian} Jacobian"
    )
    rows, iterations = run_cases(run, model, exponents, fractions, profiles)
    checked = [r[3] for r in rows if r[1] == exponents[0]]
    for cells, coarser in zip(resolutions[1:], models[1:]):
        coarse, _ = run_cases(run, coarser, exponents[:1], fractions)
        run.say(
            f"{name}: loss at {cells} cells across / at {resolutions[0]}: "
            + ", ".join(f"{c[3] / f:.4f} at F = {c[2]:g}" for c, f in zip(coarse, checked))
        )
    if try_air:
        model.air *= 10
        loss, _ = model.cycle_loss(exponents[0], fractions[-1])
        run.say(
            f"{name}: the air ten times as resistive changes the loss at F = {fractions[-1]:g} "
            f"by {loss / checked[-1] - 1:+.1e}"
        )
    return rows, iterations


def main():
    run = Run("transport_current_loss", __doc__, add_options, solver="lu")  # H(curl): see the model
    options = run.options
    conductors, _, resolutions, _ = SIZES[run.size]
    conductors = (options.conductor,) if options.conductor else conductors
    exponents = options.n or (CHECKED_N, REPORTED_N)
    rows, iterations, profiles = [], [], []
    with run.solving():
        for name in conductors:
            fractions = options.fractions or FRACTIONS[name]
            shown = profiles if name == conductors[0] else None
            found = solve_conductor(run, name, resolutions[name], exponents, fractions, shown)
            rows += found[0]
            iterations += found[1]
    if run.root:
        plot_losses(run, rows)
        plot_profiles(run, CONDUCTORS[conductors[0]], profiles)
    run.say(
        f"Newton with the {options.jacobian} Jacobian, per step: median "
        f"{np.median(iterations):g}, largest {max(iterations)} iterations"
    )
    deviation = max(abs(r[3] / r[4] - 1) for r in rows if r[1] == exponents[0])
    run.finish(f"largest |loss / Norris - 1| at n = {exponents[0]:g} =", deviation, LIMIT)


if __name__ == "__main__":
    main()
