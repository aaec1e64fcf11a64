"""Distribution objects over the library's 21 slots, and the generator controls."""

import ctypes
import math
import threading

import numpy as np

from . import _catalogue
from ._library import library

SLOT_COUNT = 21

_INT_MIN = -2**31
_INT_MAX = 2**31 - 1
# Batch calls take an int count; longer arrays go through in pieces of this size.
_BATCH_LIMIT = 2**30

_RNG_KINDS = {"plain": 0, "shuffled": 20, "stratified": 15}


class _SlotPool:
    """Hands out the library's slots, one owner each."""

    def __init__(self, size):
        self._free = set(range(size))
        self._lock = threading.Lock()

    def acquire(self):
        with self._lock:
            if not self._free:
                raise RuntimeError(f"all {SLOT_COUNT} library slots are in use; close a Distribution first")
            slot = min(self._free)
            self._free.remove(slot)
            return slot

    def release(self, slot):
        with self._lock:
            self._free.add(slot)

    def free_count(self):
        with self._lock:
            return len(self._free)


_pool = _SlotPool(SLOT_COUNT)

# Bumped on every set_rng, so that a distribution prepares its tables afresh
# after a reseed and its draws repeat with the seed.
_rng_epoch = 0


def set_rng(kind="plain", seed=0):
    """Chooses and seeds the library-wide uniform generator.

    kind: "plain", "shuffled" or "stratified" (or the library's code).
    """
    global _rng_epoch
    code = _RNG_KINDS.get(kind) if isinstance(kind, str) else kind
    if code is None or isinstance(code, bool) or not isinstance(code, (int, np.integer)):
        raise ValueError(f"unknown generator kind {kind!r}; use one of {', '.join(_RNG_KINDS)}")
    library().set_rng_type(_c_int(code, "kind"), _c_int(seed, "seed"))
    _rng_epoch += 1


def rng(size=None):
    """The next uniform number in (0, 1), or an array of the next `size`."""
    lib = library()
    if size is None:
        return lib.rng()
    return np.array([lib.rng() for _ in range(int(size))], dtype=np.float64)


def betai(a, b, x):
    """Regularised incomplete beta function I_x(a, b)."""
    return library().betai(float(a), float(b), float(x))


def _c_int(value, name):
    if isinstance(value, bool) or not isinstance(value, (int, np.integer)):
        if isinstance(value, float) and value.is_integer():
            value = int(value)
        else:
            raise ValueError(f"{name} must be a whole number, not {value!r}")
    if not _INT_MIN <= value <= _INT_MAX:
        raise ValueError(f"{name} {value} does not fit a 32-bit integer")
    return int(value)


def _c_real(value, name):
    try:
        v = float(value)
    except (TypeError, ValueError):
        raise ValueError(f"{name} must be a number, not {value!r}") from None
    if not math.isfinite(v):
        raise ValueError(f"{name} must be finite, not {value!r}")
    return v


