"""Fitting distribution types to data by maximum likelihood (the library's
fit_pdf) and ranking the fits."""

import ctypes
import math
from dataclasses import dataclass

import numpy as np

from . import _catalogue
from ._library import FitResult, library
from .distribution import Distribution, _c_int, _c_real, _check_cut, _pointer, _pool, _set_cut

# Bits of FitResult.fixed: the host keeps that end of the support.
FIX_MINIMUM = 1
FIX_MAXIMUM = 2

# What a ranking can go by; lower is better for each.
CRITERIA = ("aic", "bic", "ks", "ad")


@dataclass(frozen=True)
class Fit:
    """One type fitted to the data. ad is the Anderson-Darling statistic of a
    continuous type, chi2 the chi-square statistic of a discrete one; the other
    is None. t_min and t_max are the cut the fit was made under."""
    type: str
    code: int
    parameters: dict
    loglik: float
    aic: float
    bic: float
    ks: float
    ad: float = None
    chi2: float = None
    t_min: float = None
    t_max: float = None

    def distribution(self):
        """A Distribution of the fit (with its cut); close it when done."""
        return Distribution(self.code, t_min=self.t_min, t_max=self.t_max, **self.parameters)


class Fits(list):
    """The fits, best first by `criterion`. `refused` maps each type that could
    not be fitted to the reason, in the order the types were tried."""

    def __init__(self, fits, refused, criterion):
        super().__init__(fits)
        self.refused = refused
        self.criterion = criterion


def rank_key(criterion):
    """The sort key of a ranking: the criterion, lower first; fits without it
    (a discrete fit has no Anderson-Darling statistic) after the others, by AIC."""
    def key(fit):
        value = getattr(fit, criterion)
        missing = value is None or math.isnan(value)
        return (missing, 0.0 if missing else value, fit.aic)
    return key


def fit(data, types=None, criterion="aic", t_min=None, t_max=None, minimum=None, maximum=None, n=None):
    """Fits distribution types to the data by maximum likelihood; returns the
    fits ranked by `criterion` (a list of Fit, best first, with `.refused`).

    data: numbers (a sequence or an array). types: a name, alias or code, or a
    list of them; by default every type fitted for such data, each type that
    only renames another once, through the other: the continuous types for
    data with a fraction, the discrete ones for whole numbers.
    criterion: "aic", "bic", "ks" (Kolmogorov-Smirnov) or "ad"
    (Anderson-Darling; discrete fits have none and rank after the continuous
    ones, by AIC among themselves).
    t_min, t_max: a cut; the truncated distribution is fitted and every value
    must lie inside it. minimum, maximum: ends of the support the fit keeps
    (the uniform's, the Weibull's minimum, ...) instead of estimating them.
    n: the binomial's number of trials (by default the largest value).

    A type the library refuses for these data is left out of the ranking with
    its reason in `.refused`; ValueError when a type asked for alone is
    refused, when no type could be fitted, and for arguments out of range.
    """
    values = _as_data(data)
    if criterion not in CRITERIA:
        raise ValueError(f"criterion must be one of {', '.join(CRITERIA)}, not {criterion!r}")
    t_min, t_max = _check_cut(t_min, t_max)
    settings = _settings(minimum, maximum, n)
    infos = _types_for(values, types)
    lib = library()
    fits, refused = [], {}
    slot = _pool.acquire()
    try:
        for info in infos:
            code, found = _fit_one(lib, slot, info, values, settings, t_min, t_max)
            if code == 0:
                fits.append(found)
            else:
                refused[info.name] = _refusal(info, code, t_min is not None or t_max is not None)
    finally:
        _pool.release(slot)
    if not fits:
        raise ValueError(_nothing_fitted(refused))
    return Fits(sorted(fits, key=rank_key(criterion)), refused, criterion)


