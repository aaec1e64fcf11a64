"""kvz_comp.correlated_sample against SciPy's Spearman and the plain draws."""

import gc

import numpy as np
import pytest
from scipy import stats

import kvz_comp
from kvz_comp import Distribution, correlated_sample


@pytest.fixture(autouse=True)
def no_slot_leaks():
    yield
    gc.collect()
    assert kvz_comp.free_slots() == kvz_comp.SLOT_COUNT


# Twenty-one distributions of mixed types: cumulative and discrete tables
# (with ties), direct and inverse formulas, the normal-based method.
MIXED = [
    ("gamma", {"scale": 2, "shape_a": 3}), ("poisson", {"mean": 4}), ("normal", {"mean": 10, "stdev": 2}),
    ("beta", {"minimum": 0, "maximum": 1, "shape_a": 2, "shape_b": 3}), ("exponential", {"mean": 2}),
    ("binomial", {"n": 10, "p": 0.3}), ("triangular", {"minimum": 0, "mode": 2, "maximum": 5}),
    ("weibull", {"minimum": 1, "scale": 1.5, "shape_a": 2}), ("uniform", {"minimum": 2, "maximum": 8}),
    ("logistic", {"mean": 0, "stdev": 1}), ("geometric", {"p": 0.2}), ("rayleigh", {"scale": 1}),
    ("laplace", {"mean": 1, "scale": 2}), ("gumbel", {"mode": 1, "scale": 2}),
    ("power", {"minimum": 0, "maximum": 2, "shape_a": 2.5}), ("pareto", {"mode": 1, "shape_a": 3}),
    ("lognormal", {"lmean": 0.5, "lstdev": 0.4}), ("discrete-uniform", {"minimum": 1, "maximum": 6}),
    ("cauchy", {"mean": 1, "scale": 2}), ("chi-square", {"shape_a": 4}), ("binomial", {"n": 40, "p": 0.5}),
]


def factor_target(k, seed):
    """A valid correlation matrix: a few random factors plus noise."""
    rng = np.random.default_rng(seed)
    loads = rng.uniform(-1, 1, size=(k, 4))
    c = loads @ loads.T + 0.3 * np.eye(k)
    d = np.sqrt(np.diag(c))
    t = c / np.outer(d, d)
    np.fill_diagonal(t, 1.0)
    return (t + t.T) / 2


def open_all(specs):
    return [Distribution(name, **params) for name, params in specs]


@pytest.mark.parametrize("kind", ["plain", "shuffled", "stratified"])
def test_twenty_one_columns_reach_the_target_as_scipy_measures(kind):
    dists = open_all(MIXED)
    try:
        target = factor_target(len(dists), 11)
        kvz_comp.set_rng(kind, seed=2024)
        samples, achieved, repaired = correlated_sample(dists, target, 1000)
        assert samples.shape == (1000, 21)
        assert repaired == 0.0
        rho = stats.spearmanr(samples).correlation
        np.testing.assert_allclose(achieved, rho, atol=1e-12)
        assert np.max(np.abs(rho - target)) <= 0.02
    finally:
        for d in dists:
            d.close()


def test_columns_are_the_plain_draws_reordered():
    # Fresh distributions for each run: a draw may extend a slot's table.
    def fresh():
        return open_all(MIXED[:6])

    dists = fresh()
    kvz_comp.set_rng("shuffled", seed=5)
    # Prepared first, as correlated_sample prepares them: the normal draws as it is prepared.
    for d in dists:
        d.sample(0)
    plain = np.column_stack([d.sample(500) for d in dists])
    after_plain = kvz_comp.rng()
    for d in dists:
        d.close()
    dists = fresh()
    try:
        kvz_comp.set_rng("shuffled", seed=5)
        samples, _, _ = correlated_sample(dists, factor_target(6, 3), 500)
        assert kvz_comp.rng() == after_plain
        np.testing.assert_array_equal(np.sort(samples, axis=0), np.sort(plain, axis=0))
    finally:
        for d in dists:
            d.close()


def test_a_reseed_repeats_the_block_after_the_tables_have_grown():
    # The first block grows the gamma's table out to its far tail; preparing
    # again after the reseed must not start from there.
    with Distribution("gamma", scale=2, shape_a=3) as g, Distribution("exponential", mean=2) as e:
        blocks = []
        for _ in range(2):
            kvz_comp.set_rng("plain", seed=4242)
            blocks.append(correlated_sample([g, e], [[1, 0.6], [0.6, 1]], 1000)[0])
        np.testing.assert_array_equal(blocks[0], blocks[1])
        # u = 0.99969876, true quantile 25.2936
        assert blocks[1][:, 0].max() == pytest.approx(25.0702, abs=5e-5)


def test_a_target_that_is_no_correlation_matrix_is_repaired():
    dists = open_all([MIXED[0], MIXED[4], MIXED[7]])
    try:
        kvz_comp.set_rng("plain", seed=9)
        target = np.full((3, 3), -0.9)
        np.fill_diagonal(target, 1.0)
        samples, achieved, repaired = correlated_sample(dists, target, 1000)
        # The nearest correlation matrix has -0.5 off the diagonal.
        assert repaired == pytest.approx(np.sqrt(6 * 0.4 ** 2), abs=1e-6)
        off = achieved[~np.eye(3, dtype=bool)]
        assert np.all(np.abs(off + 0.5) <= 0.03)
        np.testing.assert_allclose(achieved, stats.spearmanr(samples).correlation, atol=1e-12)
    finally:
        for d in dists:
            d.close()


@pytest.mark.parametrize("target, n, message", [
    ([[1, 0.5], [0.4, 1]], 100, "symmetric"),
    ([[1, np.nan], [np.nan, 1]], 100, "symmetric"),
    ([[1, 1.2], [1.2, 1]], 100, "symmetric"),
    ([[0.9, 0.5], [0.5, 1]], 100, "symmetric"),
    ([[1, 0.5], [0.5, 1]], 0, "at least 2"),
    ([[1, 0.5], [0.5, 1]], 1, "at least 2"),
    ([[1, 0.5, 0], [0.5, 1, 0], [0, 0, 1]], 100, "2 x 2"),
])
def test_bad_input_is_a_value_error_and_draws_nothing(target, n, message):
    with Distribution("gamma", scale=2, shape_a=3) as a, Distribution("poisson", mean=4) as b:
        kvz_comp.set_rng("plain", seed=1)
        first = kvz_comp.rng()
        kvz_comp.set_rng("plain", seed=1)
        with pytest.raises(ValueError, match=message):
            correlated_sample([a, b], target, n)
        assert kvz_comp.rng() == first


def test_the_same_distribution_twice_is_refused():
    with Distribution("gamma", scale=2, shape_a=3) as a:
        with pytest.raises(ValueError, match="twice"):
            correlated_sample([a, a], [[1, 0.5], [0.5, 1]], 100)


def test_too_many_distributions_are_refused():
    with pytest.raises(ValueError, match="between 1 and 21"):
        correlated_sample([], np.zeros((0, 0)), 100)
