"""Error measures shared by the accuracy tests, and the parametrisation helper."""
import numpy as np
import pytest


def worst(values):
    """The largest error; a NaN anywhere (the library answered NaN) counts as infinite."""
    v = np.asarray(values, dtype=float)
    if v.size == 0:
        return 0.0
    if np.isnan(v).any():
        return np.inf
    return float(np.max(v))


def relative(lib, ref, floor=0.0):
    """|lib - ref| / max(|ref|, floor), elementwise."""
    lib, ref = np.asarray(lib, float), np.asarray(ref, float)
    return np.abs(lib - ref) / np.maximum(np.abs(ref), floor)


def spread(ref):
    """A length scale of a distribution (its interquartile range), for relative errors near 0."""
    return float(ref.ppf(0.75) - ref.ppf(0.25))


def params(cases, operation, keep=lambda c: True):
    """pytest parameters: one per case, xfail where the case names a known limit."""
    out = []
    for c in cases:
        if not keep(c):
            continue
        marks = []
        reason = c.xfail.get(operation)
        if reason:
            marks.append(pytest.mark.xfail(reason=reason, strict=True))
        out.append(pytest.param(c, id=c.id, marks=marks))
    return out
