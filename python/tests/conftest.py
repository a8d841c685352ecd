"""Shared by the package's tests: a minimal host of its own that calls a
library's eval with plain ctypes, to hold the package against."""
import ctypes

import numpy as np
import pytest

import materials


def host_eval(name, *columns):
    """(status, outputs) of one eval call over full, equal-length columns,
    the way a host makes it; outputs the library did not write are NaN."""
    library = ctypes.CDLL(str(materials.library_path(name)))
    columns = [np.ascontiguousarray(c, dtype=np.float64) for c in columns]
    size = len(columns[0])
    pointers = (ctypes.c_void_p * len(columns))(*(c.ctypes.data for c in columns))
    outputs = np.full(size, np.nan)
    library.eval.restype = ctypes.c_int32
    status = library.eval(
        name.encode(),
        ctypes.c_int32(len(columns)),
        pointers,
        None,
        ctypes.c_int32(size),
        ctypes.c_void_p(outputs.ctypes.data),
    )
    return status, outputs


def pytest_configure(config):
    """The tests sweep the libraries beyond their meaningful ranges on
    purpose; the warning that flags it is tested on its own."""
    config.addinivalue_line("filterwarnings", "ignore::materials.OutsideMeaningfulRange")


@pytest.fixture(scope="session")
def entries():
    return {e["name"]: e for e in materials.catalogue()}


def bits(values):
    """Bytes of float64 values, for bit-for-bit comparison (NaNs included)."""
    return np.asarray(values, dtype=np.float64).tobytes()
