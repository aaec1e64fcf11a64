"""SciPy's frozen-distribution names on Distribution, checked against SciPy
itself: the same quantity under each name, the same conventions at the edges."""

import math
import pydoc

import numpy as np
import pytest
from scipy import stats

import kvz_comp
from kvz_comp import Distribution

# (type, inputs, the SciPy distribution, relative tolerance of the library's values)
CONTINUOUS = [
    ("exponential", {"mean": 2}, stats.expon(scale=2), 1e-12),
    ("uniform", {"minimum": 2, "maximum": 8}, stats.uniform(2, 6), 1e-12),
    ("laplace", {"mean": 1, "scale": 2}, stats.laplace(1, 2), 1e-12),
    ("gamma", {"scale": 2, "shape_a": 3}, stats.gamma(3, scale=2), 1e-5),
    ("normal", {"mean": 1, "stdev": 2}, stats.norm(1, 2), 1e-5),
]
Q = np.array([0.001, 0.1, 0.25, 0.5, 0.9, 0.999])


def ids(cases):
    return [case[0] for case in cases]


@pytest.mark.parametrize("type_, inputs, ref, rel", CONTINUOUS, ids=ids(CONTINUOUS))
def test_continuous_names_give_scipys_quantities(type_, inputs, ref, rel):
    x = ref.ppf(Q)
    with Distribution(type_, **inputs) as d:
        assert d.pdf(x) == pytest.approx(ref.pdf(x), rel=rel)
        assert d.pmf(x) == pytest.approx(ref.pdf(x), rel=rel)
        assert d.logpdf(x) == pytest.approx(ref.logpdf(x), rel=rel, abs=rel)
        assert d.cdf(x) == pytest.approx(ref.cdf(x), abs=rel)
        assert d.sf(x) == pytest.approx(ref.sf(x), abs=rel)
        # Quantiles by bisection are right to about 1e-6 in probability.
        assert ref.cdf(d.ppf(Q)) == pytest.approx(Q, abs=max(rel, 2e-6))
        assert ref.sf(d.isf(Q)) == pytest.approx(Q, abs=max(rel, 2e-6))
        assert ref.cdf(d.interval(0.9)) == pytest.approx([0.05, 0.95], abs=max(rel, 2e-6))
        assert (d.mean(), d.var(), d.std()) == pytest.approx(ref.stats("mv") + (ref.std(),), rel=rel)
        assert d.median() == pytest.approx(ref.median(), rel=max(rel, 1e-5))
        # 'k' is SciPy's excess kurtosis; the kurtosis property is the library's (not the excess).
        assert d.stats("mvsk") == pytest.approx(ref.stats("mvsk"), rel=rel, abs=1e-12)
        assert d.kurtosis == pytest.approx(float(ref.stats("k")) + 3, rel=rel)
        assert d.support() == ref.support()


# Discrete types: quantiles are whole numbers, the smallest whose cumulative reaches q.
DISCRETE = [
    ("binomial", {"n": 10, "p": 0.3}, stats.binom(10, 0.3)),
    ("poisson", {"mean": 3}, stats.poisson(3)),
    ("hypergeometric", {"pop": 20, "popsuc": 7, "sam": 5}, stats.hypergeom(20, 7, 5)),
    # Support from 2: at least 6 - (12 - 8) successes.
    ("hypergeometric", {"pop": 12, "popsuc": 8, "sam": 6}, stats.hypergeom(12, 8, 6)),
    ("geometric", {"p": 0.3}, stats.geom(0.3, loc=-1)),
    # A cut at the bottom of the range leaves the distribution as it is.
    ("poisson", {"mean": 3, "t_min": 0}, stats.poisson(3)),
]


@pytest.mark.parametrize("type_, inputs, ref", DISCRETE, ids=ids(DISCRETE))
def test_discrete_names_give_scipys_quantities(type_, inputs, ref):
    k = np.arange(0, 9)
    # Between the steps of the cumulative, away from them by more than its error.
    q = np.array([0.01, 0.05, 0.2, 0.4, 0.5, 0.6, 0.8, 0.95, 0.99])
    steps = ref.cdf(k)
    assert np.min(np.abs(q[:, None] - steps[None, :])) > 1e-4
    with Distribution(type_, **inputs) as d:
        assert d.is_discrete
        assert d.pmf(k) == pytest.approx(ref.pmf(k), rel=1e-8, abs=1e-15)
        assert d.logpmf(k[:3]) == pytest.approx(ref.logpmf(k[:3]), rel=1e-8)
        assert d.cdf(k) == pytest.approx(ref.cdf(k), abs=1e-6)
        assert d.ppf(q).tolist() == ref.ppf(q).tolist()
        assert d.isf(q).tolist() == ref.isf(q).tolist()
        assert d.median() == ref.median()
        assert [float(v) for v in d.interval(0.9)] == list(ref.interval(0.9))
        # Moments of a truncated slot are sums the library stops early.
        assert d.stats("mv") == pytest.approx(ref.stats("mv"), rel=1e-5)
        assert d.support() == ref.support()
        # SciPy answers one below the lowest value at q = 0; here it is the lowest value.
        assert d.ppf([0, 1]).tolist() == [ref.support()[0], ref.support()[1]]