def _as_data(data):
    try:
        values = np.asarray(data, dtype=np.float64)
    except (TypeError, ValueError):
        raise ValueError("the data must be numbers") from None
    if values.ndim > 1:
        raise ValueError(f"the data must be one row of numbers, not of shape {values.shape}")
    values = np.ascontiguousarray(values.reshape(-1))
    _c_int(values.size, "the number of values")
    return values


def _settings(minimum, maximum, n):
    """The host's ends (NaN: estimated) and the binomial's n (0: the data's maximum)."""
    ends = [math.nan if v is None else _c_real(v, name) for v, name in ((minimum, "minimum"), (maximum, "maximum"))]
    if not (math.isnan(ends[0]) or math.isnan(ends[1]) or ends[0] < ends[1]):
        raise ValueError("minimum must be below maximum")
    trials = 0 if n is None else _c_int(n, "n")
    if n is not None and trials < 1:
        raise ValueError(f"n must be at least 1, not {n!r}")
    return ends[0], ends[1], trials


def is_whole(values):
    """True when every finite value is a whole number: such data go to the discrete types."""
    finite = values[np.isfinite(values)]
    return bool(np.all(finite == np.floor(finite)))


def default_types(values):
    """The types fitted when none are named: the fitted types of the data's class."""
    discrete = is_whole(values)
    return [t for t in _catalogue.TYPES if t.fitted_alone and t.discrete == discrete]


def _types_for(values, types):
    if types is None:
        return default_types(values)
    if isinstance(types, (str, int, np.integer, _catalogue.TypeInfo)):
        types = [types]
    infos = []
    for t in types:
        info = _catalogue.find_type(t)
        if info not in infos:
            infos.append(info)
    if not infos:
        raise ValueError("no types to fit were named")
    return infos


def _fit_one(lib, slot, info, values, settings, t_min, t_max):
    """(0, Fit) or (the library's refusal code, None) for one type on the held slot."""
    lib.set_pdf_dtype(slot, info.code)
    _set_cut(lib, slot, t_min, t_max)
    lo, hi, trials = settings
    fixed = (0 if math.isnan(lo) else FIX_MINIMUM) | (0 if math.isnan(hi) else FIX_MAXIMUM)
    result = FitResult(minimum=0.0 if math.isnan(lo) else lo, maximum=0.0 if math.isnan(hi) else hi, n=trials,
                       fixed=fixed)
    size = lib.fit_pdf_work_size(info.code, values.size)
    work = np.empty(max(size, 1), dtype=np.uint8)
    code = lib.fit_pdf(slot, info.code, _pointer(values), values.size, work.ctypes.data_as(ctypes.c_void_p), size,
                       ctypes.byref(result))
    if code != 0:
        return code, None
    return 0, Fit(type=info.name, code=info.code, parameters=_fitted_inputs(info, result),
                  loglik=result.loglik, aic=result.aic, bic=result.bic, ks=result.ks,
                  ad=_none_for_nan(result.ad), chi2=_none_for_nan(result.chi2), t_min=t_min, t_max=t_max)


def _fitted_inputs(info, result):
    """The fitted inputs of the type, by the names of their setters."""
    return {name: getattr(result.fitted, name) for name in info.inputs}


def _refusal(info, code, cut):
    """The reason for a refusal: the library's, except that the F type on a cut
    is refused for want of a cumulative distribution, not of a density."""
    if code == -3 and info.code == 36 and cut:
        return "the F type has no cumulative distribution to measure a cut with"
    return _catalogue.fit_refusal(code)


def _none_for_nan(value):
    return None if math.isnan(value) else value


def _nothing_fitted(refused):
    """One line for types that were all refused: the type and its reason for
    one type, the reason alone when all share it, else each reason once with
    the types it stopped."""
    if len(refused) == 1:
        name, reason = next(iter(refused.items()))
        return f"{name}: {reason}"
    by_reason = {}
    for name, reason in refused.items():
        by_reason.setdefault(reason, []).append(name)
    if len(by_reason) == 1:
        return next(iter(by_reason))
    return "no type could be fitted: " + "; ".join(f"{reason} ({', '.join(names)})"
                                                   for reason, names in by_reason.items())
