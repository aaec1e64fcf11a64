"""Drawing several distributions together with a target rank correlation."""

import contextlib
import ctypes

import numpy as np

from ._library import library
from .distribution import SLOT_COUNT, Distribution, _c_int

# The library's refusals (include/kvz_comp_corr.h), as messages.
_REFUSALS = {
    -1: "an array is missing",
    -2: f"between 1 and {SLOT_COUNT} distributions are needed",
    -3: "n must be at least 2 (and the draw small enough to fit in memory)",
    -4: "a distribution cannot be drawn from",
    -5: "the same distribution is given twice",
    -6: "the target must be symmetric with 1 on the diagonal and every entry a number in [-1, 1]",
    -7: "the workspace is too small",
    -8: "a distribution has no random variates to draw (a type without them, or one never set up)",
}


def correlated_sample(distributions, target, n):
    """Draws n values from each distribution, reordered so that the Spearman
    rank correlation of the columns approaches `target`.

    Each column holds exactly the values the distribution's sample(n) would
    give at that point of the generator's stream (distribution after
    distribution), only reordered. A target that is not positive semi-definite
    is replaced by the nearest correlation matrix first.

    Returns (samples, achieved, repaired): the (n, k) array, one column per
    distribution; the k x k Spearman matrix of the columns (average ranks for
    ties; NaN for a column whose values are all equal); and the Frobenius
    distance between the target and the matrix aimed at (0.0 when the target
    was used as given). Bad input raises ValueError.
    """
    dists = list(distributions)
    for d in dists:
        if not isinstance(d, Distribution):
            raise ValueError(f"expected Distribution objects, not {d!r}")
    k = len(dists)
    n = _c_int(n, "n")
    matrix = np.ascontiguousarray(target, dtype=np.float64)
    if matrix.shape != (k, k):
        raise ValueError(f"the target must be {k} x {k} for {k} distributions, not of shape {matrix.shape}")
    # Each distribution's slot is held for the whole draw, taken in one order
    # (by identity) so that two draws over the same distributions cannot wait
    # on each other.
    with contextlib.ExitStack() as held:
        try:
            slots = {}
            for d in sorted(set(dists), key=id):
                s = held.enter_context(d._held(d._info.sample, "random variates"))
                d._prepare(s)
                slots[id(d)] = s
        except NotImplementedError as e:
            raise ValueError(str(e)) from None
        return _draw_correlated([slots[id(d)] for d in dists], matrix, n)


def _draw_correlated(slots, matrix, n):
    k = len(slots)
    lib = library()
    size = lib.dvalue_correlated_work_size(k, n)
    work = np.empty(max(size, 1), dtype=np.uint8)
    out = np.empty((max(n, 0), k), dtype=np.float64)
    achieved = np.empty((k, k), dtype=np.float64)
    repaired = ctypes.c_double()
    as_doubles = ctypes.POINTER(ctypes.c_double)
    code = lib.dvalue_correlated((ctypes.c_int * max(k, 1))(*slots), k, n, matrix.ctypes.data_as(as_doubles),
                                 out.ctypes.data_as(as_doubles), achieved.ctypes.data_as(as_doubles),
                                 ctypes.byref(repaired), work.ctypes.data_as(ctypes.c_void_p), size)
    if code != 0:
        raise ValueError(_REFUSALS.get(code, f"the library refused the draw (code {code})"))
    return out, achieved, repaired.value
