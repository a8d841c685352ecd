#!/usr/bin/python3
"""Turns the benchmark JSON, the Python package's timings, those of
Orvandel's model from NumPy, the NumPy peer's and the quench's routes into
docs/benchmarks.md."""
import json
import platform
import subprocess
import sys
from pathlib import Path

# The libraries in the catalogue's order.
CATALOGUE = Path(__file__).resolve().parent.parent / "common" / "catalogue.json"
LIBRARIES = [f["name"] for f in json.loads(CATALOGUE.read_text())["functions"]]
# Libraries without a maths-library floor, measured against a plain loop.
COMPARATORS = [
    ("Tamsery", "Tamsery_linear_scan", "linear scan of the table"),
    ("Orvandel", "Orvandel_j_rev_per_point", "exported j_rev per point"),
]


def cpu_name():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def cpu_simd():
    """The SIMD extensions /proc/cpuinfo lists for this CPU, in upper case
    (its "pni" is SSE3)."""
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("flags"):
                flags = line.split(":", 1)[1].split()
                return [
                    "SSE3" if f == "pni" else f.upper()
                    for f in flags
                    if f.startswith(("sse", "ssse", "avx")) or f in ("pni", "fma")
                ]
    except OSError:
        pass
    return []


def python_package(package, ns):
    """The section on what the Python package adds to eval."""
    out = [
        "",
        "## Through the Python package",
        "",
        "`bench/python_package.py`: 10^6 points through `materials.Daskelt(T)` and "
        "`materials.Wembrel(T)` (the other arguments numbers, as users write them) against "
        "one eval call over the same 10^6 points from a host (a direct foreign call, "
        "every argument a full array); best of 7, interleaved.",
        "",
        "| Library | eval ms | package ms | package/eval | package with out= ms | " "out=/eval |",
        "|---|---|---|---|---|---|",
    ]
    for lib in ("Daskelt", "Wembrel"):
        r = package[lib]
        e, p, o = (r[k] * 1e3 for k in ("eval_s", "package_s", "package_out_s"))
        out.append(f"| {lib} | {e:.1f} | {p:.1f} | {p / e:.3f} | {o:.1f} | {o / e:.3f} |")
    out += [
        "",
        "The fixed cost of a call on plain numbers (one point), in microseconds, "
        "and the library's own cost at block 1 (from the table above):",
        "",
        "| Call | us per call | eval at block 1 us |",
        "|---|---|---|",
    ]
    for call, seconds in package["scalar_call_s"].items():
        own = ns.get(f"eval/{call.split('(')[0]}/1")
        out.append(
            f"| `materials.{call}` | {seconds * 1e6:.2f} | "
            f"{f'{own / 1e3:.3f}' if own else '-'} |"
        )
    return out


def orvandel_arrays(results):
    """The section on Orvandel's model functions from NumPy against a C loop."""
    out = [
        "",
        "## Orvandel's vector model from NumPy against a C loop",
        "",
        f"`bench/orvandel_arrays.py`: {results['points']:,} points, each with its own field "
        "and history, through `materials.orvandel.bhyst` + `dbhyst_dh` and through "
        "`VectorHysteresis.evaluate` + `accept`, against `bench/orvandel_c_loop.c`, a "
        "plain C loop making the same calls of the exported functions on the same arrays "
        "(`bhyst` and `dbhyst_dh` per point; `accept` adds `hrev_k` per cell); best of "
        f"{results['repeats']} in the thread's CPU time, interleaved; ns per point.",
        "",
        "| Cells | bhyst + dbhyst_dh | C loop | package/C | evaluate + accept | C loop | "
        "package/C | same bits |",
        "|---|---|---|---|---|---|---|---|",
    ]
    for cells, r in results["cells"].items():
        f, cf = r["functions_ns_per_point"], r["c_functions_ns_per_point"]
        m, cm = r["model_ns_per_point"], r["c_model_ns_per_point"]
        out.append(
            f"| {cells} | {f:.0f} | {cf:.0f} | {f / cf:.2f} | {m:.0f} | {cm:.0f} | "
            f"{m / cm:.2f} | {'yes' if r['identical_bits'] else 'NO'} |"
        )
    return out


def shares(peer):
    """How often the NumPy peer's pow, exp and log10 differ from the C library's."""
    return ", ".join(f"{name} {share:.0%}" for name, share in peer["differing_from_libm"].items())


