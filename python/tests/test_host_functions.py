"""The host functions from Python: values, the call forms NumPy users write,
and every way a call fails."""
import math
import shutil
import threading
import warnings

import numpy as np
import pytest

import materials
from conftest import bits, host_eval

# Published reference values of each fit, as (arguments, keyword arguments,
# value, significant digits); a row holds to half a unit of its last digit.
REFERENCE = {
    "Wembrel": [
        ((4.2,), {}, 1.030854791e-12, 10),
        ((77,), {}, 2.109725511e-09, 10),
        ((300,), {}, 2.452835175e-08, 10),
        ((1400,), {}, 0.2431962375, 10),
    ],
    "Mirrobane": [
        ((4.2,), {}, 918.9507243, 10),
        ((77,), {}, 1762376.726, 10),
        ((1000,), {}, 4153652.165, 10),
    ],
    "Pellucer": [
        ((4,), {}, 0.05796537254, 10),
        ((100,), {"m": 2}, 11.21581828, 10),
        ((300,), {"m": 2700}, 4499.689992, 10),
    ],
    "Daskelt": [
        ((4,), {}, 630.4312, 7),
        ((300,), {}, 400.8598, 7),
        ((77,), {"dividend": 1, "divisor": 4}, 542.1782 / 4, 7),
    ],
    "Tamsery": [((79.6,), {}, 0.4, 10), ((1000,), {}, 1.52850363, 9), ((1e7,), {}, 14.7059436, 9)],
    "Quenrow": [
        ((0, 0.25, 0, 0), dict(rho=1, jc=1, n=2, ec=1), 0.0625, 10),
        ((0, 1, 0, 0), dict(rho=1, jc=1, n=2, ec=1), 0.75, 10),
    ],
    "Orvandel": [((5, 0, 1, 2, 1, 1), {}, 1.5, 10), ((2, 0, 1, 2, 1, 1), {}, 0.5, 10)],
}


@pytest.mark.parametrize("name", REFERENCE)
def test_reference_values(name):
    for args, kwargs, value, digits in REFERENCE[name]:
        got = getattr(materials, name)(*args, **kwargs)
        assert type(got) is float
        assert math.isclose(got, value, rel_tol=0.5 * 10.0 ** (1 - digits)), (args, kwargs)


@pytest.mark.parametrize("name", REFERENCE)
def test_same_bits_as_a_host_over_several_blocks(name, entries):
    """Over 70000 points (more than one block of the package), the
    function, Library.eval and a plain host call agree to the last bit; the
    swept argument varies, the others are the catalogue's defaults."""
    entry = entries[name]
    sweep = entry["sweep"]
    points = 70_001
    columns = [np.full(points, a["default"]) for a in entry["arguments"]]
    swept = [a["name"] for a in entry["arguments"]].index(sweep["argument"])
    columns[swept] = (np.geomspace if sweep["log"] else np.linspace)(
        sweep["from"], sweep["to"], points
    )
    status, expected = host_eval(name, *columns)
    assert status == 1
    function = getattr(materials, name)
    named = function(
        **{
            a["name"]: c[0] if k != swept else c
            for k, (a, c) in enumerate(zip(entry["arguments"], columns))
        }
    )
    by_path = materials.Library(materials.library_path(name)).eval(name, *columns)
    assert bits(named) == bits(expected) and bits(by_path) == bits(expected)


def test_arguments_broadcast_in_any_form():
    """Lists, integer and float32 arrays, strided views and shapes that
    broadcast give what the same points give one by one."""
    T = np.linspace(4, 300, 12)
    cases = [
        (([4, 77, 300],), {}, (3,)),
        ((np.array([4, 77, 300], dtype=np.int16),), {"RRR": np.float32(300)}, (3,)),
        ((T.reshape(3, 4)[:, ::2],), {"RRR": [50, 500]}, (3, 2)),
        ((T[:3, None],), {"RRR": np.array([[30, 100, 300, 1000]]), "divisor": 2}, (3, 4)),
        ((np.float32(77),), {"RRR": [[100]]}, (1, 1)),
    ]
    for args, kwargs, shape in cases:
        got = materials.Daskelt(*args, **kwargs)
        assert got.shape == shape
        T_b, R_b, div_b = np.broadcast_arrays(
            np.asarray(args[0], dtype=float),
            np.asarray(kwargs.get("RRR", 100), dtype=float),
            np.asarray(kwargs.get("divisor", 1), dtype=float),
        )
        one_by_one = [
            materials.Daskelt(float(t), float(r), 1.0, float(d))
            for t, r, d in zip(T_b.flat, R_b.flat, div_b.flat)
        ]
        assert bits(got.reshape(-1)) == bits(one_by_one)


