"""Distribution objects over the library's 21 slots, and the generator controls.

Safe to use from several threads: slots are handed out under a lock, each
Distribution serialises the calls on its own slot (so closing one while
another thread evaluates it waits for that call), and reseeding is ordered
by one lock. The library-wide generator is shared: draws made in two threads
at once come from one stream, in whatever order the threads reach it.
"""

import contextlib
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


# Summary statistics: the library's existence flag and getter for each.
_STATISTICS = {
    "mean": ("get_pdf_avg_exists", "get_pdf_mean"),
    "mode": ("get_pdf_mod_exists", "get_pdf_mode"),
    "median": ("get_pdf_med_exists", "get_pdf_median"),
    "variance": ("get_pdf_var_exists", "get_pdf_variance"),
    "stdev": ("get_pdf_var_exists", "get_pdf_stdev"),
    "skewness": ("get_pdf_skw_exists", "get_pdf_skewness"),
    "kurtosis": ("get_pdf_krt_exists", "get_pdf_kurtosis"),
}


class _SlotPool:
    """Hands out the library's slots, one owner each."""

    def __init__(self, size):
        self._free = set(range(size))
        # Re-entrant: a Distribution collected by the garbage collector while
        # this thread is inside acquire() gives its slot back from here.
        self._lock = threading.RLock()

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


class _Generator:
    """The library-wide generator's settings. The epoch counts the reseeds, so
    that a distribution prepares its tables afresh after one and its draws
    repeat with the seed."""

    def __init__(self):
        self._lock = threading.Lock()
        self.epoch = 0

    def reseed(self, code, seed):
        with self._lock:
            library().set_rng_type(code, seed)
            self.epoch += 1


_pool = _SlotPool(SLOT_COUNT)
_generator = _Generator()


def set_rng(kind="plain", seed=0):
    """Chooses and seeds the library-wide uniform generator.

    kind: "plain", "shuffled" or "stratified" (or the library's code).
    """
    code = _catalogue.GENERATORS.get(kind) if isinstance(kind, str) else kind
    if code is None or isinstance(code, bool) or not isinstance(code, (int, np.integer)):
        raise ValueError(f"unknown generator kind {kind!r}; use one of {', '.join(_catalogue.GENERATORS)}")
    _generator.reseed(_c_int(code, "kind"), _c_int(seed, "seed"))


def rng(size=None):
    """The next uniform number in (0, 1), or an array of shape `size` (an int or
    a tuple) of the next ones, drawn in one batch call."""
    lib = library()
    if size is None:
        return lib.rng()
    return _draw(size, lib.rng_batch)


def betai(a, b, x):
    """Regularised incomplete beta function I_x(a, b)."""
    return library().betai(float(a), float(b), float(x))


def _shape(size):
    shape = (size,) if isinstance(size, (int, np.integer)) else tuple(size)
    for n in shape:
        if _c_int(n, "size") < 0:
            raise ValueError("size must not be negative")
    return tuple(int(n) for n in shape)


def _pointer(array):
    return array.ctypes.data_as(ctypes.POINTER(ctypes.c_double))


def _draw(size, fill):
    """An array of shape `size` filled in order by fill(pointer, count)."""
    out = np.empty(_shape(size), dtype=np.float64)
    flat = out.reshape(-1)
    for start in range(0, flat.size, _BATCH_LIMIT):
        piece = flat[start:start + _BATCH_LIMIT]
        fill(_pointer(piece), piece.size)
    return out


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


def _check_parameters(info, parameters, t_min, t_max):
    """The inputs of one distribution, checked and converted for the C setters:
    (values by field name, t_min, t_max). Every check of a Distribution's
    arguments happens here, before a slot is taken."""
    missing = [f for f in info.inputs if f not in parameters]
    extra = sorted(set(parameters) - set(info.inputs))
    if missing:
        raise TypeError(f"{info.name} needs {', '.join(missing)}")
    if extra:
        raise TypeError(f"{info.name} does not take {', '.join(extra)} (it reads {', '.join(info.inputs)})")
    values = {}
    for name in info.inputs:
        convert = _c_int if name in _catalogue.WHOLE_FIELDS else _c_real
        values[name] = convert(parameters[name], name)
    _catalogue.check_parameters(info, values)
    return (values, *_check_cut(t_min, t_max))


