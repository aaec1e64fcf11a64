"""The distribution types: code, names, the inputs each reads, and which
computations the library offers for it."""

from dataclasses import dataclass, field

# Input fields: whole-number fields go through the library's int setters.
REAL_FIELDS = ("mean", "lmean", "mode", "median", "stdev", "lstdev", "minimum", "maximum",
               "scale", "shape_a", "shape_b", "p")
WHOLE_FIELDS = ("n", "pop", "popsuc", "sam")
FIELDS = REAL_FIELDS + WHOLE_FIELDS

ALWAYS = "always"
TRUNCATED = "truncated"  # only for a truncated distribution
NEVER = "never"


@dataclass(frozen=True)
class TypeInfo:
    code: int
    name: str
    aliases: tuple
    inputs: tuple
    description: str
    statistics: str = ALWAYS
    cdf: str = ALWAYS
    quantile: str = ALWAYS
    sample: str = ALWAYS
    names: tuple = field(init=False, repr=False, compare=False)

    def __post_init__(self):
        object.__setattr__(self, "names", (self.name,) + self.aliases)


_T = TypeInfo
TYPES = (
    _T(1, "degenerate", ("constant",), ("mean",), "a single value"),
    _T(2, "uniform", (), ("minimum", "maximum"), "continuous uniform on [minimum, maximum]"),
    _T(3, "triangular", (), ("minimum", "mode", "maximum"), "triangular with peak at mode"),
    _T(4, "normal", ("gaussian",), ("mean", "stdev"), "normal"),
    _T(6, "poisson", (), ("mean",), "Poisson", quantile=TRUNCATED),
    _T(7, "geometric", (), ("p",), "failures before the first success", quantile=TRUNCATED),
    _T(8, "exponential", (), ("mean",), "exponential"),
    _T(9, "binomial", (), ("n", "p"), "binomial", quantile=TRUNCATED),
    _T(10, "pareto", (), ("mode", "shape_a"), "Pareto: mode is the lower bound, shape_a the tail index"),
    _T(11, "beta", (), ("minimum", "maximum", "shape_a", "shape_b"), "beta on [minimum, maximum]"),
    _T(12, "gamma", (), ("scale", "shape_a"), "gamma"),
    _T(13, "cauchy", (), ("mean", "scale"), "Cauchy: mean is the location"),
    _T(14, "exponential-power", (), ("mean", "scale", "shape_a"), "exponential power: mean is the location"),
    _T(15, "gumbel", ("extreme-value",), ("mode", "scale"),
       "Gumbel, largest extreme value: mode is the location"),
    _T(16, "weibull", (), ("minimum", "scale", "shape_a"), "Weibull: minimum is the location"),
    _T(17, "hypergeometric", (), ("pop", "popsuc", "sam"),
       "hypergeometric: population, successes in it, sample size", quantile=TRUNCATED),
    _T(18, "wald", (), ("scale",), "Wald: inverse Gaussian with mean 1, scale is the shape"),
    _T(19, "laplace", ("double-exponential",), ("mean", "scale"), "Laplace: mean is the location"),
    _T(20, "logarithmic", ("log-series",), ("shape_a",), "logarithmic series: 0 < shape_a < 1",
       quantile=TRUNCATED),
    _T(21, "logistic", (), ("mean", "stdev"), "logistic by its mean and standard deviation"),
    _T(22, "lognormal-mean", (), ("mean", "stdev"), "lognormal by its own mean and standard deviation"),
    _T(23, "lognormal", (), ("lmean", "lstdev"),
       "lognormal by the mean and standard deviation of the logarithm"),
    _T(24, "erlang", (), ("scale", "shape_a"), "Erlang: gamma with a whole shape"),
    _T(25, "chi-square", ("chisquare", "chi2"), ("shape_a",), "chi-square: shape_a is the degrees of freedom"),
    _T(26, "power", ("power-function",), ("minimum", "maximum", "shape_a"), "power function on [minimum, maximum]"),
    _T(27, "rayleigh", (), ("scale",), "Rayleigh"),
    _T(28, "discrete-uniform", (), ("minimum", "maximum"), "whole numbers minimum .. maximum"),
    _T(29, "inverse-gaussian", (), ("mean", "scale"), "inverse Gaussian: scale is the shape"),
    _T(30, "binomial-normal", (), ("n", "p"), "normal approximation to the binomial, made discrete"),
    _T(31, "poisson-normal", (), ("mean",), "normal approximation to the Poisson, made discrete"),
    _T(34, "lognormal-median", (), ("median", "lstdev"),
       "lognormal by its median and the standard deviation of the logarithm"),
    _T(35, "student-t", ("t", "student"), ("shape_a",), "Student t: shape_a is the degrees of freedom",
       sample=TRUNCATED),
    _T(36, "f", ("fisher",), ("shape_a", "shape_b"),
       "F: numerator and denominator degrees of freedom (density only)",
       statistics=NEVER, cdf=NEVER, quantile=NEVER, sample=NEVER),
)


def _normalise(name):
    return name.strip().lower().replace("_", "-")


_BY_NAME = {n: t for t in TYPES for n in t.names}
_BY_CODE = {t.code: t for t in TYPES}


def find_type(name_or_code):
    """A type by its code, name or alias (any case, '_' or '-'); ValueError if unknown."""
    if isinstance(name_or_code, TypeInfo):
        return name_or_code
    if isinstance(name_or_code, int) and not isinstance(name_or_code, bool):
        found = _BY_CODE.get(name_or_code)
    elif isinstance(name_or_code, str):
        text = _normalise(name_or_code)
        found = _BY_CODE.get(int(text)) if text.isdigit() else _BY_NAME.get(text)
    else:
        found = None
    if found is None:
        raise ValueError(f"unknown distribution type {name_or_code!r}")
    return found


def offered(availability, truncated):
    return availability == ALWAYS or (availability == TRUNCATED and truncated)
