"""fit_pdf against SciPy.

For every type SciPy has: 5,000 draws with known parameters, fitted here and
by SciPy with the same parameters held fixed (the ends this library takes
from the host or from its rule, the location of the types that have none);
the log-likelihood here is at least SciPy's less 1e-6 of it, and every fitted
parameter lies within 5 % of the truth. Then the ranking: fitted with every
type of its class, each type's own family comes first by AIC or within 2 AIC
units of the first, an alias counting with its base and the nested families
(the exponential in the gamma and the Weibull, the Rayleigh in the Weibull,
the normal and the Laplace in the exponential power, ...) as one.

The library is called through ctypes directly (KVZ_COMP_LIBRARY names it).
"""
import ctypes
import json
import math
import os

import numpy as np
import pytest
from scipy import optimize, stats

HERE = os.path.dirname(os.path.abspath(__file__))
TYPES = json.load(open(os.path.join(HERE, "..", "..", "interface", "types.json"), encoding="utf-8"))["types"]
NAN = math.nan
N = 5000
FIELDS = ("mean", "lmean", "mode", "median", "stdev", "lstdev", "minimum", "maximum", "scale", "shape_a",
          "shape_b", "p")


class Inputs(ctypes.Structure):
    _fields_ = [(f, ctypes.c_double) for f in FIELDS] + [("n", ctypes.c_int)]


class Result(ctypes.Structure):
    _fields_ = [("minimum", ctypes.c_double), ("maximum", ctypes.c_double), ("n", ctypes.c_int),
                ("fixed", ctypes.c_int), ("parameters", ctypes.c_int), ("loglik", ctypes.c_double), ("aic", ctypes.c_double),
                ("bic", ctypes.c_double), ("ks", ctypes.c_double), ("ad", ctypes.c_double),
                ("chi2", ctypes.c_double), ("evaluations", ctypes.c_int), ("status", ctypes.c_int),
                ("fitted", Inputs)]


def _load():
    lib = ctypes.CDLL(os.environ.get("KVZ_COMP_LIBRARY", os.path.join(HERE, "..", "..", "build", "release",
                                                                      "libkvz_comp.so")))
    lib.fit_pdf_work_size.argtypes = [ctypes.c_int, ctypes.c_int]
    lib.fit_pdf_work_size.restype = ctypes.c_size_t
    lib.fit_pdf.argtypes = [ctypes.c_int, ctypes.c_int, ctypes.POINTER(ctypes.c_double), ctypes.c_int,
                            ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(Result)]
    lib.fit_pdf.restype = ctypes.c_int
    lib.set_pdf_dtype.argtypes = [ctypes.c_int, ctypes.c_int]
    lib.set_pdf_n.argtypes = [ctypes.c_int, ctypes.c_int]
    for name in FIELDS:
        getattr(lib, "set_pdf_" + name).argtypes = [ctypes.c_int, ctypes.c_double]
    lib.get_pdf_pdf_batch.argtypes = [ctypes.c_int, ctypes.POINTER(ctypes.c_double),
                                      ctypes.POINTER(ctypes.c_double), ctypes.c_int]
    for name in ("set_pdf_t_min", "set_pdf_t_max"):
        getattr(lib, name).argtypes = [ctypes.c_int, ctypes.c_int, ctypes.c_double]
    return lib


LIB = _load()
SLOT = 2


def fit(code, x, minimum=NAN, maximum=NAN, n=0, cut=None):
    """(code, Result) of fit_pdf on a slot uncut or cut to (t_min, t_max)."""
    x = np.ascontiguousarray(x, dtype=np.float64)
    LIB.set_pdf_dtype(SLOT, code)
    LIB.set_pdf_t_min(SLOT, cut is not None, cut[0] if cut else 0.0)
    LIB.set_pdf_t_max(SLOT, cut is not None, cut[1] if cut else 0.0)
    # Flag each end that is given (NaN: estimated).
    fixed = (0 if math.isnan(minimum) else 1) | (0 if math.isnan(maximum) else 2)
    r = Result(minimum=minimum, maximum=maximum, n=n, fixed=fixed)
    size = LIB.fit_pdf_work_size(code, len(x))
    work = ctypes.create_string_buffer(max(size, 1))
    got = LIB.fit_pdf(SLOT, code, x.ctypes.data_as(ctypes.POINTER(ctypes.c_double)), len(x), work, size,
                      ctypes.byref(r))
    return got, r


