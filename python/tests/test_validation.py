"""The validation report against the libraries: every worst deviation within
the limit the report states, the catalogue's meaningful ranges the ones the
report finds, the catalogue's breakpoints the libraries', the reference fits
copied right, and the committed report, docs/validation.md, the one the
libraries give now, on a CPU with AVX-512 or without."""
import os
import re
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
from numpy.polynomial import Polynomial

import materials

REPOSITORY = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPOSITORY))
from validation import fits, libm, report  # noqa: E402

CHECKS = [(name, check) for name, section in report.sections().items() for check in section.checks]
ASCII = str.maketrans({"–": "-", "−": "-", "μ": "mu", "τ": "tau", "ρ": "rho"})


@pytest.mark.parametrize(
    "name, check",
    CHECKS,
    ids=[f"{name}: {check.label}, {check.over}".translate(ASCII) for name, check in CHECKS],
)
def test_worst_deviation_within_its_stated_limit(name, check):
    assert abs(check.worst) <= check.limit, (
        f"{name}: {check.label} over {check.over}: {check.worst:.3g} at {check.at}, "
        f"limit {check.limit:g}"
    )


def test_catalogue_states_the_meaningful_ranges_the_report_finds():
    stated = {
        (e["name"], a["name"]): (a["meaningful"]["from"], a["meaningful"]["to"])
        for e in materials.catalogue()
        for a in e["arguments"]
        if "meaningful" in a
    }
    found = {
        (name, argument): found
        for name, section in report.sections().items()
        for argument, found in section.meaningful.items()
    }
    assert stated == found


PIECES = [
    (e["name"], a["name"], a["pieces"]["breakpoints"])
    for e in materials.catalogue()
    for a in e["arguments"]
    if "pieces" in a
]


def quartic_misfit(function, x):
    """The largest misfit of the least-squares quartic through function(x),
    relative to its largest value: rounding alone (about 1e-15) where x lies
    within one piece of a quartic, a line or a constant."""
    y = function(x)
    return np.max(np.abs(Polynomial.fit(x, y, 4)(x) - y)) / np.max(np.abs(y))


@pytest.mark.parametrize(
    "name, argument, breakpoints",
    PIECES,
    ids=[f"{name} {argument}" for name, argument, _ in PIECES],
)
def test_catalogue_breakpoints_are_where_the_library_changes_piece(name, argument, breakpoints):
    """Within a tenth of each breakpoint (neither law changes again that
    close), the library is one quartic below it, the breakpoint included, one
    above, and none across; past the last breakpoint it stays one to ten
    times it."""
    function = getattr(materials, name)
    for b in breakpoints:
        below = np.linspace(0.9 * b, b, 50)
        above = np.linspace(np.nextafter(b, np.inf), 1.1 * b, 50)
        assert quartic_misfit(function, below) < 1e-12, (b, "below")
        assert quartic_misfit(function, above) < 1e-12, (b, "above")
        assert quartic_misfit(function, np.concatenate((below, above))) > 1e-9, (b, "across")
    past = np.linspace(np.nextafter(breakpoints[-1], np.inf), 10 * breakpoints[-1], 200)
    assert quartic_misfit(function, past) < 1e-12, "past the last breakpoint"


@pytest.mark.parametrize(
    "name, fit, values", fits.CHECKED_FITS, ids=[fit[0] for fit in fits.CHECKED_FITS]
)
def test_reference_fit_gives_its_check_values(name, fit, values):
    T, expected = np.array(values).T
    np.testing.assert_allclose(fit(T), expected, rtol=fits.CHECK_VALUE_TOLERANCE)


def test_committed_report_is_the_one_the_libraries_give():
    docs = REPOSITORY / "docs"
    committed = (docs / "validation.md").read_text()
    assert committed == report.markdown(
        report.sections()
    ), "docs/validation.md is out of date: rerun scripts/run-validation"
    figures = re.findall(r"\]\((validation/[^)]+\.png)\)", committed)
    assert figures and all((docs / f).is_file() for f in figures)


def test_report_is_the_same_with_numpys_avx512_paths_on_and_off(tmp_path):
    """The report, text and figures, written here and by a process whose
    NumPy runs as on an AVX2 CPU (its own vectorised exp, log and pow off,
    the C library's on) is the same, byte for byte."""
    report.main(["validation", str(tmp_path / "here")])
    environment = dict(os.environ, NPY_DISABLE_CPU_FEATURES=libm.without_avx512())
    run = subprocess.run(
        [sys.executable, "-m", "validation", str(tmp_path / "avx2")],
        cwd=REPOSITORY,
        env=environment,
        capture_output=True,
        text=True,
    )
    assert run.returncode == 0, run.stderr
    here, avx2 = (
        {f.relative_to(folder): f.read_bytes() for f in folder.rglob("*") if f.is_file()}
        for folder in (tmp_path / "here", tmp_path / "avx2")
    )
    assert here.keys() == avx2.keys()
    assert [str(f) for f in here if here[f] != avx2[f]] == []
