"""The validation report against the libraries: every worst deviation within
the limit the report states, the catalogue's meaningful ranges the ones the
report finds, the reference fits copied right, and the committed report,
docs/validation.md, the one the libraries give now."""
import re
import sys
from pathlib import Path

import numpy as np
import pytest

import materials

REPOSITORY = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPOSITORY))
from validation import comparisons, reference, report  # noqa: E402

CHECKS = [(name, check) for name, section in comparisons.sections().items()
          for check in section.checks]
ASCII = str.maketrans({"–": "-", "−": "-", "μ": "mu", "τ": "tau", "ρ": "rho"})


@pytest.mark.parametrize("name, check", CHECKS,
                         ids=[f"{name}: {check.label}, {check.over}".translate(ASCII)
                              for name, check in CHECKS])
def test_worst_deviation_within_its_stated_limit(name, check):
    assert abs(check.worst) <= check.limit, (
        f"{name}: {check.label} over {check.over}: {check.worst:.3g} at {check.at}, "
        f"limit {check.limit:g}")


def test_catalogue_states_the_meaningful_ranges_the_report_finds():
    stated = {(e["name"], a["name"]): (a["meaningful"]["from"], a["meaningful"]["to"])
              for e in materials.catalogue() for a in e["arguments"] if "meaningful" in a}
    assert stated == comparisons.MEANINGFUL


@pytest.mark.parametrize("name, fit, values", reference.CHECKED_FITS,
                         ids=[fit[0] for fit in reference.CHECKED_FITS])
def test_reference_fit_gives_its_check_values(name, fit, values):
    T, expected = np.array(values).T
    np.testing.assert_allclose(fit(T), expected, rtol=reference.CHECK_VALUE_TOLERANCE)


def test_committed_report_is_the_one_the_libraries_give():
    docs = REPOSITORY / "docs"
    committed = (docs / "validation.md").read_text()
    assert committed == report.markdown(comparisons.sections()), (
        "docs/validation.md is out of date: rerun scripts/run-validation")
    figures = re.findall(r"\]\((validation/[^)]+\.png)\)", committed)
    assert figures and all((docs / f).is_file() for f in figures)