def test_out_receives_the_results_in_place():
    T = np.linspace(10, 300, 8)
    expected = materials.Wembrel(T)
    out = np.empty(8)
    assert materials.Wembrel(T, out=out) is out and bits(out) == bits(expected)
    strided = np.zeros((8, 2))[:, 1]
    assert materials.Wembrel(T, out=strided) is strided and bits(strided) == bits(expected)
    for bad, error in (
        (np.empty(8, dtype=np.float32), TypeError),
        (np.empty(7), ValueError),
        ([0.0] * 8, TypeError),
    ):
        with pytest.raises(error):
            materials.Wembrel(T, out=bad)
    with pytest.raises(TypeError, match="real numbers"):
        materials.Wembrel([77 + 1j])


# A refused point: (function, arguments, message, failing index, the range
# that str(error) adds after a range test's message). Points count from 0,
# as in the host's arrays.
FAILURES = [
    (
        "Wembrel",
        ([[77, 300], [2000, 4]],),
        "Temperature is above 1400 K - outside of the range!",
        (1, 0),
        " (Wembrel accepts T from 0 K to 1400 K)",
    ),
    ("Mirrobane", (-1e-300,), "T is negative!", (), " (Mirrobane accepts T from 0 K up)"),
    (
        "Pellucer",
        (np.r_[np.linspace(4, 300, 70000), 3.5, 10],),
        "T is negative!",
        (70000,),
        " (Pellucer accepts T from 4 K to 300 K)",
    ),
    ("Daskelt", ([77, 0, 300],), "Output is nan", (1,), ""),
    ("Daskelt", (77, 100, 1, [1, 1, 0]), "Output is inf", (2,), ""),
    (
        "Quenrow",
        ([[0], [5]], [1, 2]),
        "Component index must be 0, 1, or 2",
        (1, 0),
        " (Quenrow accepts k above -1 and below 3)",
    ),
]


@pytest.mark.parametrize("name,args,message,index,accepted", FAILURES)
def test_a_refused_point_raises_with_what_was_computed(
    name, args, message, index, accepted, entries
):
    function = getattr(materials, name)
    with pytest.raises(materials.EvalError) as caught:
        function(*args)
    error = caught.value
    assert isinstance(error, ValueError)
    assert (error.message, error.index, error.library) == (message, index, name)
    assert str(error).startswith(f"{name}: {message}{accepted} (point {index}: ")
    assert list(error.inputs) == [a["name"] for a in entries[name]["arguments"]]
    given = np.broadcast_arrays(*(np.asarray(a, dtype=float) for a in args))
    assert list(error.inputs.values())[: len(args)] == [float(g[index]) for g in given]
    # Before the failing point what the library computes there; at it what
    # the library stored (an output test's NaN or infinity) or NaN; after it NaN.
    values = np.asarray(error.values).reshape(-1)
    failing = int(np.ravel_multi_index(index, np.shape(error.values))) if index else 0
    before = function(*(g.reshape(-1)[:failing] for g in given))
    assert bits(values[:failing]) == bits(before)
    assert (np.isinf if message == "Output is inf" else np.isnan)(values[failing])
    assert np.isnan(values[failing + 1 :]).all()


def test_out_holds_the_outputs_after_a_failure():
    out = np.full(4, -1.0)
    with pytest.raises(materials.EvalError) as caught:
        materials.Wembrel([77, 300, -5, 4], out=out)
    assert caught.value.values is out
    assert bits(out[:2]) == bits(materials.Wembrel([77, 300])) and np.isnan(out[2:]).all()


def test_a_library_by_path(tmp_path):
    """Any file of this interface, loaded by its path: a copy under another
    name answers to its host function name, not its file's."""
    copy = tmp_path / "libCopperSample.so"
    shutil.copy(materials.library_path("Mirrobane"), copy)
    library = materials.Library(copy)
    assert library.path == copy and library.last_error() is None
    assert library.test_yaml() == "Mirrobane"
    assert materials.Library(materials.library_path("Pellucer")).test_yaml() is None
    assert library.eval("Mirrobane", [4.2]).tolist() == [materials.Mirrobane(4.2)]
    refusals = [
        ("CopperSample", [1.0]),
        ("mirrobane", [1.0]),
        ("Mirrobane", [1.0], [2.0]),
        ("Mirrobane", [], []),
    ]
    messages = [
        "Unknown function",
        "Unknown function",
        "One argument expected",
        "One argument expected",
    ]
    for (name, *columns), message in zip(refusals, messages):
        with pytest.raises(TypeError) as refused:
            library.eval(name, *columns)
        # The library's text, the name asked for and the file.
        assert str(refused.value).startswith(f"{message}: {name!r} with ")
        assert str(refused.value).endswith(str(copy))
    with pytest.raises(materials.EvalError, match=r"^libCopperSample.so: T is negative! \(point"):
        library.eval("Mirrobane", [-1.0])
    assert library.last_error() == "T is negative!"
    library.eval("Mirrobane", [1.0])
    assert library.last_error() == "T is negative!"  # a success leaves the slot alone
    with pytest.raises(OSError):
        materials.Library(tmp_path / "missing.so")


