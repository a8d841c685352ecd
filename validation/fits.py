"""The published fits of reference.py as functions of T, computed with the C
library's pow and log10 (libm), so that the report they enter is the same on
every x86-64 CPU; and each fit's published values, for the test that its
coefficients were copied right."""
import numpy as np

from validation import libm
from validation.reference import (
    AL6061_SPECIFIC_HEAT,
    AL6061_SPECIFIC_HEAT_CHECKS,
    COPPER_CONDUCTIVITY,
    COPPER_CONDUCTIVITY_CHECKS_RRR100,
    COPPER_SPECIFIC_HEAT,
    COPPER_SPECIFIC_HEAT_CHECKS,
)


def copper_conductivity(T, rrr):
    """k(T) in W/(m K) of OFHC copper of the given RRR (one of
    COPPER_CONDUCTIVITY), T in K."""
    a, b, c, d, e, f, g, h, i = COPPER_CONDUCTIVITY[rrr][1]
    T = np.asarray(T, dtype=float)
    s = np.sqrt(T)
    return libm.power(
        10.0,
        (a + c * s + e * T + g * T * s + i * T * T) / (1 + b * s + d * T + f * T * s + h * T * T),
    )


def log_polynomial_fit(coefficients, T):
    """10^(sum_k a_k (log10 T)^k): the form of both specific-heat fits."""
    L = libm.log10(T)
    exponent = np.zeros_like(L)
    for a in reversed(coefficients):
        exponent = exponent * L + a
    return libm.power(10.0, exponent)


# Every fit with its values, for the test that the copy is right:
# (name, function of T, ((T, value), ...)), the values to four digits.
CHECK_VALUE_TOLERANCE = 5e-4  # relative
CHECKED_FITS = (
    (
        "NIST copper conductivity, RRR 100",
        lambda T: copper_conductivity(T, 100),
        COPPER_CONDUCTIVITY_CHECKS_RRR100,
    ),
    (
        "NIST copper specific heat",
        lambda T: log_polynomial_fit(COPPER_SPECIFIC_HEAT, T),
        COPPER_SPECIFIC_HEAT_CHECKS,
    ),
    (
        "NIST 6061-T6 specific heat",
        lambda T: log_polynomial_fit(AL6061_SPECIFIC_HEAT, T),
        AL6061_SPECIFIC_HEAT_CHECKS,
    ),
)
