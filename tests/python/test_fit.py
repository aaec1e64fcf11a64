"""kvz_comp.fit: the ranking, what each fit carries, the Distribution it
makes, truncated fits and the refusals."""

import math

import numpy as np
import pytest
from scipy import stats

import kvz_comp
from kvz_comp import _catalogue


def draws(type_, n=2000, seed=3, t_min=None, t_max=None, **parameters):
    kvz_comp.set_rng("plain", seed=seed)
    with kvz_comp.Distribution(type_, t_min=t_min, t_max=t_max, **parameters) as d:
        return d.rvs(n)


@pytest.fixture(scope="module")
def gamma_data():
    return draws("gamma", scale=2, shape_a=3)


@pytest.fixture(scope="module")
def poisson_data():
    return draws("poisson", mean=4)


def ks_distance(data, d):
    """sup |F_n(x) - F(x)|: SciPy's for a continuous d; for a discrete one both
    steps move only at whole numbers, so the largest gap at one of them."""
    if not d.is_discrete:
        return stats.kstest(data, d.cdf).statistic
    k = np.arange(data.min() - 1, data.max() + 1)
    ecdf = np.searchsorted(np.sort(data), k, side="right") / len(data)
    return np.max(np.abs(ecdf - d.cdf(k)))


def fitted_parameter_count(f, n):
    """k from AIC = 2k - 2 loglik, checked against BIC = k ln n - 2 loglik."""
    k = (f.aic + 2 * f.loglik) / 2
    assert f.bic == pytest.approx(k * math.log(n) - 2 * f.loglik, rel=1e-12)
    return k


def test_gamma_draws_rank_the_gamma_first_and_each_fit_is_complete(gamma_data):
    fits = kvz_comp.fit(gamma_data)
    assert fits.criterion == "aic"
    assert fits[0].aic <= fits[-1].aic
    assert [f.aic for f in fits] == sorted(f.aic for f in fits)
    gamma = next(f for f in fits if f.type == "gamma")
    # The gamma nests the exponential; the Weibull is close on such data.
    assert gamma.aic <= fits[0].aic + 2
    assert gamma.parameters["scale"] == pytest.approx(2, rel=0.1)
    assert gamma.parameters["shape_a"] == pytest.approx(3, rel=0.1)
    for f in fits:
        info = kvz_comp.find_type(f.type)
        assert (f.code, not info.discrete) == (info.code, True)
        assert list(f.parameters) == list(info.inputs), f.type
        assert f.ad is not None and f.chi2 is None
        assert 0 < f.ks < 1
        k = fitted_parameter_count(f, len(gamma_data))
        assert k == round(k) and 1 <= k <= len(info.inputs), f.type
    # Continuous data go to the continuous types, each type that renames another not on its own.
    names = {f.type for f in fits} | set(fits.refused)
    assert not names & {"lognormal-mean", "lognormal-median"}
    assert {"gamma", "normal", "lognormal", "weibull"} <= names


@pytest.mark.parametrize("criterion", ["aic", "bic", "ks", "ad"])
def test_each_criterion_ranks_lowest_first(gamma_data, criterion):
    fits = kvz_comp.fit(gamma_data, types=["gamma", "normal", "exponential", "weibull", "lognormal"],
                        criterion=criterion)
    values = [getattr(f, criterion) for f in fits]
    assert values == sorted(values) and len(fits) == 5


@pytest.mark.parametrize("data_name, renames", [("gamma_data", ["lognormal-mean", "lognormal-median"]),
                                                ("poisson_data", [])])
def test_the_distribution_of_every_fit_gives_back_its_likelihood_and_ks_statistic(request, data_name, renames):
    data = request.getfixturevalue(data_name)
    fits = kvz_comp.fit(data)
    fits += kvz_comp.fit(data, types=renames) if renames else []
    for f in fits:
        with f.distribution() as d:
            assert (d.type, d.parameters) == (f.type, f.parameters)
            assert np.sum(d.logpdf(data)) == pytest.approx(f.loglik, rel=1e-9), f.type
            if _catalogue.offered(kvz_comp.find_type(f.type).cdf, False):
                # The library may integrate where the fit has a closed form: 1e-6.
                assert ks_distance(data, d) == pytest.approx(f.ks, abs=1e-6), f.type


def test_whole_numbers_go_to_the_discrete_types(poisson_data):
    fits = kvz_comp.fit(poisson_data)
    assert all(kvz_comp.find_type(f.type).discrete for f in fits)
    assert all(f.chi2 is not None and f.ad is None for f in fits)
    poisson = next(f for f in fits if f.type == "poisson")
    assert poisson.aic <= fits[0].aic + 2
    assert poisson.parameters["mean"] == pytest.approx(np.mean(poisson_data), rel=1e-9)
    with poisson.distribution() as d:
        assert np.sum(d.logpmf(poisson_data)) == pytest.approx(poisson.loglik, rel=1e-9)
    # No Anderson-Darling statistic for a discrete fit: such fits rank by AIC.
    by_ad = kvz_comp.fit(poisson_data, criterion="ad")
    assert [f.type for f in by_ad] == [f.type for f in fits]


def test_the_binomial_takes_its_trials_from_the_data_or_from_n(poisson_data):
    default = kvz_comp.fit(poisson_data, types="binomial")[0]
    assert default.parameters["n"] == max(poisson_data)
    given = kvz_comp.fit(poisson_data, types="binomial", n=40)[0]
    assert given.parameters["n"] == 40
    assert given.parameters["p"] == pytest.approx(np.mean(poisson_data) / 40, rel=1e-6)


