"""The C library's exp, log10, pow and sin over arrays, one point at a time;
and how to run NumPy as on a CPU without AVX-512.

On a CPU with AVX-512, NumPy's float64 exp, log, log10, pow and sin take
vectorised paths of its own that round differently from the C library in the
last bit; on every other x86-64 CPU NumPy calls the C library, as the
libraries themselves do. Numbers computed with these are the same on either:
the report's grids, reference fits and quadrature nodes come from here, so
that the report does not change with the CPU that writes it. A Python call
per point costs nothing on the report's few thousand points."""
import math
import os

import numpy as np


def _pointwise(function, arguments):
    """function over arrays (broadcast as NumPy does) as float64."""
    ufunc = np.frompyfunc(function, arguments, 1)
    return lambda *x: np.asarray(ufunc(*x), dtype=np.float64)


exp = _pointwise(math.exp, 1)
log10 = _pointwise(math.log10, 1)
power = _pointwise(math.pow, 2)
sin = _pointwise(math.sin, 1)


def without_avx512():
    """NPY_DISABLE_CPU_FEATURES for NumPy as on an AVX2 CPU: its value now and
    the AVX-512 features NumPy dispatches to on this CPU. Only those this CPU
    has: naming one it lacks makes NumPy warn as it loads (and fail to load
    with warnings as errors)."""
    from numpy.core._multiarray_umath import __cpu_dispatch__, __cpu_features__

    avx512 = [f for f in __cpu_dispatch__ if f.startswith("AVX512") and __cpu_features__[f]]
    return " ".join([os.environ.get("NPY_DISABLE_CPU_FEATURES", ""), *avx512]).strip()


if __name__ == "__main__":
    print(without_avx512())
