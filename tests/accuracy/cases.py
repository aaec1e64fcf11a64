"""The parameter grid of the accuracy suite: one row per (type, parameters),
each with its SciPy counterpart and the tolerances its algorithms promise.

Tolerances, by the algorithm behind a value:
  ELEMENTARY  closed forms in exp, log, pow, atan, tan: a few roundings.
  LANCZOS     anything through the 6-term log-gamma (relative error ~2e-10 per
              Gamma value, more when the log is large and then exponentiated).
  INCOMPLETE  the incomplete gamma and beta functions stop at a relative change
              of 3e-7 (100 iterations at most): an absolute error on P.
  BISECT      the numerical inverse stops within 1e-6 of p (in probability).
  INTEGRATE   the exponential power's cumulative integrates its density by
              trapezoids until two levels agree to 1e-6 (relative).
Cumulative errors are absolute (a probability); density errors relative;
inverse errors are in probability, |F_scipy(x_lib) - p|, except for closed
forms, where they are relative in x.
"""
from dataclasses import dataclass, field
import math

import numpy as np
from scipy import stats as st

ELEMENTARY = 1e-12
LANCZOS = 1e-8
INCOMPLETE = 1e-6
BISECT = 1e-6
INTEGRATE = 2e-6
# Euler's constant enters the Gumbel mean as 0.57722, and the Gumbel and
# Rayleigh skewness and kurtosis are stored to six decimals.
SIX_DIGITS = 1e-6
EULER_ROUNDING = 0.57722 - 0.5772156649015329 + 1e-12


@dataclass
class Case:
    family: str          # the type's name in the report
    dtype: int
    params: dict
    ref: object          # frozen SciPy distribution (or an object with the same methods)
    discrete: bool = False
    pdf_tol: float = ELEMENTARY
    cdf_tol: float = ELEMENTARY
    # closed | bisect | none | floor (discrete uniform: not made whole) |
    # whole (normal approximations: the normal quantile made whole)
    inverse: str = "closed"
    inv_tol: float = ELEMENTARY
    stat_tol: dict = field(default_factory=dict)  # per statistic, relative (absolute near 0)
    mode: float = None   # closed-form mode, continuous types
    stats: bool = True   # compare mean, variance, skewness, kurtosis, median, mode
    # Statistics the library reports by convention where SciPy has none.
    reported: dict = field(default_factory=dict)
    # Statistics that exist but that the library does not report (flag clear).
    unreported: set = field(default_factory=set)
    xfail: dict = field(default_factory=dict)  # operation -> reason
    label: str = ""

    @property
    def id(self):
        return self.label or f"{self.family}-" + "-".join(f"{k}{v:g}" for k, v in self.params.items())


def tol(base, **over):
    d = {"mean": base, "variance": base, "stdev": base, "skewness": base, "kurtosis": base}
    d.update(over)
    return d


def _mode_gamma(a, s):
    return 0.0 if a < 1 else (a - 1) * s


def _mode_weibull(loc, s, a):
    return loc + s * ((a - 1) / a) ** (1 / a) if a > 1 else loc


def _mode_beta(a, b, lo, hi):
    if (a == 1 and b == 1) or (a < 1 and b < 1):
        return None
    if a < 1 or (a == 1 and b > 1):
        return lo
    if b < 1 or (b == 1 and a > 1):
        return hi
    return lo + (hi - lo) * (a - 1) / (a + b - 2)


def _mode_invgauss(mu, lam):
    r = 1.5 * mu / lam
    return mu * (math.sqrt(1 + r * r) - r)