def numpy_peer(numpy):
    """The section on the NumPy peer: the fits written with NumPy against
    the package, on the same arrays."""
    simd = numpy["simd"]
    out = [
        "",
        "## The NumPy peer, on the same arrays",
        "",
        f"`bench/numpy_peer.py`: each fit written with NumPy in the library's order of "
        f"operations (`np.power` wherever the library calls `pow`) against `materials.<Name>`, "
        f"the package over the built libraries, on the same {numpy['points']:,} points "
        "(generated once; the values that vary per point as arrays, material parameters as "
        'numbers), the two interleaved, best of 7. "differing": the share of points whose '
        "results differ in any bit.",
        "",
        f"NumPy {simd['numpy']}, by its own runtime report (`numpy.show_runtime()`): built for "
        f"{' '.join(simd['baseline'])}, dispatching on this CPU to "
        f"{' '.join(simd['dispatched'])}. Its pow, exp and log10 differ from the C library's "
        f"at {shares(numpy)} of points: "
        + (
            "it used its own vectorised routines for them."
            if any(numpy["differing_from_libm"].values())
            else "it called the C library."
        ),
        "",
    ]
    header = "| Library | package ns/point | NumPy ns/point | NumPy/package | differing |"
    rule = "|---|---|---|---|---|"
    other = numpy.get("without_avx512")
    if other:
        header += " NumPy without AVX-512 ns/point | NumPy/package | differing |"
        rule += "---|---|---|"
    out += [header, rule]
    for lib, r in numpy["libraries"].items():
        row = (
            f"| {lib} | {r['package_ns']:.1f} | {r['numpy_ns']:.1f} | "
            f"{r['numpy_ns'] / r['package_ns']:.2f} | {r['differing']:.1%} |"
        )
        if other:
            o = other["libraries"][lib]
            row += (
                f" {o['numpy_ns']:.1f} | {o['numpy_ns'] / o['package_ns']:.2f} | "
                f"{o['differing']:.1%} |"
            )
        out.append(row)
    if other:
        out += [
            "",
            f"Without AVX-512: the same measurement in a process with NumPy's AVX-512 "
            f"targets switched off (`NPY_DISABLE_CPU_FEATURES=\"{numpy['disabled']}\"`), "
            f"as NumPy runs on an AVX2 machine; its pow, exp and log10 then differ from the "
            f"C library's at {shares(other)} of points.",
        ]
    return out


def time_split(case, processes, library, inline):
    """The library route's seconds in eval and in the rest, as shares of the
    inline route's."""
    inside = library["eval_seconds"] / inline["seconds"]
    rest = library["seconds"] / inline["seconds"] - inside
    plural = "es" if processes > 1 else ""
    return f"{case} on {processes} process{plural}: eval {inside:.2f}, the rest {rest:.2f}"


def quench_peers(runs):
    """The section on the quench solved through the libraries and with the
    fits written inline in the forms."""
    out = [
        "",
        "## The quench: the libraries against the fits written inline in the forms",
        "",
        "`bench/quench_peers.py`: the quench of `examples/quench.py` (same bar, steps, "
        "enthalpy quadrature and linear solver) three ways: *library*, the example itself "
        "(Daskelt and Mirrobane at the quadrature points, the examples' Newton); *inline*, "
        "k(T) and C(T) written in UFL with the libraries' constants and order of operations, "
        "the Jacobian by `ufl.derivative`, the examples' Newton; *NewtonSolver*, the inline "
        "forms under DOLFINx's own `NewtonSolver` (full steps, its incremental criterion at "
        "the same tolerance). Seconds of the time-stepping loop on the slowest process, "
        "best of the repetitions, the routes interleaved; eval: the library route's seconds "
        "inside the libraries; blocks: its eval calls of each library (6 values per "
        "quadrature point in all); ΔT: the largest difference of the final temperature from "
        "the library route's.",
        "",
        "| Size | Processes | library s | eval s | inline s | library/inline | "
        "NewtonSolver s | library/NewtonSolver | Newton iterations (library, inline, "
        "NewtonSolver) | blocks | ΔT inline, NewtonSolver (K) | repetitions |",
        "|---|---|---|---|---|---|---|---|---|---|---|---|",
    ]
    above = []
    sizes = ["small", "full"]
    for run in sorted(runs, key=lambda r: (sizes.index(r["size"]), r["processes"])):
        library, inline, solver = (run["routes"][r] for r in ("library", "inline", "dolfinx"))
        ratio = library["seconds"] / inline["seconds"]
        out.append(
            f"| {run['size']} ({run['cells']} cells, {run['steps']} steps) | {run['processes']} | "
            f"{library['seconds']:.2f} | {library['eval_seconds']:.2f} | {inline['seconds']:.2f} | "
            f"{ratio:.2f} | {solver['seconds']:.2f} | "
            f"{library['seconds'] / solver['seconds']:.2f} | {library['iterations']}, "
            f"{inline['iterations']}, {solver['iterations']} | {library['blocks']['Daskelt']} | "
            f"{inline['max_difference_K']:.1e}, {solver['max_difference_K']:.1e} | "
            f"{run['repetitions']} |"
        )
        if ratio > 0.5:
            above.append(time_split(f"{run['size']} size", run["processes"], library, inline))
    if above:
        out += [
            "",
            "Where the library route takes more than half the inline route's time, "
            "its time splits into the libraries' eval and the rest (assembling its forms, "
            "the LU of the same matrix, the Newton loop), each as a share of the inline "
            "route's time: " + "; ".join(above) + ".",
        ]
    return out