def _check_cut(t_min, t_max):
    """The truncation points, each None or a finite number, the first below the second."""
    t_min = None if t_min is None else _c_real(t_min, "t_min")
    t_max = None if t_max is None else _c_real(t_max, "t_max")
    if t_min is not None and t_max is not None and not t_min < t_max:
        raise ValueError("t_min must be below t_max")
    return t_min, t_max


def _set_cut(lib, slot, t_min, t_max):
    """Truncates the slot at the given points (None: not on that side)."""
    lib.set_pdf_t_min(slot, 0 if t_min is None else 1, 0.0 if t_min is None else t_min)
    lib.set_pdf_t_max(slot, 0 if t_max is None else 1, 0.0 if t_max is None else t_max)


def _quantiles(info):
    """When quantiles are offered: a discrete type's come from the whole-number
    quantile, which serves whenever its statistics do; the others' from the
    library's inverse."""
    return info.statistics if info.discrete else info.quantile


def _nan_for_none(value):
    return math.nan if value is None else value


def _as_result(arr, out):
    """out, shaped like the input arr; a float for a scalar input."""
    return float(out.reshape(-1)[0]) if arr.ndim == 0 else out.reshape(arr.shape)


class Distribution:
    # The docstring, with the table of types, is written at import (below).

    def __init__(self, type, *, t_min=None, t_max=None, **parameters):
        self._slot = None
        self._lock = threading.RLock()
        info = _catalogue.find_type(type)
        values, t_min, t_max = _check_parameters(info, parameters, t_min, t_max)
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
        _set_cut(lib, s, self._t_min, self._t_max)
        lib.dinitialise(s)

    # Lifetime ----------------------------------------------------------------

    def close(self):
        """Gives the slot back to the pool; the object cannot be used afterwards.
        Waits for a call on the slot that another thread is making."""
        with self._lock:
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
        except Exception:  # a half-built object, or interpreter shutdown
            pass

    def __repr__(self):
        params = ", ".join(f"{k}={v!r}" for k, v in self._parameters.items())
        trunc = "".join(f", {k}={v!r}" for k, v in (("t_min", self._t_min), ("t_max", self._t_max)) if v is not None)
        state = " closed" if self.closed else ""
        return f"<Distribution {self._info.name}({params}{trunc}){state}>"

    @contextlib.contextmanager
    def _held(self, availability=_catalogue.ALWAYS, what=""):
        """The slot, held against close() and other threads' calls for the block."""
        self._require(availability, what)
        with self._lock:
            if self._slot is None:
                raise ValueError("the distribution is closed")
            yield self._slot

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
        return self._info.discrete

    # Statistics: the library's names read None where a statistic does not
    # exist; the SciPy names (mean(), var(), ...) read NaN there.

    def _statistic(self, name):
        flag, getter = _STATISTICS[name]
        with self._held(self._info.statistics, "summary statistics") as s:
            if not getattr(self._lib, flag)(s):
                return None
            return getattr(self._lib, getter)(s)

    mode = property(lambda self: self._statistic("mode"), doc="Mode, or None.")
    variance = property(lambda self: self._statistic("variance"), doc="Variance, or None.")
    stdev = property(lambda self: self._statistic("stdev"), doc="Standard deviation, or None.")
    skewness = property(lambda self: self._statistic("skewness"), doc="Skewness, or None.")
    kurtosis = property(lambda self: self._statistic("kurtosis"),
                        doc="Kurtosis, 3 for the normal (not the excess that SciPy reports), or None.")

    def statistics(self):
        """The summary statistics as a dict (None where one does not exist);
        kurtosis is 3 for the normal."""
        return {name: self._statistic(name) for name in _STATISTICS}

    def mean(self):
        """Mean; NaN where it does not exist (SciPy answers inf for some of those).
        The Cauchy's is its location, where SciPy answers NaN."""
        return _nan_for_none(self._statistic("mean"))

    def var(self):
        """Variance; NaN where it does not exist (SciPy answers inf for some of those)."""
        return _nan_for_none(self._statistic("variance"))

    def std(self):
        """Standard deviation; NaN where it does not exist."""
        return _nan_for_none(self._statistic("stdev"))

    def median(self):
        """The library's median; where it has none (the discrete types), ppf(0.5)
        as in SciPy, or NaN without quantiles."""
        value = self._statistic("median")
        if value is None and _catalogue.offered(_quantiles(self._info), self.truncated):
            return self.ppf(0.5)
        return _nan_for_none(value)

    def stats(self, moments="mv"):
        """Mean ('m'), variance ('v'), skewness ('s') and excess kurtosis ('k'), in
        that order, for the letters in moments; one value alone for one letter.
        'k' is the excess, as in SciPy (the kurtosis property is not); NaN where
        a statistic does not exist."""
        unknown = set(moments) - set("mvsk")
        if unknown:
            raise ValueError(f"moments takes the letters m, v, s and k, not {''.join(sorted(unknown))!r}")
        values = {"m": self.mean(), "v": self.var(), "s": _nan_for_none(self._statistic("skewness")),
                  "k": _nan_for_none(self._statistic("kurtosis")) - 3}
        out = tuple(values[letter] for letter in "mvsk" if letter in moments)
        return out[0] if len(out) == 1 else out

    def _range_value(self, getter):
        with self._held(self._info.statistics, "summary statistics") as s:
            return getattr(self._lib, getter)(s)

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

    def _support(self, s):
        lib = self._lib
        lower = lib.get_pdf_minimum(s) if lib.get_pdf_min_exists(s) else -math.inf
        upper = lib.get_pdf_maximum(s) if lib.get_pdf_max_exists(s) else math.inf
        # The library ends the working range of such a type where it has summed
        # all but 1e-6 of the mass; the support goes on.
        if self._info.open_above and self._t_max is None:
            upper = math.inf
        return lower, upper

    def support(self):
        """(lower, upper): the ends of the support, after truncation; -inf or inf
        where it is unbounded. (minimum and maximum give the library's range.)"""
        with self._held(self._info.statistics, "summary statistics") as s:
            return self._support(s)

    # Evaluation --------------------------------------------------------------

    def _evaluate(self, fn_name, values, availability=_catalogue.ALWAYS, what=""):
        """fn_name's batch call over values, shaped like them."""
        arr = np.asarray(values, dtype=np.float64)
        flat = np.ascontiguousarray(arr.reshape(-1))
        out = np.empty_like(flat)
        with self._held(availability, what) as s:
            self._batch(fn_name, s, flat, out)
        return _as_result(arr, out)

    def _batch(self, fn_name, s, flat, out):
        fn = getattr(self._lib, fn_name)
        for start in range(0, flat.size, _BATCH_LIMIT):
            piece = flat[start:start + _BATCH_LIMIT]
            fn(s, _pointer(piece), _pointer(out[start:start + _BATCH_LIMIT]), piece.size)

    def pdf(self, x):
        """Density (continuous) or probability mass (discrete) at x; scalar or array."""
        return self._evaluate("get_pdf_pdf_batch", x)

    def pmf(self, x):
        """Probability mass at x: pdf under SciPy's name for discrete types."""
        return self.pdf(x)

    def logpdf(self, x):
        """Natural logarithm of pdf(x); -inf where it is 0."""
        with np.errstate(divide="ignore"):
            return _as_result(np.asarray(x), np.log(np.asarray(self.pdf(x), dtype=np.float64)))

    def logpmf(self, x):
        """Natural logarithm of pmf(x); -inf where it is 0."""
        return self.logpdf(x)

    def pdf_valid(self, x):
        """False where the density is at a pole (its value there is a stand-in)."""
        arr = np.asarray(x, dtype=np.float64)
        with self._held() as s:
            out = np.array([bool(self._lib.get_pdf_pdf_valid(s, float(v))) for v in arr.reshape(-1)], dtype=bool)
        return bool(out[0]) if arr.ndim == 0 else out.reshape(arr.shape)

    def cdf(self, x):
        """Cumulative probability at x; scalar or array."""
        return self._evaluate("get_pdf_f_batch", x, self._info.cdf, "cumulative distribution")

    def sf(self, x):
        """Survival function 1 - cdf(x) (computed so: no more accurate far in the upper tail)."""
        return 1.0 - self.cdf(x)

    def ppf(self, q):
        """Quantile: the value at which the cumulative probability reaches q; scalar
        or array. A discrete type answers whole numbers: the smallest one whose
        cumulative probability reaches q. ppf(0) and ppf(1) are the ends of the
        support (-inf or inf where unbounded; SciPy's discrete types answer one
        below the lowest value at 0), and q outside [0, 1] gives NaN."""
        arr = np.asarray(q, dtype=np.float64)
        flat = arr.reshape(-1)
        out = np.full(flat.shape, math.nan)
        inner = np.ascontiguousarray(flat[(flat > 0) & (flat < 1)])
        with self._held(_quantiles(self._info), "quantiles") as s:
            lower, upper = self._support(s)
            out[flat == 0] = lower
            out[flat == 1] = upper
            if self._info.discrete:
                found = np.array([self._lib.get_pdf_g_whole(s, float(p)) for p in inner], dtype=np.float64)
            else:
                found = np.empty_like(inner)
                self._batch("get_pdf_g_batch", s, inner, found)
        out[(flat > 0) & (flat < 1)] = found
        return _as_result(arr, out)

    def isf(self, q):
        """Inverse survival function ppf(1 - q)."""
        return self.ppf(1.0 - np.asarray(q, dtype=np.float64))

    def interval(self, confidence):
        """(lower, upper): the central interval holding the fraction `confidence`
        of the probability, ppf((1 - c) / 2) and ppf((1 + c) / 2); NaN for a
        confidence outside [0, 1]."""
        c = np.asarray(confidence, dtype=np.float64)
        valid = (c >= 0) & (c <= 1)
        lower = self.ppf(np.where(valid, (1 - c) / 2, math.nan))
        upper = self.ppf(np.where(valid, (1 + c) / 2, math.nan))
        return lower, upper

    # Sampling ----------------------------------------------------------------

    def _prepare(self, s):
        """Prepares the held slot s for drawing, once per seeding of the generator."""
        epoch = _generator.epoch
        if self._prepared_epoch != epoch:
            self._lib.precalc(s)
            self._prepared_epoch = epoch

    def _variates(self, size):
        with self._held(self._info.sample, "random variates") as s:
            self._prepare(s)
            return _draw(size, lambda pointer, count: self._lib.dvalue_batch(s, pointer, count))

    def sample(self, n):
        """n random variates, in the order the shared generator produces them."""
        return self._variates(n)

    def rvs(self, size=None):
        """Random variates: one float, or an array of shape `size` (an int or a
        tuple), from the library-wide generator (no random_state: reseed with
        set_rng). Discrete types give whole numbers as floats."""
        if size is None:
            return float(self._variates(1)[0])
        return self._variates(size)