class DiscretisedNormal:
    """The normal approximations (types 30 and 31): mass between two normal points."""

    def __init__(self, mean, sd, shift, last=np.inf):
        self.n = st.norm(mean, sd)
        self.shift = shift  # 0.5: centred on x (type 30); 0: the interval (x - 1, x] (type 31)
        self.last = last  # n for type 30: no mass beyond it

    def pmf(self, x):
        x = np.asarray(x, dtype=float)
        inside = (x >= 0) & (x <= self.last)
        return np.where(inside, self.n.cdf(x + self.shift) - self.n.cdf(x + self.shift - 1), 0.0)

    def cdf(self, x):
        x = np.asarray(x, dtype=float)
        f = self.n.cdf(np.floor(x) + self.shift)
        return np.where(x < 0, 0.0, np.where(x > self.last, 1.0, f))

    def ppf(self, p):
        return np.floor(self.n.ppf(p))

    def bisection_root(self, p):
        """Where the slot's own cumulative reaches p: the normal quantile less the shift."""
        return self.n.ppf(p) - self.shift

    def support(self):
        return (0, self.last)


# Known limits of the algorithms, named where a case runs into them.
CDF_TABLE_STEPS = ("draws interpolate a 1001-point cumulative table with equal steps in x from 0 "
                   "to the median; with F(x) ~ x^a for a shape this small the first step already "
                   "holds a third of the mass and the cubic through it is far off")
ROUNDED_DRAWS = ("draws of type 31 are the normal value rounded (x + 0.5 truncated), centred on "
                 "x, while its mass at x is the normal mass of (x - 1, x]")
TRAPEZOID_LEVELS = ("the exponential power cumulative integrates from the centre with at most 10 "
                    "halvings (1024 trapezoids); over a range this wide in scale units the "
                    "trapezoid error stays above the 1e-6 target")


