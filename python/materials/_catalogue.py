"""One Python function per host function, made from the catalogue that the
host program `materials list` shows: the same argument names, units,
defaults and ranges, and the same words for a range."""
import json
import warnings

import numpy as np

from ._files import package_file
from ._library import EvalError, loaded

__all__ = ["catalogue", "host_functions", "accepted_range", "OutsideMeaningfulRange"]

_CATALOGUE = package_file("catalogue.json", "common/catalogue.json")

# Arguments that are plain numbers, tested without NumPy's overhead.
_SCALARS = (float, int, np.floating, np.integer)


class OutsideMeaningfulRange(UserWarning):
    """Points outside the range where a library's fit means something
    physically (the catalogue's "meaningful" range, narrower than the range
    the library accepts): computed as asked, and flagged with one warning per
    call that names the library, how many points and the range. The warnings
    module turns it into an error:
    warnings.simplefilter("error", materials.OutsideMeaningfulRange)."""


def catalogue():
    """The catalogue as a list of dicts, one per host function (parsed anew
    on each call, so callers may change their copy)."""
    return json.loads(_CATALOGUE.read_text())["functions"]


def _number(value):
    return f"{value:.10g}"


def _unit(unit):
    return "dimensionless" if unit == "-" else unit


def _quantity(value, unit):
    """A bound as the host program writes it: %g and the unit, none for "-"."""
    return f"{value:g}" if unit == "-" else f"{value:g} {unit}"


def _span(argument, low, high):
    """An argument's range in words, each bound a (value, inclusive) pair
    or None: "T from 4 K to 300 K", "T from 0 K up", "k above -1 and
    below 3"."""
    unit = argument["unit"]
    lower = low and f"{'from' if low[1] else 'above'} {_quantity(low[0], unit)}"
    upper = high and f"{'to' if high[1] else 'below'} {_quantity(high[0], unit)}"
    if not high:
        words = f"{lower} up" if low[1] else lower
    elif not low:
        words = f"up {upper}" if high[1] else upper
    else:
        words = f"{lower}{' ' if low[1] and high[1] else ' and '}{upper}"
    return f"{argument['name']} {words}"


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
    causes: dict[str, list[str]] = {}
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
            unit = "" if a["unit"] == "-" else f" {a['unit']}"
            lines.append(
                f"    Meaningful from {_number(meaningful['from'])} to "
                f"{_number(meaningful['to'])}{unit}: {meaningful['note']}."
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
    if any("meaningful" in a for a in arguments):
        lines += [
            "",
            "Warns",
            "-----",
            "OutsideMeaningfulRange",
            "    Once per call, for points outside the meaningful ranges above.",
        ]
    return "\n".join(lines)


class _Evaluation:
    """What a host function does at each call, prepared once from its
    catalogue entry: evaluate the library of the same name, add the
    accepted range to the message of a range test, flag points outside the
    meaningful range."""

    def __init__(self, entry):
        self.name = entry["name"]
        self.names = [a["name"] for a in entry["arguments"]]
        self.library = None  # loaded at the first call
        self.accepted: dict[str, str] = {}  # range test's message: " (Name accepts T from ...)"
        self.meaningful = []  # (argument's index, from, to)
        meaningful_spans = []
        for k, a in enumerate(entry["arguments"]):
            low, high = a.get("lowest"), a.get("highest")
            if low or high:
                span = _span(
                    a,
                    low and (low["value"], low["inclusive"]),
                    high and (high["value"], high["inclusive"]),
                )
                for message in {limit["message"] for limit in (low, high) if limit}:
                    self.accepted.setdefault(message, f" ({self.name} accepts {span})")
            if "meaningful" in a:
                bounds = a["meaningful"]["from"], a["meaningful"]["to"]
                self.meaningful.append((k, *bounds))
                meaningful_spans.append(_span(a, (bounds[0], True), (bounds[1], True)))
        self.meaningful_spans = " and ".join(meaningful_spans)

    def __call__(self, args, out):
        try:
            library = self.library or self._load()
            result = library.eval(self.name, *args, out=out, names=self.names)
        except EvalError as error:
            error.library = self.name
            error.accepted = self.accepted.get(error.message, "")
            raise
        if self.meaningful:
            outside = self._outside_meaningful(args)
            if outside is not False:
                self._warn(np.count_nonzero(np.broadcast_to(outside, np.shape(result))), result)
        return result

    def _load(self):
        self.library = loaded(self.name)
        return self.library

    def _outside_meaningful(self, args):
        """Where an argument lies outside its meaningful range (a NaN lies
        nowhere): False where none does, else True or a boolean array that
        broadcasts to the points. An array's least and greatest values
        settle the usual case in two passes, a plain number in two
        comparisons."""
        outside = False
        for k, low, high in self.meaningful:
            value = args[k]
            if isinstance(value, _SCALARS):
                value = float(value)  # a NumPy scalar compares at a tenth of the speed
                if value < low or value > high:
                    outside = True
                continue
            values = np.asarray(value)
            if values.size and not (values.min() >= low and values.max() <= high):
                outside = outside | (values < low) | (values > high)
        return outside

    def _warn(self, count, result):
        if count:
            warnings.warn(
                f"{self.name}: points outside the meaningful range ({self.meaningful_spans}): "
                f"{count} of {np.size(result)}",
                OutsideMeaningfulRange,
                stacklevel=4,  # the caller of the host function
            )


def _host_function(entry):
    """A function with the catalogue's signature that evaluates the
    library of the same name."""
    parameters = [
        a["name"] if a.get("required") else f"{a['name']}={float(a['default'])!r}"
        for a in entry["arguments"]
    ]
    evaluation = _Evaluation(entry)
    source = (
        f"def {entry['name']}({', '.join(parameters)}, *, out=None):\n"
        f"    return _evaluate(({', '.join(evaluation.names)},), out)\n"
    )
    namespace = {"_evaluate": evaluation}
    # Written out, the function has the catalogue's signature for help()
    # and binds its arguments at the speed of any Python function.
    exec(source, namespace)
    function = namespace[entry["name"]]
    function.__doc__ = _docstring(entry)
    function.__module__ = "materials"
    return function


def host_functions():
    """{name: function} for every host function of the catalogue."""
    return {entry["name"]: _host_function(entry) for entry in catalogue()}
