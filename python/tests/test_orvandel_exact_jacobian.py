"""The package's exact Jacobian of Orvandel's power-law field against central
differences of e_joule itself, below and above the threshold, along and
across J, and the library's own tensor that it corrects."""
import numpy as np
import pytest

from materials import orvandel

# rho (ohm m), Jc (A/m^2), n, Ec (V/m): a coated conductor with a normal
# slope above the threshold, and the worked example's law (Jth = 0.5).
TAPE = (2e-9, 2.8e10, 25.0, 1e-4)
UNIT_LAW = (1.0, 1.0, 2.0, 1.0)
SKEW = np.array([0.36, -0.48, 0.8])  # a unit vector with no zero component

# (law, J as a multiple of Jth along SKEW, expected regime)
CASES = [
    (TAPE, 0.3, "power law"),
    (TAPE, 0.97, "power law"),
    (TAPE, 1.02, "linear"),
    (TAPE, 4.0, "linear"),
    (UNIT_LAW, 0.5, "power law"),
    (UNIT_LAW, 2.0, "linear"),
]


@pytest.mark.parametrize("law, multiple, regime", CASES)
def test_exact_jacobian_is_the_slope_of_e_joule(law, multiple, regime):
    threshold = orvandel.j_threshold(*law)
    j = multiple * threshold * SKEW
    steps = 1e-6 * threshold * np.eye(3)
    differences = (orvandel.e_joule(*law, j + steps) - orvandel.e_joule(*law, j - steps)).T / (
        2 * steps.diagonal()
    )
    exact = orvandel.de_joule_dj_exact(*law, j)
    scale = np.abs(differences).max()
    assert np.abs(exact - differences).max() <= 1e-6 * scale
    # the library's tensor is what is corrected: along J below the
    # threshold (2n - 1) s against n s, across J above it rho against s
    library = orvandel.de_joule_dj(*law, j)
    rho, n = law[0], law[2]
    s = np.linalg.norm(orvandel.e_joule(*law, j)) / np.linalg.norm(j)
    if regime == "power law":
        assert SKEW @ library @ SKEW == pytest.approx((2 * n - 1) * s)
        assert SKEW @ exact @ SKEW == pytest.approx(n * s)
    else:
        assert np.array_equal(library, rho * np.eye(3))
        assert SKEW @ exact @ SKEW == pytest.approx(rho)
        assert np.trace(exact) == pytest.approx(2 * s + rho)


def test_exact_jacobian_over_an_array_and_at_zero():
    """A block of points in both regimes at once, and J = 0, where the power
    law's tensor is zero (n >= 3) and stays so."""
    threshold = orvandel.j_threshold(*TAPE)
    j = np.outer([0.0, 0.5, 2.0], SKEW) * threshold
    block = orvandel.de_joule_dj_exact(*TAPE, j)
    assert block.shape == (3, 3, 3)
    assert not block[0].any()
    for point, tensor in zip(j[1:], block[1:]):
        assert np.array_equal(tensor, orvandel.de_joule_dj_exact(*TAPE, point))
