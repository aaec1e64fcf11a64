"""The Python binding against the built shared library (KVZ_COMP_LIBRARY)."""

import gc
import math
import os
import subprocess
import sys

import numpy as np
import pytest

import kvz_comp
from kvz_comp import Distribution


# --- statistics ------------------------------------------------------------------

def test_gamma_statistics_match_the_closed_forms():
    with Distribution("gamma", scale=2, shape_a=3) as d:
        # Gamma(k=3, theta=2): mean 6, mode 4, variance 12, skewness 2/sqrt(3), kurtosis 5.
        expected = {"mean": 6, "mode": 4, "variance": 12, "stdev": math.sqrt(12),
                    "skewness": 2 / math.sqrt(3), "kurtosis": 5}
        stats = d.statistics()
        for name, value in expected.items():
            assert stats[name] == pytest.approx(value, rel=1e-12), name
        # scipy.stats.gamma.ppf(0.5, 3, scale=2)
        assert d.median() == pytest.approx(5.348120627447118, abs=1e-4)
        assert (d.minimum, d.p_min, d.bounded_below, d.p_max, d.bounded_above) == (0, 0, True, 0.995, False)
        assert not d.is_discrete
        assert (d.type, d.code, d.parameters) == ("gamma", 12, {"scale": 2.0, "shape_a": 3.0})


def test_statistics_without_existence_read_none():
    with Distribution("cauchy", mean=1, scale=2) as d:
        assert d.variance is None and d.stdev is None and d.kurtosis is None
        assert d.median() == pytest.approx(1)


@pytest.mark.parametrize("type_, params, mean, variance", [
    # Chi-square(4): mean 4, variance 8 (the degrees of freedom are set after the type).
    ("chi-square", {"shape_a": 4}, 4, 8),
    (25, {"shape_a": 4}, 4, 8),
    # Binomial(10, 0.3): n p, n p (1 - p); whole-number inputs go through the int setters.
    ("binomial", {"n": 10, "p": 0.3}, 3, 2.1),
    # Hypergeometric(N=20, K=7, n=5): n K/N, n K/N (N-K)/N (N-n)/(N-1).
    ("hypergeometric", {"pop": 20, "popsuc": 7, "sam": 5}, 1.75, 5 * 7 / 20 * 13 / 20 * 15 / 19),
])
def test_inputs_reach_the_library(type_, params, mean, variance):
    with Distribution(type_, **params) as d:
        assert d.mean() == pytest.approx(mean, rel=1e-9)
        assert d.variance == pytest.approx(variance, rel=1e-9)


def test_truncation_bounds_the_range():
    with Distribution("normal", mean=0, stdev=1, t_min=0) as d:
        assert d.truncated and (d.minimum, d.p_min, d.bounded_below) == (0, 0, True)
        # Half-normal mean sqrt(2/pi); the truncated moments are numerical.
        assert d.mean() == pytest.approx(math.sqrt(2 / math.pi), abs=1e-3)
        assert d.cdf(0.0) == pytest.approx(0, abs=1e-9)


# --- evaluation ------------------------------------------------------------------

def test_evaluations_keep_the_shape_of_their_input():
    with Distribution("gamma", scale=2, shape_a=3) as d:
        x = np.array([[1.0, 2.0], [4.0, 8.0]])
        # Gamma(3, 2) density x^2 e^(-x/2) / 16.
        assert d.pdf(x) == pytest.approx(x * x * np.exp(-x / 2) / 16, rel=1e-12)
        assert d.pdf(x).shape == (2, 2)
        assert isinstance(d.pdf(4.0), float) and d.pdf(4.0) == pytest.approx(math.exp(-2), rel=1e-12)
        assert d.cdf([4.0]) == pytest.approx([1 - 5 * math.exp(-2)], abs=1e-6)
        assert d.pdf([]).shape == (0,)
        # Strided input is copied before it reaches the library.
        assert d.pdf(x[:, 0]) == pytest.approx(d.pdf(np.array([1.0, 4.0])), rel=0)


