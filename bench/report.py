#!/usr/bin/python3
"""Turns the benchmark JSON, the NumPy timings, the Python package's
timings and those of Orvandel's model from NumPy into docs/benchmarks.md."""
import json
import platform
import subprocess
import sys
from pathlib import Path

# The libraries in the catalogue's order.
CATALOGUE = Path(__file__).resolve().parent.parent / "common" / "catalogue.json"
LIBRARIES = [f["name"] for f in json.loads(CATALOGUE.read_text())["functions"]]
# Libraries without a maths-library floor, measured against a plain loop.
COMPARATORS = [("Tamsery", "Tamsery_linear_scan", "linear scan of the table"),
               ("Orvandel", "Orvandel_j_rev_per_point", "exported j_rev per point")]


def cpu_name():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def python_package(package, ns):
    """The section on what the Python package adds to eval."""
    out = ["", "## Through the Python package", "",
           "`bench/python_package.py`: 10^6 points through `materials.Daskelt(T)` and "
           "`materials.Wembrel(T)` (the other arguments numbers, as users write them) against "
           "one eval call over the same 10^6 points from a host (a direct foreign call, "
           "every argument a full array); best of 7, interleaved.", "",
           "| Library | eval ms | package ms | package/eval | package with out= ms | "
           "out=/eval |", "|---|---|---|---|---|---|"]
    for lib in ("Daskelt", "Wembrel"):
        r = package[lib]
        e, p, o = (r[k] * 1e3 for k in ("eval_s", "package_s", "package_out_s"))
        out.append(f"| {lib} | {e:.1f} | {p:.1f} | {p / e:.3f} | {o:.1f} | {o / e:.3f} |")
    out += ["", "The fixed cost of a call on plain numbers (one point), in microseconds, "
            "and the library's own cost at block 1 (from the table above):", "",
            "| Call | us per call | eval at block 1 us |", "|---|---|---|"]
    for call, seconds in package["scalar_call_s"].items():
        own = ns.get(f"eval/{call.split('(')[0]}/1")
        out.append(f"| `materials.{call}` | {seconds * 1e6:.2f} | "
                   f"{f'{own / 1e3:.3f}' if own else '-'} |")
    return out


def orvandel_arrays(results):
    """The section on Orvandel's model functions from NumPy against a C loop."""
    out = ["", "## Orvandel's vector model from NumPy against a C loop", "",
           f"`bench/orvandel_arrays.py`: {results['points']:,} points, each with its own field "
           "and history, through `materials.orvandel.bhyst` + `dbhyst_dh` and through "
           "`VectorHysteresis.evaluate` + `accept`, against `bench/orvandel_c_loop.c`, a "
           "plain C loop making the same calls of the exported functions on the same arrays "
           "(`bhyst` and `dbhyst_dh` per point; `accept` adds `hrev_k` per cell); best of "
           f"{results['repeats']} in the thread's CPU time, interleaved; ns per point.", "",
           "| Cells | bhyst + dbhyst_dh | C loop | package/C | evaluate + accept | C loop | "
           "package/C | same bits |", "|---|---|---|---|---|---|---|---|"]
    for cells, r in results["cells"].items():
        f, cf = r["functions_ns_per_point"], r["c_functions_ns_per_point"]
        m, cm = r["model_ns_per_point"], r["c_model_ns_per_point"]
        out.append(f"| {cells} | {f:.0f} | {cf:.0f} | {f / cf:.2f} | {m:.0f} | {cm:.0f} | "
                   f"{m / cm:.2f} | {'yes' if r['identical_bits'] else 'NO'} |")
    return out