@pytest.mark.parametrize("type_, inputs, ends", [
    ("normal", {"mean": 0, "stdev": 1}, (-math.inf, math.inf)),
    ("gamma", {"scale": 2, "shape_a": 3}, (0, math.inf)),
    ("uniform", {"minimum": 2, "maximum": 8}, (2, 8)),
    ("normal", {"mean": 0, "stdev": 1, "t_min": -1, "t_max": 2}, (-1, 2)),
    ("poisson", {"mean": 3, "t_max": 7}, (0, 7)),
    ("geometric", {"p": 0.3, "t_min": 2}, (2, math.inf)),
])
def test_ppf_answers_the_support_ends_at_0_and_1_and_nan_outside(type_, inputs, ends):
    with Distribution(type_, **inputs) as d:
        assert d.support() == ends
        assert d.ppf([0.0, 1.0]).tolist() == list(ends)
        assert d.ppf(0.0) == ends[0] and isinstance(d.ppf(1.0), float)
        assert np.isnan(d.ppf([-0.5, 1.5, math.nan, -math.inf])).all()
        assert d.isf([0.0, 1.0]).tolist() == [ends[1], ends[0]]
        assert d.interval(1.0) == tuple(ends)
        for outside in (-0.1, 1.5, math.nan):
            assert np.isnan(d.interval(outside)).all()


def test_statistics_that_do_not_exist_read_nan():
    with Distribution("cauchy", mean=1, scale=2) as d:
        assert np.isnan([d.var(), d.std()]).all() and np.isnan(d.stats("vk")).all()
        assert d.variance is None  # the library's name keeps None
        # The library gives the Cauchy a mean, its location (SciPy: NaN).
        assert d.mean() == d.median() == 1
    with pytest.raises(ValueError, match="letters m, v, s and k"):
        with Distribution("normal", mean=0, stdev=1) as d:
            d.stats("mx")


def test_stats_answers_one_value_for_one_letter_and_keeps_scipys_order():
    with Distribution("gamma", scale=2, shape_a=3) as d:
        assert d.stats("m") == pytest.approx(6)
        # Gamma(3): skewness 2 / sqrt(3), excess kurtosis 2; order m, v, s, k whatever the string.
        assert d.stats("ks") == pytest.approx((2 / math.sqrt(3), 2))
        assert d.stats() == pytest.approx((6, 12))


def test_rvs_shapes_follow_size_and_continue_one_stream():
    with Distribution("exponential", mean=2) as d:
        kvz_comp.set_rng("plain", 11)
        one = d.rvs()
        grid = d.rvs((2, 3))
        kvz_comp.set_rng("plain", 11)
        flat = d.rvs(7)
        assert isinstance(one, float) and grid.shape == (2, 3) and d.rvs(0).shape == (0,)
        assert [one] + grid.reshape(-1).tolist() == flat.tolist()
        with pytest.raises(ValueError, match="negative"):
            d.rvs(-1)


def test_rng_batches_equal_single_draws():
    for kind in ("plain", "shuffled", "stratified"):
        kvz_comp.set_rng(kind, 5)
        batch = kvz_comp.rng((3, 400))
        kvz_comp.set_rng(kind, 5)
        single = [kvz_comp.rng() for _ in range(1200)]
        assert batch.shape == (3, 400) and batch.reshape(-1).tolist() == single, kind


def test_help_lists_every_type_with_its_inputs():
    text = pydoc.render_doc(kvz_comp.Distribution, renderer=pydoc.plaintext)
    for info in kvz_comp.types():
        assert f"{info.name} ({info.code}" in text
        line = next(line for line in text.splitlines() if f" {info.name} ({info.code}" in line)
        assert ", ".join(info.inputs) in line, info.name
    for name in ("logpmf", "isf", "interval", "support", "not SciPy's excess"):
        assert name in text