@pytest.mark.parametrize("type_, params, tol", [
    ("normal", {"mean": 1, "stdev": 2}, 1e-5),
    ("exponential", {"mean": 2}, 1e-9),
    ("gamma", {"scale": 2, "shape_a": 3}, 1e-5),
    ("weibull", {"minimum": 1, "scale": 2, "shape_a": 1.5}, 1e-9),
])
def test_ppf_inverts_cdf(type_, params, tol):
    q = np.array([0.01, 0.25, 0.5, 0.9, 0.99])
    with Distribution(type_, **params) as d:
        assert d.cdf(d.ppf(q)) == pytest.approx(q, abs=tol)


def test_pdf_valid_marks_a_pole():
    with Distribution("beta", minimum=0, maximum=1, shape_a=0.5, shape_b=2) as d:
        assert d.pdf_valid([0.0, 0.5]).tolist() == [False, True]
        assert d.pdf_valid(0.5) is True


def test_f_density_is_served_and_nothing_else():
    # A slot used before by another type keeps that type's statistics: the F
    # type has none of its own, so the binding must not report them.
    Distribution("gamma", scale=2, shape_a=3).close()
    with Distribution("f", shape_a=3, shape_b=4) as d:
        # scipy.stats.f.pdf([0.5, 1, 2], 3, 4)
        assert d.pdf([0.5, 1, 2]) == pytest.approx([0.56500036, 0.34355003, 0.1394274], rel=1e-6)
        for action in (lambda: d.mean(), lambda: d.minimum, lambda: d.cdf(1.0), lambda: d.ppf(0.5),
                       lambda: d.sample(1)):
            with pytest.raises(NotImplementedError, match="f: this type has no"):
                action()


def test_types_without_a_method_say_when_it_becomes_available():
    with Distribution("student-t", shape_a=5) as d, pytest.raises(NotImplementedError, match="only when truncated"):
        d.sample(3)
    with Distribution("student-t", shape_a=5, t_min=-50) as d:
        assert d.sample(3).shape == (3,)


# --- sampling and the generator ----------------------------------------------------

# The gamma's draws grow its table past the working range, which a later
# preparation would start from.
@pytest.mark.parametrize("type_, params", [("normal", {"mean": 0, "stdev": 1}), ("gamma", {"scale": 2, "shape_a": 3})])
def test_draws_repeat_after_reseeding_and_continue_across_calls(type_, params):
    with Distribution(type_, **params) as d:
        kvz_comp.set_rng("plain", 8)
        whole = d.sample(80)
        kvz_comp.set_rng("plain", 8)
        parts = np.concatenate([d.sample(30), d.sample(50)])
        assert whole.tolist() == parts.tolist()
        kvz_comp.set_rng("plain", 9)
        assert d.sample(80).tolist() != whole.tolist()
        assert d.sample(0).shape == (0,)


def test_stratified_generator_fills_each_thousandth_once():
    kvz_comp.set_rng("stratified", 3)
    u = kvz_comp.rng(1000)
    assert sorted(np.floor(u * 1000).astype(int).tolist()) == list(range(1000))


def test_generator_kinds_by_name_and_code_agree():
    kvz_comp.set_rng("shuffled", 9)
    by_name = kvz_comp.rng(5)
    kvz_comp.set_rng(20, 9)
    assert kvz_comp.rng(5).tolist() == by_name.tolist()
    assert all(0 < v < 1 for v in by_name)


def test_sample_mean_and_spread_match_the_distribution():
    kvz_comp.set_rng("plain", 1)
    with Distribution("exponential", mean=2) as d:
        x = d.sample(20000)
    # Exponential(mean 2): standard error of the mean 2 / sqrt(20000) = 0.014.
    assert abs(x.mean() - 2) < 0.07 and (x >= 0).all()