def test_given_ends_are_kept():
    data = draws("uniform", minimum=2, maximum=7, n=500)
    estimated = kvz_comp.fit(data, types="uniform")[0].parameters
    assert data.min() - 0.1 <= estimated["minimum"] <= data.min()
    assert data.max() <= estimated["maximum"] <= data.max() + 0.1
    kept = kvz_comp.fit(data, types="uniform", minimum=0, maximum=10)[0].parameters
    assert kept == {"minimum": 0, "maximum": 10}


@pytest.mark.parametrize("type_, parameters, t_min, t_max", [
    ("normal", {"mean": 1, "stdev": 2}, 0, 4),
    ("gamma", {"scale": 2, "shape_a": 3}, 3, None),
    ("poisson", {"mean": 6}, None, 5),
])
def test_a_truncated_fit_recovers_what_the_untruncated_fit_misses(type_, parameters, t_min, t_max):
    data = draws(type_, n=5000, seed=8, t_min=t_min, t_max=t_max, **parameters)
    cut = kvz_comp.fit(data, types=type_, t_min=t_min, t_max=t_max)[0]
    plain = kvz_comp.fit(data, types=type_)[0]
    for name, value in parameters.items():
        assert cut.parameters[name] == pytest.approx(value, rel=0.05), name
    assert any(abs(plain.parameters[k] / v - 1) > 0.05 for k, v in parameters.items())
    assert cut.loglik > plain.loglik
    with cut.distribution() as d:
        assert (d.t_min, d.t_max) == (t_min, t_max)
        assert np.sum(d.logpdf(data)) == pytest.approx(cut.loglik, rel=1e-9)


def test_a_refused_type_is_left_out_with_its_reason():
    data = draws("normal", mean=0, stdev=1, n=300)
    fits = kvz_comp.fit(data, types=["gamma", "normal", "normal"])
    assert [f.type for f in fits] == ["normal"]
    assert fits.refused == {"gamma": _catalogue.FIT_REFUSALS[-6]}


REFUSALS = [
    # The data.
    ({"data": []}, "^" + _catalogue.FIT_REFUSALS[-4] + "$"),
    ({"data": [2.5]}, "^" + _catalogue.FIT_REFUSALS[-4] + "$"),
    ({"data": [1.5, math.nan, 2.5, 3.5, 4.5, 5.5]}, "^a value is NaN or infinite$"),
    ({"data": [1.5, 2.5, 3.5, 4.5, 5.5, -math.inf]}, "^a value is NaN or infinite$"),
    ({"data": ["1", "two"]}, "^the data must be numbers$"),
    ({"data": [[1.0, 2.0], [3.0, 4.0]]}, "one row of numbers"),
    # A type named alone is refused with its reason.
    ({"data": [-1.5, 2.5, 3.5], "types": "gamma"}, "^gamma: a value lies outside the type's support"),
    ({"data": [1.5, 2.5, 3.5], "types": "hypergeometric"}, "^hypergeometric: this type is not fitted"),
    ({"data": [2.0, 2.0, 2.0, 2.0], "types": "normal"}, "^normal: the fit did not converge"),
    ({"data": [2.0, 2.0, 2.0, 2.0], "types": "gamma"}, "^gamma: the fit did not converge"),
    ({"data": [1, 2, 3], "types": "poisson", "t_min": 2}, "^poisson: a value lies outside"),
    ({"data": [1.5, 2.5, 3.5, 4.5], "types": "f", "t_min": 1},
     "^f: the F type has no cumulative distribution to measure a cut with$"),
    # The arguments.
    ({"data": [1.5, 2.5, 3.5], "types": "nosuch"}, "unknown distribution type 'nosuch'"),
    ({"data": [1.5, 2.5, 3.5], "types": []}, "no types to fit"),
    ({"data": [1.5, 2.5, 3.5], "criterion": "mse"}, "criterion must be one of aic, bic, ks, ad"),
    ({"data": [1.5, 2.5, 3.5], "t_min": 3, "t_max": 1}, "t_min must be below t_max"),
    ({"data": [1.5, 2.5, 3.5], "minimum": 3, "maximum": 3}, "minimum must be below maximum"),
    ({"data": [1.5, 2.5, 3.5], "minimum": math.nan}, "minimum must be finite"),
    ({"data": [1, 2, 3], "types": "binomial", "n": 0}, "n must be at least 1"),
]


@pytest.mark.parametrize("arguments, message", REFUSALS)
def test_bad_input_raises_value_error_with_one_line(arguments, message):
    with pytest.raises(ValueError, match=message) as e:
        kvz_comp.fit(**arguments)
    assert "\n" not in str(e.value)


def test_types_refused_for_different_reasons_are_each_named_once():
    with pytest.raises(ValueError) as e:
        kvz_comp.fit([-1.5, 2.5, 3.5, 3.5], types=["gamma", "hypergeometric", "exponential"])
    assert str(e.value) == (f"no type could be fitted: {_catalogue.FIT_REFUSALS[-6]} (gamma, exponential); "
                            f"{_catalogue.FIT_REFUSALS[-3]} (hypergeometric)")


def test_a_fit_takes_a_slot_only_while_it_runs(gamma_data):
    held = [kvz_comp.Distribution("normal", mean=0, stdev=1) for _ in range(kvz_comp.SLOT_COUNT - 1)]
    try:
        assert kvz_comp.fit(gamma_data, types="gamma")[0].type == "gamma"
        assert kvz_comp.free_slots() == 1
    finally:
        for d in held:
            d.close()
