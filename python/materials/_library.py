"""A material library loaded by file name and driven through its entry points,
init, eval and getLastError, as a finite-element host drives it.

Besides its public names (__all__), the package's other modules use
loaded(), real_array() and DOUBLE_BYTES."""
import ctypes
import math
import threading
from pathlib import Path

import numpy as np

from ._files import library_file, library_folders

__all__ = ["EvalError", "Library", "library_path"]

# Points handed to one eval call. The block size is a signed 32-bit count,
# and an argument that is one value for all points is spread over a buffer
# of this length once, not over the whole broadcast shape.
_BLOCK = 1 << 16

# Fills output slots before a failing block is evaluated again, to see where
# the library stopped writing: a NaN whose payload arithmetic does not make
# from ordinary inputs. Where a result happens to carry it, the search below
# notices and falls back to bisection.
_UNWRITTEN = np.uint64(0x7FF4_DEAD_BEEF_0001)

DOUBLE_BYTES = 8

# Arguments that are plain real numbers take a path that allocates nothing.
_REAL_SCALARS = (float, int, np.floating, np.integer)


class EvalError(ValueError):
    """A point the library refused.

    message  -- the library's own text, as getLastError returns it
    index    -- the failing point: a tuple index into the broadcast shape
    inputs   -- {argument name: value} at that point
    values   -- the outputs as the library left them: the points before the
                failing one computed, the failing one holding what the
                library stored there (NaN where it stored nothing), the rest
                NaN
    library  -- the library's name (its file's name for Library.eval)
    accepted -- after the message of a range test, the range the library
                accepts, as " (Pellucer accepts T from 4 K to 300 K)";
                else empty

    str(error) is "library: message accepted (point index: inputs)"."""

    def __init__(self, message, index, inputs, values, library="", accepted=""):
        super().__init__(message, index, inputs, values)
        self.message = message
        self.index = index
        self.inputs = inputs
        self.values = values
        self.library = library
        self.accepted = accepted

    def __str__(self):
        where = ", ".join(f"{name}={value!r}" for name, value in self.inputs.items())
        return f"{self.library}: {self.message}{self.accepted} (point {self.index}: {where})"


def library_path(name):
    """The file that materials.<name> loads, as a pathlib.Path: the one in
    the folder MATERIALS_LIB_DIR names when that is set, else the one
    installed with this package. FileNotFoundError when it is not there."""
    tried = []
    for folder, origin in library_folders(name):
        path = folder / library_file(name)
        if path.is_file():
            return path
        tried.append(f"{path} ({origin})")
    raise FileNotFoundError(f"no library {name}: {' nor '.join(tried)} does not exist")


_loaded: dict[str, "Library"] = {}
_loading = threading.Lock()


def loaded(name):
    """The Library of host function `name` (library_path's file), loaded
    once per process."""
    library = _loaded.get(name)
    if library is None:
        with _loading:
            library = _loaded.get(name)
            if library is None:
                library = _loaded[name] = Library(library_path(name))
    return library


def _plain_numbers(columns):
    """Whether every column is one real number (a bool is none): the path of
    a call on plain numbers, which costs a few microseconds in all."""
    for c in columns:
        if c.__class__ is not float and (isinstance(c, bool) or not isinstance(c, _REAL_SCALARS)):
            return False
    return True


def real_array(value, name):
    """value as float64 numbers, refusing what is not a real number: a
    boolean is no temperature, and a masked array's mask would be lost
    (the libraries compute every point they are given)."""
    if isinstance(value, np.ma.MaskedArray):
        raise TypeError(
            f"{name} is a masked array, and the libraries compute every point: "
            "pass its .compressed() or .filled(value) points"
        )
    array = np.asarray(value)
    if array.dtype.kind not in "iuf":
        raise TypeError(f"{name} must be real numbers, not {array.dtype}")
    return array.astype(np.float64, copy=False)


class _Scalars(threading.local):
    """Per thread, per argument count: one array holding a point's inputs
    and its output, and the input pointers into it, so that a call on
    plain numbers allocates nothing."""

    def __init__(self):
        self.by_count = {}

    def buffers(self, count):
        buffers = self.by_count.get(count)
        if buffers is None:
            values = (ctypes.c_double * (count + 1))()
            base = ctypes.addressof(values)
            pointers = (ctypes.c_void_p * max(count, 1))(
                *(base + DOUBLE_BYTES * k for k in range(count))
            )
            buffers = self.by_count[count] = (
                values,
                pointers,
                base + DOUBLE_BYTES * count,
            )
        return buffers