def continuous_cases():
    c = []
    # normal (4)
    for m, s in [(0, 1), (10, 2), (-1e3, 1e-3), (1e6, 1e3)]:
        c.append(Case("normal", 4, dict(mean=m, stdev=s), st.norm(m, s), cdf_tol=INCOMPLETE,
                      inverse="bisect", inv_tol=BISECT + INCOMPLETE, mode=m))
    # lognormal by the log's moments (23), by mean and stdev (22), by median (34)
    for mu, sg in [(0, 1), (2, 0.25), (-3, 2.5)]:
        w = math.exp(sg * sg)
        c.append(Case("lognormal", 23, dict(lmean=mu, lstdev=sg), st.lognorm(sg, scale=math.exp(mu)),
                      cdf_tol=INCOMPLETE, inverse="bisect", inv_tol=BISECT + INCOMPLETE,
                      stat_tol=tol(1e-11), mode=math.exp(mu) / w))
    for m, s in [(1, 0.5), (100, 300)]:
        sg = math.sqrt(math.log((s / m) ** 2 + 1))
        mu = math.log(m) - 0.5 * sg * sg
        c.append(Case("lognormal (22, mean and stdev)", 22, dict(mean=m, stdev=s),
                      st.lognorm(sg, scale=math.exp(mu)), cdf_tol=INCOMPLETE, inverse="bisect",
                      inv_tol=BISECT + INCOMPLETE, stat_tol=tol(1e-11),
                      mode=math.exp(mu - sg * sg)))
    c.append(Case("lognormal (34, median)", 34, dict(median=2.0, lstdev=0.5),
                  st.lognorm(0.5, scale=2.0), cdf_tol=INCOMPLETE, inverse="bisect",
                  inv_tol=BISECT + INCOMPLETE, stat_tol=tol(1e-11), mode=2.0 / math.exp(0.25)))
    # exponential (8)
    for m in [1.0, 2.0, 1e-3, 1e4]:
        c.append(Case("exponential", 8, dict(mean=m), st.expon(scale=m), mode=0.0))
    # gamma (12), Erlang (24), chi-square (25)
    for a, s in [(3, 2), (0.5, 1), (0.05, 1), (50, 0.1), (500, 1), (5000, 1)]:
        case = Case("gamma", 12, dict(scale=s, shape_a=a), st.gamma(a, scale=s),
                    pdf_tol=LANCZOS, cdf_tol=INCOMPLETE, inverse="bisect",
                    inv_tol=BISECT + INCOMPLETE, mode=_mode_gamma(a, s))
        if a < 0.1:
            case.xfail = {"variates": CDF_TABLE_STEPS}
        c.append(case)
    c.append(Case("Erlang", 24, dict(scale=1.5, shape_a=4), st.gamma(4, scale=1.5),
                  pdf_tol=LANCZOS, cdf_tol=INCOMPLETE, inverse="bisect",
                  inv_tol=BISECT + INCOMPLETE, mode=4.5))
    for k in [1, 4, 100]:
        c.append(Case("chi-square", 25, dict(shape_a=k), st.chi2(k), pdf_tol=LANCZOS,
                      cdf_tol=INCOMPLETE, inverse="bisect", inv_tol=BISECT + INCOMPLETE,
                      mode=max(k - 2.0, 0.0)))
    # beta on an interval (11)
    for a, b, lo, hi in [(2, 3, 0, 1), (0.5, 0.5, -1, 3), (0.5, 4, 0, 1), (5, 0.7, 10, 20),
                         (30, 60, 0, 1), (2000, 3000, 0, 1)]:
        # On [10, 20] the far-tail abscissa next to the upper end carries the rounding
        # of x itself into maximum - x (2e-16 * 20 / (maximum - x), relative).
        case = Case("beta", 11, dict(minimum=lo, maximum=hi, shape_a=a, shape_b=b),
                    st.beta(a, b, loc=lo, scale=hi - lo), pdf_tol=LANCZOS if lo == 0 else 1e-7,
                    cdf_tol=INCOMPLETE, inverse="bisect", inv_tol=BISECT + INCOMPLETE,
                    stat_tol=tol(1e-11), mode=_mode_beta(a, b, lo, hi))
        c.append(case)
    # uniform (2), triangular (3)
    for lo, hi in [(2, 8), (-1e6, 1e6)]:
        c.append(Case("uniform", 2, dict(minimum=lo, maximum=hi), st.uniform(lo, hi - lo)))
    for lo, md, hi in [(0, 2, 5), (0, 0, 1), (-1, 1, 1)]:
        c.append(Case("triangular", 3, dict(minimum=lo, mode=md, maximum=hi),
                      st.triang((md - lo) / (hi - lo), loc=lo, scale=hi - lo), mode=md,
                      stat_tol=tol(1e-11)))
    # Cauchy (13): the library reports the location as mean and median, skewness 0.
    for m, s in [(0, 1), (5, 0.1)]:
        c.append(Case("Cauchy", 13, dict(mean=m, scale=s), st.cauchy(m, s), mode=m,
                      reported={"mean": m, "skewness": 0.0}))
    # Laplace (19), logistic (21), Gumbel (15)
    for m, s in [(1, 2), (-3, 0.01)]:
        c.append(Case("Laplace", 19, dict(mean=m, scale=s), st.laplace(m, s), mode=m))
    for m, sd in [(0, 1), (10, 5)]:
        c.append(Case("logistic", 21, dict(mean=m, stdev=sd),
                      st.logistic(m, sd * math.sqrt(3) / math.pi), mode=m))
    for md, s in [(1, 2), (-5, 0.5)]:
        # The mean takes Euler's constant as 0.57722: 4.4e-6 * scale off.
        mean = md + 0.5772156649015329 * s
        c.append(Case("Gumbel", 15, dict(mode=md, scale=s), st.gumbel_r(md, s), mode=md,
                      stat_tol=tol(SIX_DIGITS, mean=EULER_ROUNDING * s / abs(mean))))
    # Weibull with location (16)
    for loc, s, a in [(1, 1.5, 2), (0, 1, 0.5), (-2, 3, 5), (0, 1, 1)]:
        c.append(Case("Weibull", 16, dict(minimum=loc, scale=s, shape_a=a),
                      st.weibull_min(a, loc=loc, scale=s), stat_tol=tol(LANCZOS),
                      mode=_mode_weibull(loc, s, a), unreported={"kurtosis"}))
    # Pareto (10)
    for md, a in [(1, 3), (2, 0.8), (1, 6), (0.5, 20)]:
        c.append(Case("Pareto", 10, dict(mode=md, shape_a=a), st.pareto(a, scale=md), mode=md,
                      stat_tol=tol(1e-11)))
    # power function (26)
    for lo, hi, a in [(0, 1, 2), (0, 1, 0.5), (2, 5, 11)]:
        c.append(Case("power function", 26, dict(minimum=lo, maximum=hi, shape_a=a),
                      st.powerlaw(a, loc=lo, scale=hi - lo), stat_tol=tol(1e-11),
                      mode=hi if a > 1 else lo))
    # Rayleigh (27)
    for s in [1.0, 1e-3, 50.0]:
        c.append(Case("Rayleigh", 27, dict(scale=s), st.rayleigh(scale=s), mode=s,
                      stat_tol=tol(1e-12, skewness=SIX_DIGITS, kurtosis=SIX_DIGITS)))
    # inverse Gaussian (29) and Wald (18): SciPy's invgauss(mu / lambda, scale=lambda)
    for mu, lam in [(1, 3), (2, 0.5), (10, 100)]:
        c.append(Case("inverse Gaussian", 29, dict(mean=mu, scale=lam),
                      st.invgauss(mu / lam, scale=lam), cdf_tol=INCOMPLETE, inverse="bisect",
                      inv_tol=BISECT + INCOMPLETE, mode=_mode_invgauss(mu, lam)))
    c.append(Case("Wald", 18, dict(scale=2.0), st.invgauss(0.5, scale=2.0), cdf_tol=INCOMPLETE,
                  inverse="bisect", inv_tol=BISECT + INCOMPLETE, mode=_mode_invgauss(1, 2)))
    # Student t (35): mean, median and mode 0 and skewness 0 are reported for every df.
    for df in [5, 1, 2.5, 30, 1000]:
        c.append(Case("Student t", 35, dict(shape_a=df), st.t(df), pdf_tol=LANCZOS,
                      cdf_tol=INCOMPLETE, inverse="bisect", inv_tol=BISECT + INCOMPLETE,
                      mode=0.0, reported={"mean": 0.0, "skewness": 0.0}))
    # F (36): a density and nothing else.
    for d1, d2 in [(4, 6), (1, 1), (30, 50)]:
        c.append(Case("F", 36, dict(shape_a=d1, shape_b=d2), st.f(d1, d2), pdf_tol=LANCZOS,
                      cdf_tol=None, inverse="none", stats=False))
    # exponential power (14) as SciPy's gennorm: beta = 2 / a, scale = s * 2^(a / 2).
    for m, s, a in [(0, 1, 1), (0, 1, 0.5), (2, 3, 2), (0, 1, 1.8)]:
        c.append(Case("exponential power", 14, dict(mean=m, scale=s, shape_a=a),
                      st.gennorm(2 / a, loc=m, scale=s * 2 ** (a / 2)), pdf_tol=LANCZOS,
                      cdf_tol=INTEGRATE, inverse="bisect", inv_tol=BISECT + INTEGRATE,
                      stat_tol=tol(LANCZOS), mode=m,
                      xfail={"inverse": TRAPEZOID_LEVELS} if a >= 2 else {}))
    return c


