#!/usr/bin/python3
"""What the Python package adds to eval: 10^6 points through materials.Daskelt
and materials.Wembrel against one eval call on the same arrays (a direct
foreign call, as a C host makes it), and the fixed cost of a call on plain
numbers. Best of 7, the variants interleaved so that the load of a shared
machine falls on all of them alike; prints one JSON object. Needs the package importable and
MATERIALS_LIB_DIR naming the libraries' folder (bench/run-benchmarks sets
both)."""
import ctypes
import json
import timeit

import numpy as np

import materials

N = 1_000_000
rng = np.random.default_rng(20261208)


def best(variants, number, repeats=7, timer=timeit.default_timer):
    """{name: best seconds per call} of the callables in `variants`, each
    timed `repeats` times over `number` calls, the variants interleaved."""
    times = {name: [] for name in variants}
    for _ in range(repeats):
        for name, function in variants.items():
            times[name].append(timeit.timeit(function, timer=timer, number=number) / number)
    return {name: min(t) for name, t in times.items()}


def million(name, columns):
    """Seconds for one eval call over the columns, and for the package with
    the varying column as an array and the rest as numbers, allocating its
    result or writing into out=."""
    library = materials.Library(materials.library_path(name))
    arrays = [np.full(N, c) if np.ndim(c) == 0 else c for c in columns]
    pointers = (ctypes.c_void_p * len(arrays))(*(a.ctypes.data for a in arrays))
    out = np.empty(N)
    function = getattr(materials, name)
    return best(
        {
            "eval_s": lambda: library._eval(
                name.encode(), len(arrays), pointers, None, N, out.ctypes.data
            ),
            "package_s": lambda: function(*columns),
            "package_out_s": lambda: function(*columns, out=out),
        },
        3,
    )


def main():
    result = {
        "Daskelt": million("Daskelt", [rng.uniform(4, 300, N), 100.0, 1.0, 1.0]),
        "Wembrel": million("Wembrel", [rng.uniform(1, 1400, N)]),
        "scalar_call_s": best(
            {
                "Wembrel(77.0)": lambda: materials.Wembrel(77.0),
                "Daskelt(77.0)": lambda: materials.Daskelt(77.0),
                "Daskelt(77.0, RRR=300)": lambda: materials.Daskelt(77.0, RRR=300),
                "Wembrel(numpy.float32(77))": lambda: materials.Wembrel(np.float32(77)),
                "Wembrel([77.0])": lambda: materials.Wembrel([77.0]),
            },
            20000,
        ),
    }
    print(json.dumps(result))


if __name__ == "__main__":
    main()
