"""Writes the validation report: FOLDER/validation.md and its figures in
FOLDER/validation/ (PNG, Matplotlib, loaded for the figures alone).

    python -m validation [FOLDER]      (from the repository's top folder; FOLDER: docs)

A summary, then one section per library in the catalogue's order. Each
section lives in validation/sections/, in the module named as the library
in lower case, which gives

    REFERENCE, AGREES_WITHIN  its summary row: what it is held against, within what
    compare()                 its Section: the checks, what its text and figure show
    text(section)             its Markdown
    draw(section, folder)     its figures, FOLDER/name.png"""
import functools
import importlib
import sys
import warnings
from pathlib import Path

import materials

from validation.shared import FIGURES, accepted, limit, relative, span, table, unit_text

INTRODUCTION = """# How far to trust each fit: validation against published data

Every library's values here come from the library itself, evaluated through
its entry points by the Python package `materials`; every reference value
comes from the published source named with it (the numbers, with their
sources, are in `validation/reference.py`). Deviation means library
value / reference value − 1. Each worst deviation is held to the limit stated
beside it by `python/tests/test_validation.py`, which also holds the
catalogue's meaningful ranges (`materials list`) to the ones stated here.

Written by `scripts/run-validation` (tables and figures); do not edit by hand.
"""


def modules():
    """{library: its section's module}, in the catalogue's order."""
    return {
        e["name"]: importlib.import_module(f"validation.sections.{e['name'].lower()}")
        for e in materials.catalogue()
    }


@functools.lru_cache(maxsize=None)
def sections():
    """{library: its Section}, each compared once."""
    return {name: module.compare() for name, module in modules().items()}


def meaningful(entry):
    """The catalogue's meaningful ranges: "T 4–300 K, RRR 50–500"."""
    parts = [
        f"{a['name']} {span(a['meaningful']['from'], a['meaningful']['to'])}" + unit_text(a["unit"])
        for a in entry["arguments"]
        if "meaningful" in a
    ]
    return ", ".join(parts) or "every accepted value"


def worst(section):
    """The worst deviation of a section, and where: its label when the
    section has several checks, its place when it has one."""
    c = max(section.checks, key=lambda c: abs(c.worst))
    where = ", ".join(x for x in (c.label if len(section.checks) > 1 else "", c.at) if x)
    return f"{relative(c.worst)} ({where})" if where else relative(c.worst)


def summary(s):
    """Per library: its reference, the limit it keeps to it, the range where
    it does (the catalogue's meaningful range) and the accepted range."""
    entries = {e["name"]: e for e in materials.catalogue()}
    rows = [
        (
            name,
            module.REFERENCE,
            module.AGREES_WITHIN,
            meaningful(entries[name]),
            worst(s[name]),
            accepted(entries[name]),
        )
        for name, module in modules().items()
    ]
    return table(
        [
            "Library",
            "Reference",
            "Agrees within",
            "Meaningful (catalogue)",
            "Worst deviation",
            "Accepted",
        ],
        rows,
    )


def markdown(s):
    """The report's text for the sections s (sections())."""
    parts = [f"{INTRODUCTION}\n## Summary\n\n{summary(s)}\n"]
    parts += [module.text(s[name]) for name, module in modules().items()]
    return "\n".join(parts)


def main(argv):
    # The report evaluates every fit past where it means something, on purpose:
    # that is what it shows.
    warnings.simplefilter("ignore", materials.OutsideMeaningfulRange)
    folder = Path(argv[1] if len(argv) > 1 else "docs")
    s = sections()
    failed = [
        f"{name}: {c.label} over {c.over}: {relative(c.worst)}, limit {limit(c.limit)}"
        for name, section in s.items()
        for c in section.checks
        if not abs(c.worst) <= c.limit
    ]
    (folder / FIGURES).mkdir(parents=True, exist_ok=True)
    (folder / "validation.md").write_text(markdown(s))
    for name, module in modules().items():
        module.draw(s[name], folder / FIGURES)
    print(f"Wrote {folder / 'validation.md'} and its figures in {folder / FIGURES}/")
    for line in failed:
        print(f"past its limit: {line}", file=sys.stderr)
    return 1 if failed else 0