class Library:
    """A library of this interface, loaded by file name.

    eval(function_name, *columns, out=None) calls the library's eval exactly
    as a host does, on columns broadcast against each other, and returns
    the filled array; a refused point raises EvalError, a function name or
    argument count the library refuses raises TypeError with its message,
    the name asked for and the file.
    eval runs without the interpreter lock: threads evaluating separate
    arrays run in parallel. The error slot is the library's one static,
    so two threads failing at the same moment may each read the other's
    message."""

    def __init__(self, path):
        self.path = Path(path).absolute()
        # ctypes loads with RTLD_NOW | RTLD_LOCAL, as a host would.
        self._dll = ctypes.CDLL(str(self.path))
        try:
            self._init = self._dll.init
            self._get_last_error = self._dll.getLastError
            self._eval = self._dll.eval
        except AttributeError as missing:
            raise OSError(f"{self.path} is not a material library: {missing}") from None
        self._init.argtypes = [ctypes.c_char_p]
        self._init.restype = ctypes.c_int32
        self._get_last_error.argtypes = []
        self._get_last_error.restype = ctypes.c_char_p
        self._eval.argtypes = [
            ctypes.c_char_p,
            ctypes.c_int32,
            ctypes.POINTER(ctypes.c_void_p),
            ctypes.c_void_p,
            ctypes.c_int32,
            ctypes.c_void_p,
        ]
        self._eval.restype = ctypes.c_int32
        self._scalars = _Scalars()
        self._init(None)

    def __repr__(self):
        return f"Library({str(self.path)!r})"

    def last_error(self):
        """getLastError: the message of the latest failure since loading, or
        None before the first."""
        message = self._get_last_error()
        return None if message is None else message.decode()

    def address(self, symbol):
        """The address of the exported function `symbol`, for compiled code
        that calls it."""
        return ctypes.cast(getattr(self._dll, symbol), ctypes.c_void_p).value

    def test_yaml(self):
        """return_test_yaml's text, or None where the library does not
        export it."""
        try:
            function = self._dll.return_test_yaml
        except AttributeError:
            return None
        function.argtypes = []
        function.restype = ctypes.c_char_p
        return function().decode()

    def eval(self, function_name, *columns, out=None, names=None):
        """The host function `function_name` at every point of the broadcast
        columns; see the class. `names` are the columns' names in messages
        and in an EvalError's inputs: arg0, arg1, ... if not given."""
        name = function_name.encode()
        if names is None:
            names = [f"arg{k}" for k in range(len(columns))]
        if out is None and _plain_numbers(columns):
            return self._evaluate_scalars(name, columns, names)
        arrays = [real_array(c, n) for c, n in zip(columns, names)]
        try:
            shape = np.broadcast_shapes(*(a.shape for a in arrays))
        except ValueError:
            shapes = ", ".join(f"{n} {a.shape}" for n, a in zip(names, arrays) if a.ndim)
            raise ValueError(
                f"{function_name}: the arguments do not broadcast to one shape: {shapes}"
            ) from None
        size = math.prod(shape)
        result = _output(out, shape)
        in_place = result.flags.c_contiguous
        flat = (result if in_place else np.empty(shape)).reshape(-1)
        contiguous = [_column(a, shape, size) for a in arrays]  # kept alive here
        strides = [(c.ctypes.data, stride) for c, stride in contiguous]
        pointers = (ctypes.c_void_p * max(len(columns), 1))()
        output = flat.ctypes.data
        try:
            for start in range(0, size, _BLOCK):
                points = min(_BLOCK, size - start)
                for k, (address, stride) in enumerate(strides):
                    pointers[k] = address + stride * start
                first_output = output + DOUBLE_BYTES * start
                if self._eval(name, len(columns), pointers, None, points, first_output) == 1:
                    continue
                self._refuse_call(name, len(columns))
                failing, message = self._locate(name, pointers, points, flat[start:], strides)
                flat[start + failing + 1 :] = np.nan
                inputs = dict(zip(names, arrays))
                raise self._refusal(message, start + failing, shape, inputs, result)
            if size == 0:
                self._refuse_call(name, len(columns))
        finally:
            if not in_place:
                result[...] = flat.reshape(shape)
        if out is not None:
            return out
        return float(result) if all(a.ndim == 0 for a in arrays) else result

    def _refusal(self, message, failing, shape, arguments, result):
        """The EvalError of a point the library refused: its index in the
        broadcast shape, every argument's value there, the outputs."""
        index = np.unravel_index(failing, shape)
        inputs = {n: float(np.broadcast_to(a, shape)[index]) for n, a in arguments.items()}
        return EvalError(message, tuple(int(i) for i in index), inputs, result, self.path.name)

    def _evaluate_scalars(self, name, args, names):
        values, pointers, output = self._scalars.buffers(len(args))
        for k, a in enumerate(args):
            values[k] = a
        values[len(args)] = math.nan  # what a refused point leaves
        if self._eval(name, len(args), pointers, None, 1, output) == 1:
            return values[len(args)]
        self._refuse_call(name, len(args))
        raise EvalError(
            self.last_error(),
            (),
            dict(zip(names, map(float, args))),
            np.array(values[len(args)]),
            self.path.name,
        )

    def _refuse_call(self, name, count):
        """TypeError when the library refuses the name or the count: an
        empty block tests only those."""
        pointers = (ctypes.c_void_p * max(count, 1))()
        if self._eval(name, count, pointers, None, 0, None) == 0:
            arguments = "1 argument" if count == 1 else f"{count} arguments"
            raise TypeError(
                f"{self.last_error()}: {name.decode()!r} with {arguments}, refused by {self.path}"
            )

    def _locate(self, name, pointers, points, output, strides):
        """The failing point of a block that failed, found by evaluating it
        again over unwritten slots (the message with it). A point's outcome
        depends on its own inputs alone, so the block stopped at the last
        written slot or just after it; one point evaluated alone confirms
        which, and bisection of the block's prefixes settles any doubt."""
        outputs = output[:points]
        outputs.view(np.uint64)[:] = _UNWRITTEN
        self._eval(name, len(strides), pointers, None, points, outputs.ctypes.data)
        message = self.last_error()
        written = np.flatnonzero(outputs.view(np.uint64) != _UNWRITTEN)
        last = int(written[-1]) + 1 if written.size else 0
        failing = None
        for candidate in (last - 1, last):
            if 0 <= candidate < points and not self._succeeds_alone(
                name, pointers, strides, candidate
            ):
                failing = candidate
                break
        if failing is None:
            good, bad = 0, points  # a prefix of `good` points succeeds, of `bad` fails
            scratch = np.empty(points)
            while bad - good > 1:
                middle = (good + bad) // 2
                if self._eval(name, len(strides), pointers, None, middle, scratch.ctypes.data):
                    good = middle
                else:
                    bad = middle
            failing = good
        if outputs[failing : failing + 1].view(np.uint64)[0] == _UNWRITTEN:
            outputs[failing] = np.nan  # a point test refused it: nothing stored
        return failing, message

    def _succeeds_alone(self, name, pointers, strides, point):
        """Whether point `point` of the block whose inputs start at
        `pointers` succeeds when it is evaluated on its own."""
        at_point = (ctypes.c_void_p * len(pointers))(
            *(pointers[k] + stride * point for k, (_, stride) in enumerate(strides))
        )
        scratch = (ctypes.c_double * 1)()
        return self._eval(name, len(strides), at_point, None, 1, ctypes.addressof(scratch)) == 1


def _output(out, shape):
    """The array results go to: a new one, or `out` checked."""
    if out is None:
        return np.empty(shape)
    if not isinstance(out, np.ndarray) or out.dtype != np.float64:
        raise TypeError("out must be a float64 numpy array")
    if out.shape != shape:
        raise ValueError(f"out has shape {out.shape}, the arguments broadcast to {shape}")
    if not out.flags.writeable:
        raise ValueError("out is read-only")
    return out


def _column(array, shape, size):
    """An argument as eval reads it: (contiguous values, its stride: bytes
    from one point to the next). One value for all points is spread over
    one block and read again for every block (stride 0); a contiguous array
    of the full shape is read where it lies; anything else is broadcast
    into a contiguous copy."""
    if array.size == 1:
        return np.full(min(size, _BLOCK), array.reshape(-1)[0]), 0
    if array.shape == shape and array.flags.c_contiguous:
        return array, DOUBLE_BYTES
    return np.ascontiguousarray(np.broadcast_to(array, shape)), DOUBLE_BYTES