def discrete_cases():
    c = []
    # Poisson (6): the mass needs mean^x / x!, exact products up to 32.
    for m in [3.5, 0.1, 30, 100, 400]:
        c.append(Case("Poisson", 6, dict(mean=m), st.poisson(m), discrete=True, pdf_tol=LANCZOS,
                      cdf_tol=1e-9, inverse="none"))
    # geometric (7): SciPy counts trials, the library failures.
    for p in [0.3, 0.9, 0.01]:
        c.append(Case("geometric", 7, dict(p=p), st.geom(p, loc=-1), discrete=True,
                      cdf_tol=1e-11, inverse="none"))
    # binomial (9)
    for n, p in [(10, 0.3), (1, 0.5), (150, 0.02), (160, 0.5), (1000, 0.01)]:
        c.append(Case("binomial", 9, dict(n=n, p=p), st.binom(n, p), discrete=True,
                      pdf_tol=LANCZOS, cdf_tol=1e-9, inverse="none"))
    # hypergeometric (17): population N, successes K, sample n.
    for N, K, n in [(50, 20, 10), (10, 8, 5), (150, 60, 40), (1000, 300, 50)]:
        c.append(Case("hypergeometric", 17, dict(pop=N, popsuc=K, sam=n), st.hypergeom(N, K, n),
                      discrete=True, pdf_tol=LANCZOS, cdf_tol=1e-9, inverse="none",
                      stat_tol=tol(1e-11)))
    # logarithmic series (20)
    for th in [0.6, 0.05, 0.99]:
        c.append(Case("logarithmic series", 20, dict(shape_a=th), st.logser(th), discrete=True,
                      cdf_tol=1e-11, inverse="none", stat_tol=tol(1e-10)))
    # discrete uniform (28): the inverse is minimum + p (max - min + 1), not made whole.
    for lo, hi in [(1, 6), (-3, 10)]:
        c.append(Case("discrete uniform", 28, dict(minimum=lo, maximum=hi),
                      st.randint(lo, hi + 1), discrete=True, inverse="floor"))
    # normal approximations to the binomial (30) and the Poisson (31)
    for n, p in [(20, 0.5), (100, 0.1)]:
        m, sd = n * p, math.sqrt(n * p * (1 - p))
        c.append(Case("normal approx. to binomial", 30, dict(n=n, p=p),
                      DiscretisedNormal(m, sd, 0.5, last=n), discrete=True, pdf_tol=2 * INCOMPLETE,
                      cdf_tol=INCOMPLETE, inverse="whole", stats=False))
    for m in [9.0, 50.0]:
        c.append(Case("normal approx. to Poisson", 31, dict(mean=m),
                      DiscretisedNormal(m, math.sqrt(m), 0.0), discrete=True,
                      pdf_tol=2 * INCOMPLETE, cdf_tol=INCOMPLETE, inverse="whole", stats=False,
                      xfail={"variates": ROUNDED_DRAWS}))
    return c


