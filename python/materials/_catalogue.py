"""One Python function per host function, made from the catalogue that the
host program `materials list` shows: the same argument names, units,
defaults and ranges."""
import json
import threading
from pathlib import Path

from ._library import Library, library_path

__all__ = ["catalogue", "host_functions", "accepted_range"]

_HERE = Path(__file__).resolve().parent
# Installed, the catalogue lies in the package; in a checkout, in common/.
_CATALOGUE = next(
    p
    for p in (_HERE / "catalogue.json", _HERE.parent.parent / "common" / "catalogue.json")
    if p.is_file()
)


def catalogue():
    """The catalogue as a list of dicts, one per host function (parsed anew
    on each call, so callers may change their copy)."""
    return json.loads(_CATALOGUE.read_text())["functions"]


_loaded = {}
_loading = threading.Lock()


def _library(name):
    library = _loaded.get(name)
    if library is None:
        with _loading:
            library = _loaded.get(name)
            if library is None:
                library = _loaded[name] = Library(library_path(name))
    return library


def _number(value):
    return f"{value:.10g}"


def _unit(unit):
    return "dimensionless" if unit == "-" else unit


def accepted_range(argument, at_most="<=", unit=""):
    """The values an argument accepts, "0 <= T <= 1400": `at_most` marks an
    inclusive bound and `unit` follows each bound (the validation report
    writes "0 K ≤ T ≤ 1400 K")."""
    low, high = argument.get("lowest"), argument.get("highest")
    if not (low or high):
        return "any value"
    text = argument["name"]
    if low:
        text = f"{_number(low['value'])}{unit} {at_most if low['inclusive'] else '<'} {text}"
    if high:
        text += f" {at_most if high['inclusive'] else '<'} {_number(high['value'])}{unit}"
    return text


def _refusals(entry):
    """The messages a point can fail with, each with its cause."""
    causes = {}
    for a in entry["arguments"]:
        for side, past, onto in (("lowest", "<", "<="), ("highest", ">", ">=")):
            limit = a.get(side)
            if limit:
                refused = past if limit["inclusive"] else onto
                causes.setdefault(limit["message"], []).append(
                    f"{a['name']} {refused} {_number(limit['value'])}"
                )
    lines = [f'"{message}": {" or ".join(c)}' for message, c in causes.items()]
    if entry["output_tests"]:
        lines.append(
            '"Output is nan", "Output is inf": a NaN or infinite result ' "(stored in values)"
        )
    return lines


def _docstring(entry):
    name, arguments = entry["name"], entry["arguments"]
    lines = [
        f"{entry['computes'][0].upper()}{entry['computes'][1:]}: "
        f"{entry['result']} in {_unit(entry['result_unit'])}.",
        "",
        f'Evaluated by the {name} library through its host function "{name}", once '
        "per point of the arguments broadcast against each other (scalars, "
        "sequences, arrays of any shape and real dtype). All-scalar arguments give "
        "a float, anything else an array of the broadcast shape.",
        "",
        "Parameters",
        "----------",
    ]
    for a in arguments:
        default = "" if a.get("required") else f", default {_number(a['default'])}"
        lines.append(f"{a['name']} : array_like, {_unit(a['unit'])}{default}")
        lines.append(
            f"    {a['meaning'][0].upper()}{a['meaning'][1:]}. " f"Accepted: {accepted_range(a)}."
        )
        meaningful = a.get("meaningful")
        if meaningful:
            lines.append(
                f"    Meaningful from {_number(meaningful['from'])} to "
                f"{_number(meaningful['to'])} {a['unit']}: {meaningful['note']}."
            )
    lines += [
        "out : ndarray of float64, optional",
        "    Receives the results; it must have the broadcast shape. Returned.",
        "",
        "Returns",
        "-------",
        f"{entry['result']} : float or ndarray, {_unit(entry['result_unit'])}",
        "",
        "Raises",
        "------",
    ]
    refusals = _refusals(entry)
    if refusals:
        lines.append("EvalError")
        lines += [f"    {r}" for r in refusals]
        lines.append("    The error's index, inputs and values tell where and what.")
    else:
        lines.append(
            "    Nothing from the library: NaN and infinite results are returned " "as they come."
        )
    return "\n".join(lines)


def _host_function(entry):
    """A function with the catalogue's signature that evaluates the
    library of the same name."""
    arguments = entry["arguments"]
    parameters = [
        a["name"] if a.get("required") else f"{a['name']}={float(a['default'])!r}"
        for a in arguments
    ]
    names = [a["name"] for a in arguments]
    source = (
        f"def {entry['name']}({', '.join(parameters)}, *, out=None):\n"
        f"    return _library({entry['name']!r})._evaluate("
        f"{entry['name']!r}, ({', '.join(names)},), _names, out)\n"
    )
    namespace = {"_library": _library, "_names": names}
    exec(source, namespace)  # a real signature, for help() and for speed
    function = namespace[entry["name"]]
    function.__doc__ = _docstring(entry)
    function.__module__ = "materials"
    return function


def host_functions():
    """{name: function} for every host function of the catalogue."""
    return {entry["name"]: _host_function(entry) for entry in catalogue()}