def test_library_path_follows_MATERIALS_LIB_DIR(tmp_path, monkeypatch):
    """A material library from that folder alone; the package's loops from
    there, or else its own."""
    installed = materials.library_path("Wembrel")
    loops = materials.library_path("OrvandelArrays")
    assert installed.name == "libWembrel.so" and installed.is_file()
    monkeypatch.setenv("MATERIALS_LIB_DIR", str(tmp_path))
    with pytest.raises(FileNotFoundError, match=str(tmp_path)):
        materials.library_path("Wembrel")
    assert materials.library_path("OrvandelArrays") == loops
    shutil.copy(installed, tmp_path)
    assert materials.library_path("Wembrel") == tmp_path / "libWembrel.so"


def test_odd_input_is_refused_with_its_argument_named():
    """What cannot be meant: a boolean for a temperature, a masked array
    whose masked points would be computed, shapes that do not broadcast."""
    cases = [
        ((True,), TypeError, "T must be real numbers, not bool"),
        ((np.ma.masked_array([77.0, -1.0], [0, 1]),), TypeError, "T is a masked array"),
        (([77, 300], [100, 200, 300]), ValueError, r"not broadcast .*: T \(2,\), RRR \(3,\)$"),
    ]
    for args, error, message in cases:
        with pytest.raises(error, match=message):
            materials.Daskelt(*args)


def test_quenrow_takes_jy_and_jz_as_0_by_default():
    assert materials.Quenrow(1, 2e10) == materials.Quenrow(1, 2e10, 0, 0) == 0.0
    assert materials.Quenrow(0, 2e10) == materials.Quenrow(0, 2e10, 0.0, 0.0) > 0


# (function, arguments, the warning's text after "Name: points outside the
# meaningful range (...): ", or None where there is none).
MEANINGLESS = [
    ("Wembrel", (77,), None),
    ("Wembrel", (1400,), "1 of 1"),
    ("Wembrel", ([4.2, 77, 600],), "2 of 3"),
    ("Daskelt", ([[4], [77]], [[30, 100]]), "2 of 4"),  # RRR 30 at both temperatures
    ("Daskelt", (np.linspace(4, 300, 70_001), 50), None),  # both bounds belong to it
    ("Tamsery", ([-1.0, 1e7],), "2 of 2"),
    ("Pellucer", ([4, 300],), None),  # no meaningful range of its own
]


@pytest.mark.parametrize("name,args,count", MEANINGLESS)
def test_points_outside_the_meaningful_range_warn_once_per_call(name, args, count):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        getattr(materials, name)(*args)
    assert [str(w.message).rsplit(": ", 1)[-1] for w in caught] == ([count] if count else [])
    if count:
        assert caught[0].category is materials.OutsideMeaningfulRange
        assert str(caught[0].message).startswith(f"{name}: points outside the meaningful range (")
        assert caught[0].filename == __file__  # the caller's line
        with warnings.catch_warnings():
            warnings.simplefilter("error", materials.OutsideMeaningfulRange)
            with pytest.raises(materials.OutsideMeaningfulRange):
                getattr(materials, name)(*args)


def test_eval_runs_on_two_cores_at_once():
    """Two threads evaluate separate arrays, one eval call each, over and
    over. This thread, holding the interpreter lock, sees both outputs half
    written at once: both calls are running then, and neither holds it."""
    T = np.linspace(1, 1400, materials._library._BLOCK)
    outputs = [np.full_like(T, np.nan) for _ in range(2)]
    done = threading.Event()

    def work(out):
        while not done.is_set():
            out[...] = np.nan
            materials.Wembrel(T, out=out)

    def half_written(out):  # element reads: the lock is held throughout
        return not math.isnan(out[0]) and math.isnan(out[-1])

    workers = [threading.Thread(target=work, args=(out,)) for out in outputs]
    for w in workers:
        w.start()
    try:
        for _ in range(1000):
            if all(half_written(out) for out in outputs):
                break
            done.wait(0.001)
        else:
            pytest.fail("never saw the two evaluations running at the same time")
    finally:
        done.set()
        for w in workers:
            w.join()