CONTINUOUS = continuous_cases()
DISCRETE = discrete_cases()
ALL = CONTINUOUS + DISCRETE
# Discrete types whose cumulative is a sum of masses, flat between whole numbers.
STEPWISE = {6, 7, 9, 17, 20}

# Probabilities at which the continuous grids are placed: far tails to centre.
TAIL_PROBS = np.array([1e-6, 1e-3, 0.01, 0.1, 0.3, 0.5, 0.7, 0.9, 0.99, 0.999, 1 - 1e-6])
INVERSE_PROBS = np.array([1e-5, 0.001, 0.01, 0.1, 0.25, 0.5, 0.75, 0.9, 0.99, 0.999, 1 - 1e-5])


def grid(case, max_points=200):
    """Abscissae inside the support: quantiles for continuous types, whole numbers for discrete."""
    if not case.discrete:
        xs = np.unique(case.ref.ppf(TAIL_PROBS))
        return xs[np.isfinite(xs)]
    lo = case.ref.ppf(1e-7)
    hi = case.ref.ppf(1 - 1e-7)
    lo = max(lo, case.ref.support()[0]) if np.isfinite(lo) else case.ref.support()[0]
    xs = np.arange(lo, hi + 1)
    if len(xs) > max_points:
        xs = np.unique(np.round(np.linspace(lo, hi, max_points)))
    return xs
