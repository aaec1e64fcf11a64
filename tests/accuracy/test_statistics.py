"""Reported statistics of untruncated slots against SciPy: mean, variance,
standard deviation, skewness, kurtosis (the fourth standardised moment, SciPy's
excess + 3), median and mode. A statistic SciPy finds infinite or undefined
must be reported as missing (its existence flag clear), unless the library
reports it by a stated convention (the Cauchy and Student t centre and skewness)."""
import math

import numpy as np
import pytest

from cases import ALL, BISECT, grid
from checks import params, spread
from kvz import Slot

MOMENTS = ("mean", "variance", "stdev", "skewness", "kurtosis")
DEFAULT_STAT_TOL = 1e-11  # closed forms of the parameters: a few roundings


def scipy_moments(case):
    m, v, s, k = (float(x) for x in case.ref.stats(moments="mvsk"))
    return {"mean": m, "variance": v, "stdev": math.sqrt(v) if v >= 0 else math.nan,
            "skewness": s, "kurtosis": k + 3}


def moment_cases():
    return [pytest.param(c, name, id=f"{c.id}-{name}", marks=(
        [pytest.mark.xfail(reason=c.xfail[name], strict=True)] if name in c.xfail else []))
        for c in ALL if c.stats for name in MOMENTS]


@pytest.mark.parametrize("case,name", moment_cases())
def test_moment_matches_scipy(case, name, record):
    slot = Slot(case.dtype, case.params)
    expected = case.reported.get(name, scipy_moments(case)[name])
    got = slot.stat(name)
    if name in case.unreported or (name == "stdev" and "variance" in case.unreported):
        assert got is None, f"{name} reported as {got}; the type does not report it"
        return
    if not math.isfinite(expected):
        assert got is None, f"{name} reported as {got} where it does not exist"
        return
    assert got is not None, f"{name} missing where SciPy gives {expected}"
    tol = case.stat_tol.get(name, DEFAULT_STAT_TOL)
    # Relative error; absolute near zero (symmetric skewness, centred means).
    err = abs(got - expected) / max(abs(expected), 1.0 if name == "skewness" else 1e-300)
    if expected == 0.0:
        err = abs(got)
    record("statistics", case.family, case.id, name, err, tol, "relative")
    assert err <= tol


@pytest.mark.parametrize("case", params(ALL, "median", keep=lambda c: c.stats))
def test_median_is_where_scipy_cumulative_is_one_half(case, record):
    slot = Slot(case.dtype, case.params)
    got = slot.stat("median")
    if case.discrete:
        assert got is None, "a discrete type reports no median"
        return
    assert got is not None
    err = abs(case.ref.cdf(got) - 0.5)
    tol = BISECT + (case.cdf_tol or 0.0)
    record("statistics", case.family, case.id, "median", err, tol, "probability")
    assert err <= tol


@pytest.mark.parametrize("case", params(ALL, "mode", keep=lambda c: c.stats))
def test_mode_matches_closed_form_or_largest_mass(case, record):
    slot = Slot(case.dtype, case.params)
    got = slot.stat("mode")
    if case.discrete:
        if case.dtype == 28:
            assert got is None, "the discrete uniform reports no mode"
            return
        xs = grid(case)
        pmf = case.ref.pmf(xs)
        # The lowest of the values of largest mass (ties keep the lower).
        expected = float(xs[np.argmax(pmf >= pmf.max() * (1 - 1e-9))])
        err = abs(got - expected)
        record("statistics", case.family, case.id, "mode", err, 0.0, "absolute")
        assert got == expected
        return
    if case.mode is None:
        assert got is None, "no single mode, yet one is reported"
        return
    assert got is not None
    tol = case.stat_tol.get("mode", DEFAULT_STAT_TOL)
    err = abs(got - case.mode) / max(abs(case.mode), spread(case.ref))
    record("statistics", case.family, case.id, "mode", err, tol, "relative")
    assert err <= tol