def transport_current_peers(runs):
    """The section on the transport-current loss with Orvandel's law through
    the package and written inline in the forms."""
    out = [
        "",
        "## The transport-current loss: Orvandel's law through the package against "
        "the law inline",
        "",
        "`bench/transport_current_peers.py`: one cycle of `examples/transport_current_loss.py` "
        "on the round wire (n = 100, I_m = 0.9 Ic, a quarter cycle and a cycle of 100 steps; same "
        "mesh, predictor, Newton and linear solver) two ways: *library*, the example itself "
        "(`e_joule` and the Jacobian through `materials.orvandel`, one call each over the "
        "conductor's quadrature points per Newton iteration); *inline*, the same law written "
        "in UFL with Orvandel's constants, the Jacobian by `ufl.derivative`. Seconds of the "
        "time-stepping loop on the slowest process, best of the repetitions, the routes "
        "interleaved; eval: the library route's seconds inside `materials.orvandel`; "
        "iterations: Newton's per step, median and largest; Δloss: the inline route's loss "
        "per cycle against the library route's.",
        "",
        "| Processes | Unknowns | Jacobian | library s | eval s | inline s | library/inline | "
        "iterations (library; inline) | Δloss | repetitions |",
        "|---|---|---|---|---|---|---|---|---|---|",
    ]
    slower = []
    for run in sorted(runs, key=lambda r: (r["jacobian"], r["processes"])):
        library, inline = run["routes"]["library"], run["routes"]["inline"]
        ratio = library["seconds"] / inline["seconds"]
        out.append(
            f"| {run['processes']} | {run['unknowns']} | {run['jacobian']} | "
            f"{library['seconds']:.2f} | {library['eval_seconds']:.2f} | "
            f"{inline['seconds']:.2f} | {ratio:.2f} | "
            f"{library['median_iterations']:g}, {library['largest_iterations']}; "
            f"{inline['median_iterations']:g}, {inline['largest_iterations']} | "
            f"{inline['relative_difference']:.1e} | {run['repetitions']} |"
        )
        if ratio > 1:
            slower.append(
                time_split(f"{run['jacobian']} Jacobian", run["processes"], library, inline)
            )
    if slower:
        out += [
            "",
            "Where the library route is the slower, its time splits into the calls of "
            "`materials.orvandel` and the rest (evaluating J at the points, storing E and "
            "its slope, assembling, the LU, the Newton loop), each as a share of the "
            "inline route's time: " + "; ".join(slower) + ".",
        ]
    return out


def header(compiler):
    """What was measured on what: the CPU, its SIMD, the compiler, the flags."""
    version = subprocess.run([compiler, "--version"], capture_output=True, text=True).stdout
    return [
        "# Benchmarks",
        "",
        "Written by `bench/run-benchmarks`; ns per point, lower is better.",
        "",
        f"- CPU: {cpu_name()} ({platform.machine()}); SIMD: {' '.join(cpu_simd()) or '-'}",
        f"- Compiler: {version.splitlines()[0] if version else compiler}",
        "- Library flags: `-O2 -ffp-contract=off -fno-fast-math -fno-builtin-pow`",
        "- Floor: only the maths-library calls (pow, exp, log10, sqrt) that depend on the"
        " point, once each; Tamsery and Orvandel make none.",
        "- Each figure is the median of the repetitions, run in random interleaving"
        " so that the load of a shared machine spreads over all of them.",
    ]


def table(title, columns, rows, note=None):
    """A section: its title, a note under it, and a Markdown table."""
    return (
        ["", f"## {title}", ""]
        + ([note, ""] if note else [])
        + ["| " + " | ".join(columns) + " |", "|" + "---|" * len(columns)]
        + rows
    )