def _type_lines(info):
    """The type's entry in help(Distribution): names, inputs and meaning, what
    it lacks, and the domain of its inputs."""
    names = ", ".join((str(info.code),) + info.aliases)
    limits = [f"{what} only when truncated" if availability == _catalogue.TRUNCATED else f"no {what}"
              for what, availability in (("statistics", info.statistics), ("cdf", info.cdf),
                                         ("quantiles", _quantiles(info)), ("variates", info.sample))
              if availability != _catalogue.ALWAYS]
    note = f" [{'; '.join(limits)}]" if limits else ""
    domain = ", ".join(rule.text for rule in info.domain) or "any finite values"
    return [f"    {info.name} ({names}): {', '.join(info.inputs)} -- {info.description}{note}",
            f"        domain: {domain}"]


def _class_doc():
    return "\n".join([
        "One distribution in a library slot, with SciPy's frozen-distribution methods.",
        "",
        "Distribution(\"gamma\", scale=2, shape_a=3) or Distribution(12, ...): the type by",
        "name, alias or code, its inputs as keyword arguments, and the optional",
        "truncation points t_min and t_max. Real inputs must be finite;",
        f"{', '.join(_catalogue.WHOLE_FIELDS)} are whole numbers that fit a 32-bit int.",
        "The slot is released by close(), by leaving a with-block, or when the",
        "object is collected; at most 21 Distributions are open at once.",
        "",
        "SciPy's names: pdf/pmf, logpdf/logpmf, cdf, sf, ppf, isf, rvs(size),",
        "mean(), var(), std(), median(), stats(moments='mv'), interval(confidence),",
        "support(). The library's own: statistics(), the properties mode, variance,",
        "stdev, skewness, kurtosis (None where absent; kurtosis is 3 for the normal,",
        "not SciPy's excess), minimum, maximum, p_min, p_max, and sample(n).",
        "",
        "Types, by name (code, aliases): inputs -- meaning, and the domain of the",
        "inputs (a Distribution outside it raises ValueError):",
        *(line for info in _catalogue.TYPES for line in _type_lines(info)),
    ])


Distribution.__doc__ = _class_doc()


def types():
    """The distribution types: code, name, aliases, inputs, description."""
    return _catalogue.TYPES


def free_slots():
    """How many of the library's slots no Distribution holds."""
    return _pool.free_count()
