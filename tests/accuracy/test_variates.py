"""Random variates against SciPy: a Kolmogorov-Smirnov test (continuous types)
or a chi-square test (discrete types) of 20000 seeded draws per case.

The seeds are fixed and every case was checked to pass with room to spare, so
the threshold p > 1e-4 never flakes; a broken sampler gives p-values far below it.
"""
import numpy as np
import pytest
from scipy import stats as st

from cases import ALL
from kvz import Slot

DRAWS = 20000
SEED = 20240611
P_THRESHOLD = 1e-4

# Types that draw nothing untruncated (Student t, F) are left out.
SAMPLED = [c for c in ALL if c.dtype not in (35, 36)]


class Renormalised:
    """An untruncated SciPy distribution cut to [lo, hi] (discrete: lo kept)."""

    def __init__(self, ref, lo, hi, discrete=False):
        self.ref, self.discrete = ref, discrete
        self.below = ref.cdf(lo - 1 if discrete else lo) if lo is not None else 0.0
        self.mass = (ref.cdf(hi) if hi is not None else 1.0) - self.below
        self.lo, self.hi = lo, hi

    def cdf(self, x):
        return np.clip((self.ref.cdf(x) - self.below) / self.mass, 0.0, 1.0)

    def pmf(self, k):
        lo = -np.inf if self.lo is None else self.lo
        hi = np.inf if self.hi is None else self.hi
        return np.where((k >= lo) & (k <= hi), self.ref.pmf(k) / self.mass, 0.0)

    def whole_numbers(self):
        lo = self.ref.support()[0] if self.lo is None else self.lo
        return np.arange(lo, self.hi + 1)


TRUNCATED = [
    ("normal", 4, dict(mean=0, stdev=1), st.norm(), 0.0, None, False),
    ("Student t", 35, dict(shape_a=3), st.t(3), -2.0, 2.0, False),
    ("gamma (a < 1)", 12, dict(scale=1, shape_a=0.5), st.gamma(0.5), 0.1, 4.0, False),
    ("Poisson", 6, dict(mean=4), st.poisson(4), 2, 9, True),
    ("binomial", 9, dict(n=20, p=0.4), st.binom(20, 0.4), None, 10, True),
]


def chi_square_pvalue(sample, pmf, support):
    """Chi-square goodness of fit over whole numbers, merging cells to expected >= 5."""
    support = np.asarray(support)
    expected = pmf(support) * len(sample)
    observed = np.array([np.sum(sample == k) for k in support], dtype=float)
    assert np.sum(observed) >= len(sample) * (1 - 1e-3), "draws fell outside the support"
    cells_o, cells_e, acc_o, acc_e = [], [], 0.0, 0.0
    for o, e in zip(observed, expected):
        acc_o += o
        acc_e += e
        if acc_e >= 5:
            cells_o.append(acc_o)
            cells_e.append(acc_e)
            acc_o = acc_e = 0.0
    if cells_e:
        cells_o[-1] += acc_o
        cells_e[-1] += acc_e
    cells_e = np.array(cells_e) * (np.sum(cells_o) / np.sum(cells_e))
    return st.chisquare(cells_o, cells_e).pvalue


def whole_numbers(ref, sample):
    """The whole numbers holding all but 1e-9 of the mass, and every value drawn."""
    if hasattr(ref, "whole_numbers"):
        return ref.whole_numbers()
    lo = min(np.min(sample), ref.ppf(1e-9))
    return np.arange(max(lo, ref.support()[0]), max(np.max(sample), ref.ppf(1 - 1e-9)) + 1)


def check(record, family, case_id, sample, ref, discrete, label):
    assert np.all(np.isfinite(sample))
    if discrete:
        assert np.all(sample == np.floor(sample)), "discrete draws must be whole numbers"
        p = chi_square_pvalue(sample, ref.pmf, whole_numbers(ref, sample))
    else:
        p = st.kstest(sample, ref.cdf).pvalue
    record("variates", family, case_id, label, p, P_THRESHOLD, "p-value (must exceed)")
    assert p > P_THRESHOLD


def first_of_each_family_and_extremes():
    chosen, seen = [], set()
    for c in SAMPLED:
        extreme = c.id in ("gamma-scale1-shape_a0.05", "beta-minimum-1-maximum3-shape_a0.5-shape_b0.5",
                           "Pareto-mode2-shape_a0.8", "lognormal-lmean-3-lstdev2.5",
                           "Weibull-minimum0-scale1-shape_a0.5", "logarithmic series-shape_a0.99",
                           "binomial-n1000-p0.01", "Poisson-mean100")
        if c.family not in seen or extreme:
            chosen.append(pytest.param(c, id=c.id, marks=[
                pytest.mark.xfail(reason=c.xfail["variates"], strict=True)]
                if "variates" in c.xfail else []))
            seen.add(c.family)
    return chosen


@pytest.mark.parametrize("case", first_of_each_family_and_extremes())
def test_draws_follow_scipy_distribution(case, record):
    slot = Slot(case.dtype, case.params)
    sample = slot.draws(DRAWS, SEED)
    check(record, case.family, case.id, sample, case.ref, case.discrete, "draws (plain)")


@pytest.mark.parametrize("kind", [15, 20])
@pytest.mark.parametrize("dtype,params,ref", [
    (4, dict(mean=1, stdev=2), st.norm(1, 2)),
    (12, dict(scale=2, shape_a=3), st.gamma(3, scale=2)),
    (6, dict(mean=3.5), st.poisson(3.5)),
], ids=["normal", "gamma", "Poisson"])
def test_stratified_and_shuffled_generators_draw_the_same_distribution(kind, dtype, params, ref,
                                                                       record):
    slot = Slot(dtype, params)
    sample = slot.draws(DRAWS, SEED, kind=kind)
    check(record, {4: "normal", 12: "gamma", 6: "Poisson"}[dtype], f"{dtype}-kind{kind}", sample,
          ref, dtype == 6, f"draws (kind {kind})")


@pytest.mark.parametrize("family,dtype,params,ref,lo,hi,discrete", TRUNCATED,
                         ids=[f"{t[0]}-{t[4]}-{t[5]}" for t in TRUNCATED])
def test_truncated_draws_follow_renormalised_scipy_distribution(family, dtype, params, ref, lo,
                                                                hi, discrete, record):
    slot = Slot(dtype, params, lo, hi)
    sample = slot.draws(DRAWS, SEED)
    if lo is not None:
        assert np.min(sample) >= lo
    if hi is not None:
        assert np.max(sample) <= hi
    check(record, family, f"{family}-{lo}-{hi}", sample, Renormalised(ref, lo, hi, discrete),
          discrete, "draws (truncated)")