class Distribution:
    """One distribution in a library slot.

    Distribution("gamma", scale=2, shape_a=3) or Distribution(12, ...); the
    keyword arguments are the inputs the type reads (see types()), plus the
    optional truncation points t_min and t_max. The slot is released by
    close(), by leaving a with-block, or when the object is collected.
    """

    def __init__(self, type, *, t_min=None, t_max=None, **parameters):
        self._slot = None
        info = _catalogue.find_type(type)
        wanted = set(info.inputs)
        missing = [f for f in info.inputs if f not in parameters]
        extra = sorted(set(parameters) - wanted)
        if missing:
            raise TypeError(f"{info.name} needs {', '.join(missing)}")
        if extra:
            raise TypeError(f"{info.name} does not take {', '.join(extra)} (it reads {', '.join(info.inputs)})")
        values = {}
        for name in info.inputs:
            if name in _catalogue.WHOLE_FIELDS:
                values[name] = _c_int(parameters[name], name)
            else:
                values[name] = _c_real(parameters[name], name)
        t_min = None if t_min is None else _c_real(t_min, "t_min")
        t_max = None if t_max is None else _c_real(t_max, "t_max")
        if t_min is not None and t_max is not None and not t_min < t_max:
            raise ValueError("t_min must be below t_max")

        self._info = info
        self._parameters = values
        self._t_min = t_min
        self._t_max = t_max
        self._prepared_epoch = None
        self._lib = library()
        self._slot = _pool.acquire()
        self._setup()

    def _setup(self):
        lib, s = self._lib, self._slot
        # The type first: the chi-square type halves shape_a as it is set.
        lib.set_pdf_dtype(s, self._info.code)
        for name, value in self._parameters.items():
            getattr(lib, "set_pdf_" + name)(s, value)
        lib.set_pdf_t_min(s, 0 if self._t_min is None else 1, 0.0 if self._t_min is None else self._t_min)
        lib.set_pdf_t_max(s, 0 if self._t_max is None else 1, 0.0 if self._t_max is None else self._t_max)
        lib.dinitialise(s)

    # Lifetime ----------------------------------------------------------------

    def close(self):
        """Gives the slot back to the pool; the object cannot be used afterwards."""
        slot, self._slot = self._slot, None
        if slot is not None:
            _pool.release(slot)

    @property
    def closed(self):
        return self._slot is None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:  # interpreter shutdown: the pool may be gone already
            pass

    def __repr__(self):
        params = ", ".join(f"{k}={v!r}" for k, v in self._parameters.items())
        trunc = "".join(f", {k}={v!r}" for k, v in (("t_min", self._t_min), ("t_max", self._t_max)) if v is not None)
        state = " closed" if self.closed else ""
        return f"<Distribution {self._info.name}({params}{trunc}){state}>"

    def _live_slot(self):
        if self._slot is None:
            raise ValueError("the distribution is closed")
        return self._slot

    def _require(self, availability, what):
        if _catalogue.offered(availability, self.truncated):
            return
        if availability == _catalogue.TRUNCATED:
            raise NotImplementedError(f"{self._info.name}: {what} are available only when truncated (t_min/t_max)")
        raise NotImplementedError(f"{self._info.name}: this type has no {what}")

    # Description -------------------------------------------------------------

    @property
    def type(self):
        return self._info.name

    @property
    def code(self):
        return self._info.code

    @property
    def parameters(self):
        return dict(self._parameters)

    @property
    def truncated(self):
        return self._t_min is not None or self._t_max is not None

    @property
    def t_min(self):
        return self._t_min

    @property
    def t_max(self):
        return self._t_max

    @property
    def is_discrete(self):
        self._require(self._info.statistics, "class or statistics")
        return self._lib.get_pdf_dclass(self._live_slot()) == 2

    def _statistic(self, flag, getter):
        self._require(self._info.statistics, "summary statistics")
        s = self._live_slot()
        if not getattr(self._lib, flag)(s):
            return None
        return getattr(self._lib, getter)(s)

    mean = property(lambda self: self._statistic("get_pdf_avg_exists", "get_pdf_mean"),
                    doc="Mean, or None where it does not exist.")
    mode = property(lambda self: self._statistic("get_pdf_mod_exists", "get_pdf_mode"),
                    doc="Mode, or None.")
    median = property(lambda self: self._statistic("get_pdf_med_exists", "get_pdf_median"),
                      doc="Median, or None.")
    variance = property(lambda self: self._statistic("get_pdf_var_exists", "get_pdf_variance"),
                        doc="Variance, or None.")
    stdev = property(lambda self: self._statistic("get_pdf_var_exists", "get_pdf_stdev"),
                     doc="Standard deviation, or None.")
    skewness = property(lambda self: self._statistic("get_pdf_skw_exists", "get_pdf_skewness"),
                        doc="Skewness, or None.")
    kurtosis = property(lambda self: self._statistic("get_pdf_krt_exists", "get_pdf_kurtosis"),
                        doc="Kurtosis (3 for the normal), or None.")

    def _range_value(self, getter):
        self._require(self._info.statistics, "summary statistics")
        return getattr(self._lib, getter)(self._live_slot())

    minimum = property(lambda self: self._range_value("get_pdf_minimum"), doc="Lowest value of the reported range.")
    maximum = property(lambda self: self._range_value("get_pdf_maximum"), doc="Highest value of the reported range.")
    p_min = property(lambda self: self._range_value("get_pdf_p_min"),
                     doc="Cumulative probability at minimum: 0 at a bound, else 0.005.")
    p_max = property(lambda self: self._range_value("get_pdf_p_max"),
                     doc="Cumulative probability at maximum: 1 at a bound, else 0.995.")
    bounded_below = property(lambda self: bool(self._range_value("get_pdf_min_exists")),
                             doc="The range ends below at a bound, not a quantile.")
    bounded_above = property(lambda self: bool(self._range_value("get_pdf_max_exists")),
                             doc="The range ends above at a bound, not a quantile.")

    def statistics(self):
        """The summary statistics as a dict (None where one does not exist)."""
        return {name: getattr(self, name)
                for name in ("mean", "mode", "median", "variance", "stdev", "skewness", "kurtosis")}

    # Evaluation --------------------------------------------------------------

    def _batch(self, fn_name, values):
        s = self._live_slot()
        arr = np.asarray(values, dtype=np.float64)
        flat = np.ascontiguousarray(arr.reshape(-1))
        out = np.empty_like(flat)
        fn = getattr(self._lib, fn_name)
        for start in range(0, flat.size, _BATCH_LIMIT):
            piece = flat[start:start + _BATCH_LIMIT]
            target = out[start:start + _BATCH_LIMIT]
            fn(s, piece.ctypes.data_as(ctypes.POINTER(ctypes.c_double)),
               target.ctypes.data_as(ctypes.POINTER(ctypes.c_double)), piece.size)
        if arr.ndim == 0:
            return float(out[0])
        return out.reshape(arr.shape)

    def pdf(self, x):
        """Density (continuous) or probability mass (discrete) at x; scalar or array."""
        return self._batch("get_pdf_pdf_batch", x)

    def pdf_valid(self, x):
        """False where the density is at a pole (its value there is a stand-in)."""
        s = self._live_slot()
        arr = np.asarray(x, dtype=np.float64)
        out = np.array([bool(self._lib.get_pdf_pdf_valid(s, float(v))) for v in arr.reshape(-1)], dtype=bool)
        return bool(out[0]) if arr.ndim == 0 else out.reshape(arr.shape)

    def cdf(self, x):
        """Cumulative probability at x; scalar or array."""
        self._require(self._info.cdf, "cumulative distribution")
        return self._batch("get_pdf_f_batch", x)

    def ppf(self, q):
        """The value at which the cumulative probability reaches q; scalar or array."""
        self._require(self._info.quantile, "quantiles")
        return self._batch("get_pdf_g_batch", q)

    def _prepared_slot(self):
        """The slot, prepared for drawing since the generator was last seeded."""
        self._require(self._info.sample, "random variates")
        s = self._live_slot()
        if self._prepared_epoch != _rng_epoch:
            self._lib.precalc(s)
            self._prepared_epoch = _rng_epoch
        return s

    def sample(self, n):
        """n random variates, in the order the shared generator produces them."""
        n = _c_int(n, "n")
        if n < 0:
            raise ValueError("n must not be negative")
        s = self._prepared_slot()
        out = np.empty(n, dtype=np.float64)
        for start in range(0, n, _BATCH_LIMIT):
            target = out[start:start + _BATCH_LIMIT]
            self._lib.dvalue_batch(s, target.ctypes.data_as(ctypes.POINTER(ctypes.c_double)), target.size)
        return out


def types():
    """The distribution types: code, name, aliases, inputs, description."""
    return _catalogue.TYPES


def free_slots():
    """How many of the library's slots no Distribution holds."""
    return _pool.free_count()
