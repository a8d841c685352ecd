#!/usr/bin/python3
"""Turns the benchmark JSON and the NumPy timings into docs/benchmarks.md."""
import json
import platform
import subprocess
import sys

LIBRARIES = ["Orvandel", "Tamsery", "Quenrow", "Daskelt", "Mirrobane", "Pellucer", "Wembrel"]


def cpu_name():
    try:
        for line in open("/proc/cpuinfo"):
            if line.startswith("model name"):
                return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown"


def main(eval_json, numpy_json, compiler):
    runs = json.load(open(eval_json))["benchmarks"]
    numpy = json.load(open(numpy_json))
    ns = {r["name"]: r["ns_per_point"] for r in runs if "ns_per_point" in r}
    version = subprocess.run([compiler, "--version"], capture_output=True, text=True).stdout
    out = ["# Benchmarks", "",
           "Written by `bench/run-benchmarks`; ns per point, lower is better.", "",
           f"- CPU: {cpu_name()} ({platform.machine()})",
           f"- Compiler: {version.splitlines()[0] if version else compiler}",
           "- Library flags: `-O2 -ffp-contract=off -fno-fast-math`",
           "- Floor: only the maths-library calls (pow, exp, log10, sqrt) that depend on the"
           " point, once each; Tamsery and Orvandel make none.",
           "- NumPy: the same fits vectorised over 10^5 points, best of 7.", "",
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
    extra = [r for r in runs if r["name"].startswith(("model/", "scan/"))]
    if extra:
        out += ["", "## Model functions and comparators", "", "| Benchmark | ns per call |",
                "|---|---|"]
        for r in extra:
            out.append(f"| {r['name']} | {r.get('ns_per_point', r['real_time']):.2f} |")
    print("\n".join(out))


if __name__ == "__main__":
    main(*sys.argv[1:4])