def fitted(r):
    """The fitted inputs the type reads, by name."""
    out = {f: getattr(r.fitted, f) for f in FIELDS if not math.isnan(getattr(r.fitted, f))}
    if r.fitted.n:
        out["n"] = r.fitted.n
    return out


def loglik(dist, x):
    return float(np.sum(dist.logpmf(x) if hasattr(dist.dist, "pmf") else dist.logpdf(x)))


def scipy_mle(make, x, start):
    """SciPy's maximum of sum(logpdf) over the free parameters (Nelder-Mead
    from the truth), for fits .fit cannot hold fixed in the same way (the
    discrete types, the Wald's unit mean)."""
    res = optimize.minimize(lambda p: -loglik(make(*p), x), start, method="Nelder-Mead",
                            options={"xatol": 1e-10, "fatol": 1e-10, "maxiter": 20000})
    return make(*res.x)


def logistic_scale(stdev):
    return stdev * math.sqrt(3) / math.pi


# code: (SciPy distribution of the truth, true inputs, the host's ends, the
# SciPy fit with this library's fixed parameters held: f(x, our fitted inputs)).
CASES = {
    2: (stats.uniform(1, 2), {"minimum": 1, "maximum": 3}, {},
        lambda x, f: stats.uniform(f["minimum"], f["maximum"] - f["minimum"])),
    3: (stats.triang(0.25, 0, 4), {"minimum": 0, "mode": 1, "maximum": 4}, {"minimum": 0, "maximum": 4},
        lambda x, f: stats.triang(*stats.triang.fit(x, floc=0, fscale=4))),
    4: (stats.norm(1, 2), {"mean": 1, "stdev": 2}, {}, lambda x, f: stats.norm(*stats.norm.fit(x))),
    6: (stats.poisson(3), {"mean": 3}, {}, lambda x, f: scipy_mle(stats.poisson, x, [3.0])),
    7: (stats.geom(0.3, loc=-1), {"p": 0.3}, {}, lambda x, f: scipy_mle(lambda p: stats.geom(p, loc=-1), x, [0.3])),
    8: (stats.expon(scale=2), {"mean": 2}, {}, lambda x, f: stats.expon(*stats.expon.fit(x, floc=0))),
    9: (stats.binom(10, 0.3), {"n": 10, "p": 0.3}, {"n": 10},
        lambda x, f: scipy_mle(lambda p: stats.binom(10, p), x, [0.3])),
    10: (stats.pareto(3, scale=1), {"mode": 1, "shape_a": 3}, {},
         lambda x, f: stats.pareto(*stats.pareto.fit(x, floc=0))),
    11: (stats.beta(2, 5), {"minimum": 0, "maximum": 1, "shape_a": 2, "shape_b": 5}, {"minimum": 0, "maximum": 1},
         lambda x, f: stats.beta(*stats.beta.fit(x, floc=0, fscale=1))),
    12: (stats.gamma(3, scale=2), {"scale": 2, "shape_a": 3}, {},
         lambda x, f: stats.gamma(*stats.gamma.fit(x, floc=0))),
    13: (stats.cauchy(1, 2), {"mean": 1, "scale": 2}, {}, lambda x, f: stats.cauchy(*stats.cauchy.fit(x))),
    14: (stats.gennorm(2 / 1.5, 0, 2 ** 0.75), {"mean": 0, "scale": 1, "shape_a": 1.5}, {},
         lambda x, f: stats.gennorm(*stats.gennorm.fit(x))),
    15: (stats.gumbel_r(1, 2), {"mode": 1, "scale": 2}, {}, lambda x, f: stats.gumbel_r(*stats.gumbel_r.fit(x))),
    16: (stats.weibull_min(1.5, scale=2), {"minimum": 0, "scale": 2, "shape_a": 1.5}, {"minimum": 0},
         lambda x, f: stats.weibull_min(*stats.weibull_min.fit(x, floc=0))),
    18: (stats.invgauss(0.5, scale=2), {"scale": 2}, {},
         lambda x, f: scipy_mle(lambda lam: stats.invgauss(1 / lam, scale=lam), x, [2.0])),
    19: (stats.laplace(1, 2), {"mean": 1, "scale": 2}, {}, lambda x, f: stats.laplace(*stats.laplace.fit(x))),
    20: (stats.logser(0.6), {"shape_a": 0.6}, {}, lambda x, f: scipy_mle(stats.logser, x, [0.6])),
    21: (stats.logistic(1, logistic_scale(2)), {"mean": 1, "stdev": 2}, {},
         lambda x, f: stats.logistic(*stats.logistic.fit(x))),
    22: (stats.lognorm(math.sqrt(math.log(1.25)), scale=2 / math.sqrt(1.25)), {"mean": 2, "stdev": 1}, {},
         lambda x, f: stats.lognorm(*stats.lognorm.fit(x, floc=0))),
    23: (stats.lognorm(0.8), {"lmean": 0, "lstdev": 0.8}, {},
         lambda x, f: stats.lognorm(*stats.lognorm.fit(x, floc=0))),
    24: (stats.gamma(3, scale=2), {"scale": 2, "shape_a": 3}, {},
         lambda x, f: stats.gamma(*stats.gamma.fit(x, f["shape_a"], fa=f["shape_a"], floc=0))),
    25: (stats.chi2(4), {"shape_a": 4}, {}, lambda x, f: stats.chi2(*stats.chi2.fit(x, floc=0, fscale=1))),
    26: (stats.powerlaw(2), {"minimum": 0, "maximum": 1, "shape_a": 2}, {"minimum": 0, "maximum": 1},
         lambda x, f: stats.powerlaw(*stats.powerlaw.fit(x, floc=0, fscale=1))),
    27: (stats.rayleigh(scale=2), {"scale": 2}, {}, lambda x, f: stats.rayleigh(*stats.rayleigh.fit(x, floc=0))),
    28: (stats.randint(2, 10), {"minimum": 2, "maximum": 9}, {},
         lambda x, f: stats.randint(int(f["minimum"]), int(f["maximum"]) + 1)),
    29: (stats.invgauss(0.5, scale=2), {"mean": 1, "scale": 2}, {},
         lambda x, f: stats.invgauss(*stats.invgauss.fit(x, floc=0))),
    34: (stats.lognorm(0.5, scale=2), {"median": 2, "lstdev": 0.5}, {},
         lambda x, f: stats.lognorm(*stats.lognorm.fit(x, floc=0))),
    35: (stats.t(3), {"shape_a": 3}, {}, lambda x, f: stats.t(*stats.t.fit(x, floc=0, fscale=1))),
    36: (stats.f(3, 14), {"shape_a": 3, "shape_b": 14}, {},
         lambda x, f: stats.f(*stats.f.fit(x, floc=0, fscale=1))),
}


