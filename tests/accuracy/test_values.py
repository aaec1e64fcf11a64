"""Density or mass, cumulative distribution and inverse of untruncated slots
against SciPy, over grids from the far tails to the centre."""
import numpy as np
import pytest

from cases import ALL, INVERSE_PROBS, STEPWISE, grid
from checks import params, relative, spread, worst
from kvz import Slot


@pytest.mark.parametrize("case", params(ALL, "pdf"))
def test_density_matches_scipy(case, record):
    xs = grid(case)
    slot = Slot(case.dtype, case.params)
    ref = case.ref.pmf(xs) if case.discrete else case.ref.pdf(xs)
    inside = ref > 0
    err = worst(relative(slot.pdf(xs[inside]), ref[inside]))
    record("values", case.family, case.id, "density", err, case.pdf_tol, "relative")
    assert err <= case.pdf_tol


@pytest.mark.parametrize("case", params(ALL, "cdf", keep=lambda c: c.cdf_tol is not None))
def test_cumulative_matches_scipy(case, record):
    xs = grid(case)
    ref_x = xs
    if case.dtype in STEPWISE:
        # Between the whole numbers the sum is flat: probe the middle of each step too.
        xs = np.concatenate([xs, xs + 0.5])
        ref_x = np.floor(xs)
    slot = Slot(case.dtype, case.params)
    err = worst(np.abs(slot.cdf(xs) - case.ref.cdf(ref_x)))
    record("values", case.family, case.id, "cumulative", err, case.cdf_tol, "absolute")
    assert err <= case.cdf_tol


@pytest.mark.parametrize("case", params(ALL, "inverse",
                                        keep=lambda c: c.inverse in ("closed", "bisect")))
def test_inverse_matches_scipy(case, record):
    slot = Slot(case.dtype, case.params)
    xs = slot.ppf(INVERSE_PROBS)
    if case.inverse == "closed":
        err = worst(relative(xs, case.ref.ppf(INVERSE_PROBS), floor=spread(case.ref)))
        metric = "relative (x)"
    else:
        err = worst(np.abs(case.ref.cdf(xs) - INVERSE_PROBS))
        metric = "probability"
    record("values", case.family, case.id, "inverse", err, case.inv_tol, metric)
    assert err <= case.inv_tol


@pytest.mark.parametrize("case", params(ALL, "inverse", keep=lambda c: c.inverse == "floor"))
def test_discrete_uniform_inverse_floors_to_scipy_quantile(case, record):
    # Away from the step edges k / N, the whole part of the library's inverse
    # is the quantile.
    slot = Slot(case.dtype, case.params)
    width = case.params["maximum"] - case.params["minimum"] + 1
    ps = np.linspace(0.013, 0.987, 41)
    ps = ps[np.abs(ps * width - np.round(ps * width)) > 1e-6]
    mismatches = int(np.sum(np.floor(slot.ppf(ps)) != case.ref.ppf(ps)))
    record("values", case.family, case.id, "inverse", mismatches, 0, "mismatched quantiles")
    assert mismatches == 0


@pytest.mark.parametrize("case", params(ALL, "inverse", keep=lambda c: c.inverse == "none"))
def test_types_without_inverse_answer_zero_inside_and_ends_outside(case):
    slot = Slot(case.dtype, case.params)
    inside = slot.ppf([0.1, 0.5, 0.9])
    ends = slot.ppf([0.0, 1.0])
    assert np.all(inside == 0.0)
    assert ends[0] == slot.stat("minimum") and ends[1] == slot.stat("maximum")


@pytest.mark.parametrize("case", params(ALL, "inverse", keep=lambda c: c.inverse == "whole"))
def test_normal_approximation_inverse_is_normal_quantile_made_whole(case, record):
    # The bisection finds where the slot's own cumulative reaches p (for type 30
    # that cumulative is evaluated half a unit higher); the root is then made whole.
    slot = Slot(case.dtype, case.params)
    ps = np.linspace(0.02, 0.98, 49)
    x = case.ref.bisection_root(ps) + 0.5
    # Skip probabilities whose quantile lies within the bisection's reach of a rounding edge.
    clear = np.abs(x - np.round(x)) > 1e-3
    mismatches = int(np.sum(slot.ppf(ps)[clear] != np.trunc(x[clear])))
    record("values", case.family, case.id, "inverse", mismatches, 0, "mismatched quantiles")
    assert mismatches == 0