def eval_tables(ns):
    """eval per library: against its floor, by block size, on two threads, at
    one point, against a plain implementation."""
    rows = {"floor": [], "blocks": [], "threads": [], "one": [], "plain": []}
    for lib in LIBRARIES:
        e, f = ns.get(f"eval/{lib}/4096"), ns.get(f"floor/{lib}/4096")
        if e is not None:
            rows["floor"].append(
                f"| {lib} | {e:.2f} | {f'{f:.2f}' if f else '-'} | {f'{e / f:.2f}' if f else '-'} |"
            )
        cells = [ns.get(f"eval/{lib}/{b}") for b in (1, 16, 256, 4096, 65536)]
        if cells[0] is not None:
            rows["blocks"].append(f"| {lib} | " + " | ".join(f"{c:.2f}" for c in cells) + " |")
        one = ns.get(f"eval_threads/{lib}/4096/real_time/threads:1")
        two = ns.get(f"eval_threads/{lib}/4096/real_time/threads:2")
        if one and two:
            rows["threads"].append(f"| {lib} | {one:.2f} | {two:.2f} | {one / two:.2f} |")
        if cells[0] and e:
            rows["one"].append(f"| {lib} | {cells[0]:.2f} | {e:.2f} | {cells[0] - e:.2f} |")
    for lib, comparator, what in COMPARATORS:
        e, c = ns.get(f"eval/{lib}/4096"), ns.get(f"comparator/{comparator}/4096")
        if e and c:
            rows["plain"].append(f"| {lib} | {e:.2f} | {what} | {c:.2f} | {c / e:.2f} |")
    return (
        table(
            "eval at block 4096 against its floor",
            ("Library", "eval ns/point", "floor ns/point", "eval/floor"),
            rows["floor"],
        )
        + table(
            "eval by block size (ns/point)",
            ("Library", "1", "16", "256", "4096", "65536"),
            rows["blocks"],
        )
        + table(
            "Two threads on separate blocks of one library (ns/point of the pair)",
            ("Library", "1 thread", "2 threads", "speed-up"),
            rows["threads"],
        )
        + table(
            "A block of one point: the cost of the call",
            ("Library", "block 1 ns", "block 4096 ns/point", "call overhead ns"),
            rows["one"],
            "ns above the per-point cost at block 4096 (target: under 20).",
        )
        + table(
            "Against a plain implementation (block 4096, ns/point)",
            ("Library", "eval", "comparator", "comparator ns/point", "comparator/eval"),
            rows["plain"],
        )
    )


def model_functions(runs):
    """Orvandel's model functions, per call and per cell."""
    models = [r for r in runs if r["name"].startswith("model/") and "ns_per_call" in r]
    rows = []
    for r in sorted(models, key=lambda r: (r["name"].split("/")[1], r["ns_per_call"])):
        cell = f"{r['ns_per_cell']:.2f}" if "ns_per_cell" in r else "-"
        rows.append(f"| {r['name'][len('model/'):]} | {r['ns_per_call']:.2f} | {cell} |")
    if not rows:
        return []
    return table(
        "Model functions of Orvandel, called through their exported symbols",
        ("Function", "ns per call", "ns per cell"),
        rows,
    )


def main(
    eval_json, numpy_json, compiler, package_json=None, orvandel_arrays_json=None, *quench_jsons
):
    runs = json.load(open(eval_json))["benchmarks"]
    # With repetitions, the medians stand for each benchmark.
    medians = [r for r in runs if r.get("aggregate_name") == "median"]
    if medians:
        runs = [dict(r, name=r["run_name"]) for r in medians]
    ns = {r["name"]: r["ns_per_point"] for r in runs if "ns_per_point" in r}
    out = header(compiler) + eval_tables(ns) + model_functions(runs)
    if package_json:
        out += python_package(json.load(open(package_json)), ns)
    if orvandel_arrays_json:
        out += orvandel_arrays(json.load(open(orvandel_arrays_json)))
    out += numpy_peer(json.load(open(numpy_json)))
    # the quench's runs, then the transport-current loss's (which name a Jacobian)
    peers = [json.load(open(q)) for q in quench_jsons]
    if any("jacobian" not in p for p in peers):
        out += quench_peers([p for p in peers if "jacobian" not in p])
    if any("jacobian" in p for p in peers):
        out += transport_current_peers([p for p in peers if "jacobian" in p])
    print("\n".join(out))


if __name__ == "__main__":
    main(*sys.argv[1:])