def draws(code):
    return CASES[code][0].rvs(N, random_state=np.random.default_rng(1000 + code))


def host_args(code):
    ends = CASES[code][2]
    return {"minimum": ends.get("minimum", NAN), "maximum": ends.get("maximum", NAN), "n": ends.get("n", 0)}


@pytest.mark.parametrize("code", sorted(CASES))
def test_fit_reaches_scipys_likelihood_and_the_truth(code):
    truth, inputs, _, scipy_fit = CASES[code]
    x = draws(code)
    got, r = fit(code, x, **host_args(code))
    assert got == 0
    ours = fitted(r)
    assert set(ours) == set(inputs)
    theirs = loglik(scipy_fit(x, ours), x)
    assert r.loglik >= theirs - 1e-6 * abs(theirs), (r.loglik, theirs)
    spread = float(np.std(x))
    for name, want in inputs.items():
        # A location at 0 is held to 5 % of the data's spread instead.
        assert abs(ours[name] - want) <= 0.05 * (abs(want) if want else spread), (name, ours[name], want)


def library_loglik(code, inputs, cut, x, slot=3):
    """Sum of ln get_pdf_pdf over x for the type with these inputs and cut."""
    LIB.set_pdf_dtype(slot, code)
    for name, value in inputs.items():
        if name == "n":
            LIB.set_pdf_n(slot, int(value))
        else:
            getattr(LIB, "set_pdf_" + name)(slot, float(value))
    LIB.set_pdf_t_min(slot, 1, cut[0])
    LIB.set_pdf_t_max(slot, 1, cut[1])
    LIB.dinitialise(slot)
    out = np.zeros_like(x)
    LIB.get_pdf_pdf_batch(slot, x.ctypes.data_as(ctypes.POINTER(ctypes.c_double)),
                          out.ctypes.data_as(ctypes.POINTER(ctypes.c_double)), len(x))
    return float(np.sum(np.log(out)))