def main(eval_json, numpy_json, compiler, package_json=None, orvandel_arrays_json=None):
    runs = json.load(open(eval_json))["benchmarks"]
    numpy = json.load(open(numpy_json))
    # With repetitions, the medians stand for each benchmark.
    medians = [r for r in runs if r.get("aggregate_name") == "median"]
    if medians:
        runs = [dict(r, name=r["run_name"]) for r in medians]
    ns = {r["name"]: r["ns_per_point"] for r in runs if "ns_per_point" in r}
    version = subprocess.run([compiler, "--version"], capture_output=True, text=True).stdout
    out = ["# Benchmarks", "",
           "Written by `bench/run-benchmarks`; ns per point, lower is better.", "",
           f"- CPU: {cpu_name()} ({platform.machine()})",
           f"- Compiler: {version.splitlines()[0] if version else compiler}",
           "- Library flags: `-O2 -ffp-contract=off -fno-fast-math -fno-builtin-pow`",
           "- Floor: only the maths-library calls (pow, exp, log10, sqrt) that depend on the"
           " point, once each; Tamsery and Orvandel make none.",
           "- NumPy: the same fits vectorised over 10^5 points, best of 7.",
           "- Each figure is the median of the repetitions, run in random interleaving"
           " so that the load of a shared machine spreads over all of them.", "",
           "## eval at block 4096 against its floor and NumPy", "",
           "| Library | eval ns/point | floor ns/point | eval/floor | NumPy ns/point | NumPy/eval |",
           "|---|---|---|---|---|---|"]
    for lib in LIBRARIES:
        e = ns.get(f"eval/{lib}/4096")
        if e is None:
            continue
        f = ns.get(f"floor/{lib}/4096")
        n = numpy.get(lib)
        out.append(f"| {lib} | {e:.2f} | {f'{f:.2f}' if f else '-'} | "
                   f"{f'{e / f:.2f}' if f else '-'} | {n:.2f} | {n / e:.1f} |")
    differing = numpy.get("differing_from_libm")
    if differing:
        shares = ", ".join(f"{name} {share:.0%}" for name, share in differing.items())
        out += ["", f"NumPy's own pow, exp and log10 differ from the C library's in the last bits"
                f" at this share of points ({shares}): where it vectorises them it beats any"
                " evaluation that must match the C library bit for bit."]
    out += ["", "## eval by block size (ns/point)", "",
            "| Library | 1 | 16 | 256 | 4096 | 65536 |", "|---|---|---|---|---|---|"]
    for lib in LIBRARIES:
        cells = [ns.get(f"eval/{lib}/{b}") for b in (1, 16, 256, 4096, 65536)]
        if cells[0] is not None:
            out.append(f"| {lib} | " + " | ".join(f"{c:.2f}" for c in cells) + " |")
    out += ["", "## Two threads on separate blocks of one library (ns/point of the pair)", "",
            "| Library | 1 thread | 2 threads | speed-up |", "|---|---|---|---|"]
    for lib in LIBRARIES:
        one = ns.get(f"eval_threads/{lib}/4096/real_time/threads:1")
        two = ns.get(f"eval_threads/{lib}/4096/real_time/threads:2")
        if one and two:
            out.append(f"| {lib} | {one:.2f} | {two:.2f} | {one / two:.2f} |")
    out += ["", "## A block of one point: the cost of the call", "",
            "ns above the per-point cost at block 4096 (target: under 20).", "",
            "| Library | block 1 ns | block 4096 ns/point | call overhead ns |", "|---|---|---|---|"]
    for lib in LIBRARIES:
        one, many = ns.get(f"eval/{lib}/1"), ns.get(f"eval/{lib}/4096")
        if one and many:
            out.append(f"| {lib} | {one:.2f} | {many:.2f} | {one - many:.2f} |")
    out += ["", "## Against a plain implementation (block 4096, ns/point)", "",
            "| Library | eval | comparator | comparator ns/point | comparator/eval |",
            "|---|---|---|---|---|"]
    for lib, comparator, what in COMPARATORS:
        e, c = ns.get(f"eval/{lib}/4096"), ns.get(f"comparator/{comparator}/4096")
        if e and c:
            out.append(f"| {lib} | {e:.2f} | {what} | {c:.2f} | {c / e:.2f} |")
    models = [r for r in runs if r["name"].startswith("model/") and "ns_per_call" in r]
    if models:
        out += ["", "## Model functions of Orvandel, called through their exported symbols", "",
                "| Function | ns per call | ns per cell |", "|---|---|---|"]
        for r in sorted(models, key=lambda r: (r["name"].split("/")[1], r["ns_per_call"])):
            cell = f"{r['ns_per_cell']:.2f}" if "ns_per_cell" in r else "-"
            out.append(f"| {r['name'][len('model/'):]} | {r['ns_per_call']:.2f} | {cell} |")
    if package_json:
        out += python_package(json.load(open(package_json)), ns)
    if orvandel_arrays_json:
        out += orvandel_arrays(json.load(open(orvandel_arrays_json)))
    print("\n".join(out))


if __name__ == "__main__":
    main(*sys.argv[1:6])