@pytest.mark.parametrize("a, b, x, expected", [
    # scipy.special.betainc(a, b, x)
    (2, 3, 0.4, 0.5247999999999999),
    (0.5, 0.5, 0.3, 0.3690101195655454),
    (5, 1.5, 0.9, 0.7761721343162157),
    (10, 20, 0.35, 0.592386663663905),
])
def test_betai_matches_the_regularised_incomplete_beta(a, b, x, expected):
    assert kvz_comp.betai(a, b, x) == pytest.approx(expected, abs=1e-6)


# --- slots ----------------------------------------------------------------------

def test_the_pool_hands_out_all_21_slots_and_no_more():
    held = [Distribution("uniform", minimum=i, maximum=i + 1) for i in range(kvz_comp.SLOT_COUNT)]
    assert kvz_comp.free_slots() == 0
    with pytest.raises(RuntimeError, match="21 library slots"):
        Distribution("uniform", minimum=0, maximum=1)
    # Each slot kept its own distribution.
    assert [d.mean() for d in held] == pytest.approx([i + 0.5 for i in range(kvz_comp.SLOT_COUNT)])
    held.pop().close()
    with Distribution("uniform", minimum=0, maximum=1):
        assert kvz_comp.free_slots() == 0
    del held
    gc.collect()
    assert kvz_comp.free_slots() == kvz_comp.SLOT_COUNT


def test_a_closed_distribution_refuses_to_work():
    d = Distribution("normal", mean=0, stdev=1)
    d.close()
    d.close()  # twice is harmless
    assert d.closed and "closed" in repr(d)
    with pytest.raises(ValueError, match="closed"):
        d.pdf(0.0)


# --- bad input ------------------------------------------------------------------------

@pytest.mark.parametrize("args, kwargs, error, message", [
    (("nosuch",), {}, ValueError, "unknown distribution type"),
    ((5,), {}, ValueError, "unknown distribution type"),
    (("gamma",), {"scale": 2}, TypeError, "gamma needs shape_a"),
    (("gamma",), {"scale": 2, "shape_a": 3, "mean": 1}, TypeError, "does not take mean"),
    (("gamma",), {"scale": "two", "shape_a": 3}, ValueError, "scale must be a number"),
    (("gamma",), {"scale": float("nan"), "shape_a": 3}, ValueError, "scale must be finite"),
    (("binomial",), {"n": 2.5, "p": 0.5}, ValueError, "n must be a whole number"),
    (("binomial",), {"n": 2**40, "p": 0.5}, ValueError, "32-bit"),
    (("normal",), {"mean": 0, "stdev": 1, "t_min": 2, "t_max": 1}, ValueError, "t_min must be below t_max"),
])
def test_bad_arguments_raise_before_a_slot_is_taken(args, kwargs, error, message):
    with pytest.raises(error, match=message):
        Distribution(*args, **kwargs)
    assert kvz_comp.free_slots() == kvz_comp.SLOT_COUNT


@pytest.mark.parametrize("call, message", [
    (lambda: kvz_comp.set_rng("fancy"), "unknown generator kind"),
    (lambda: kvz_comp.set_rng("plain", 2**31), "32-bit"),
    (lambda: kvz_comp.set_rng("plain", 1.5), "whole number"),
])
def test_bad_generator_settings_raise(call, message):
    with pytest.raises(ValueError, match=message):
        call()


@pytest.mark.parametrize("name, code", [("gamma", 12), ("Chi_Square", 25), ("t", 35), ("36", 36), (24, 24)])
def test_types_are_found_by_name_alias_or_code(name, code):
    assert kvz_comp.find_type(name).code == code


def test_a_missing_library_is_reported_with_where_to_point():
    env = dict(os.environ, KVZ_COMP_LIBRARY="/nonexistent/libkvz_comp.so")
    r = subprocess.run([sys.executable, "-c", "import kvz_comp; kvz_comp.rng()"], env=env, capture_output=True,
                       text=True, timeout=60)
    assert r.returncode != 0 and "KVZ_COMP_LIBRARY" in r.stderr
