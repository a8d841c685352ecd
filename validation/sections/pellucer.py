"""Pellucer: m dC/dT of aluminium against the derivative of the NIST
6061-T6 specific-heat fit, and its integral against the fit's rise.

The derivative by a fourth-order central difference,
    c_p'(T) ~ (8 (c(T + h) - c(T - h)) - (c(T + 2h) - c(T - 2h))) / (12 h),
h = 1e-3 T: its own error (rounding in the fit's cancelling sum) is about
1e-7. The integral of Pellucer over the range by Gauss-Legendre in ln T,
64 panels of 10 nodes, against c_p(300 K) - c_p(4 K): its error far below
1e-9."""
import math

import numpy as np
from numpy.polynomial.legendre import leggauss

import materials

from validation import libm
from validation import fits
from validation import reference as ref
from validation.shared import Check, Section, check_table, figure_link, limit, log_grid, number
from validation.shared import save, span, two_panels, worst_of

STEP = 1e-3  # relative step in T
DERIVATIVE_LIMIT = 1e-6
INTEGRAL_LIMIT = 1e-9
PANELS, NODES = 64, 10

REFERENCE = "derivative of the NIST 6061-T6 specific heat"
AGREES_WITHIN = limit(DERIVATIVE_LIMIT)


def specific_heat(T):
    return fits.log_polynomial_fit(ref.AL6061_SPECIFIC_HEAT, T)


def central_difference(T):
    h = STEP * T
    return (
        8 * (specific_heat(T + h) - specific_heat(T - h))
        - (specific_heat(T + 2 * h) - specific_heat(T - 2 * h))
    ) / (12 * h)


def integral(low, high):
    """Pellucer over (low, high) in ln T: dT = T d(ln T); the nodes lie inside."""
    x, w = leggauss(NODES)
    edges = np.linspace(math.log(low), math.log(high), PANELS + 1)
    half = (edges[1:, None] - edges[:-1, None]) / 2
    nodes = libm.exp(edges[:-1, None] + half * (x + 1))
    return float(np.sum(materials.Pellucer(nodes) * nodes * half * w))


def compare():
    low, high = ref.AL6061_SPECIFIC_HEAT_RANGE_K
    T = log_grid(low, high)
    derivative = materials.Pellucer(T)  # m = 1
    difference = central_difference(T)
    deviation = derivative / difference - 1
    area = integral(low, high)
    rise = float(specific_heat(high) - specific_heat(low))
    over = span(low, high, "K")
    checks = [
        worst_of(
            deviation, T, "dC/dT against the difference quotient", over, DERIVATIVE_LIMIT, "K"
        ),
        Check("integral against c_p(300 K) − c_p(4 K)", over, area / rise - 1, "", INTEGRAL_LIMIT),
    ]
    return Section(
        checks,
        {
            "T": T,
            "derivative": derivative,
            "difference": difference,
            "deviation": deviation,
            "integral": area,
            "rise": rise,
        },
    )


def text(section):
    d = section.data
    stated = limit(ref.AL6061_SPECIFIC_HEAT_ERROR)
    over = span(*ref.AL6061_SPECIFIC_HEAT_RANGE_K, "K")
    return f"""## Pellucer: temperature derivative of the heat capacity of aluminium

Reference: {ref.AL6061_SPECIFIC_HEAT_SOURCE}, per kilogram
(an alloy, not pure aluminium), {over}, stated fit error {stated}. Pellucer with
m = 1 against the fit's derivative by a fourth-order central difference
(step {number(STEP)} T); and the integral of Pellucer over {over}
(Gauss–Legendre in ln T, {PANELS} panels of {NODES} nodes),
{d["integral"]:.10g} J/(kg K), against c_p(300 K) − c_p(4 K) = {d["rise"]:.10g} J/(kg K).

{figure_link("pellucer", "Pellucer against the derivative of the NIST 6061-T6 specific heat")}

{check_table(section.checks)}

Pellucer is the derivative of the NIST fit, to the accuracy of the
difference quotient, and means what that fit means: its uncertainty is that
of the derivative of a fit stated to {stated}, larger than {stated} by an amount
the source does not give. Its accepted range is the fit's range: every
accepted value is meaningful.
"""


def draw(section, folder):
    """Pellucer against every 40th difference quotient; their ratio - 1 below."""
    d = section.data
    fig, top, bottom = two_panels("Pellucer against the derivative of the NIST 6061-T6 fit")
    top.loglog(d["T"], d["derivative"], label="Pellucer (m = 1)")
    top.loglog(d["T"][::40], d["difference"][::40], "k.", label="difference quotient of NIST c_p")
    top.set_ylabel("dC/dT (J/(kg K²))")
    top.legend()
    bottom.semilogx(d["T"], d["deviation"])
    bottom.set_ylabel("Pellucer / difference − 1")
    bottom.set_xlabel("T (K)")
    save(fig, folder, "pellucer")