@pytest.mark.parametrize("code", sorted(set(CASES) - {36}))
def test_truncated_fit_reaches_the_truths_likelihood(code):
    """Values between the 10 % and 90 % quantiles, fitted with that cut (the
    true ends given): the fit's log-likelihood, under the library's own
    truncated density, is at least the truth's. (The F type takes no cut.)"""
    truth, inputs, _, _ = CASES[code]
    discrete = hasattr(truth.dist, "pmf")
    lo, hi = float(truth.ppf(0.1)), float(truth.ppf(0.9))
    if discrete:
        lo, hi = math.floor(lo), math.ceil(hi)
    x = truth.rvs(20000, random_state=np.random.default_rng(5))
    x = np.ascontiguousarray(x[(x >= lo) & (x <= hi)][:3000], dtype=np.float64)
    ends = {"minimum": inputs.get("mode" if code == 10 else "minimum", NAN), "maximum": inputs.get("maximum", NAN),
            "n": inputs.get("n", 0)}
    got, r = fit(code, x, cut=(lo, hi), **ends)
    assert got == 0
    want = library_loglik(code, inputs, (lo, hi), x)
    assert r.loglik >= want - 1e-9 * abs(want), (r.loglik, want)
    assert r.loglik == pytest.approx(library_loglik(code, fitted(r), (lo, hi), x), rel=1e-12)


# The types that count as a type's own family in the ranking: its aliases
# and base, the types it nests within and the narrower forms within it (the
# Erlang and chi-square are the gamma at a whole shape and at scale 2, and
# meet there).
FAMILY = {
    8: {12, 16, 24},        # exponential: gamma, Weibull, Erlang at shape 1
    12: {8, 24, 25},
    24: {12, 25},
    25: {12, 24},
    16: {8, 27},            # Weibull: exponential at shape 1, Rayleigh at shape 2
    27: {16},
    4: {14},                # normal and Laplace: exponential power at shape 1 and 2
    19: {14},
    14: {4, 19},
    2: {11, 26},            # uniform and power function: beta at b = 1
    11: {2, 26},
    26: {11},
    29: {18},               # Wald: inverse Gaussian of mean 1
    18: {29},
    22: {23, 34},           # the lognormal and its aliases
    23: {22, 34},
    34: {22, 23},
}


def family_of(code):
    return {code} | FAMILY.get(code, set())


def kind_of(code):
    return next(t["class"] for t in TYPES if t["code"] == code)


FITTED = [t["code"] for t in TYPES if LIB.fit_pdf_work_size(t["code"], 10) > 0]


@pytest.mark.parametrize("code", sorted(CASES))
def test_own_family_ranks_first(code):
    x = draws(code)
    aic = {}
    for other in FITTED:
        if kind_of(other) != kind_of(code):
            continue
        got, r = fit(other, x, **(host_args(code) if other == code else {}))
        if got == 0:
            aic[other] = r.aic
    best = min(aic.values())
    own = min(aic[c] for c in family_of(code) if c in aic)
    assert own <= best + 2, sorted(aic.items(), key=lambda kv: kv[1])[:4]


def test_the_catalogues_fit_column_is_the_librarys():
    """Where interface/types.json names the type each is fitted as, that is
    the type fit_pdf fits it as: it is fitted at all, and an alias gives its
    base's fit."""
    by_name = {t["name"]: t for t in TYPES}
    x = stats.lognorm(0.5).rvs(200, random_state=np.random.default_rng(7))
    for t in TYPES:
        if "fit" not in t:
            continue
        assert LIB.fit_pdf_work_size(t["code"], 10) > 0, t["name"]
        base = by_name[t["fit"]]
        if base is not t and t["class"] == "continuous":
            assert fit(t["code"], x)[1].loglik == pytest.approx(fit(base["code"], x)[1].loglik, rel=1e-12)
    column = any("fit" in t for t in TYPES)
    for t in TYPES:
        if column and "fit" not in t:
            assert LIB.fit_pdf_work_size(t["code"], 10) == 0, t["name"]
