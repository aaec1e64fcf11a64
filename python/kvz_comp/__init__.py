"""Python binding of the kvz_comp probability-distribution library.

    import kvz_comp
    with kvz_comp.Distribution("gamma", scale=2, shape_a=3) as d:
        d.mean(), d.var()         # 6.0, 12.0 (SciPy's frozen-distribution names)
        d.pdf([1.0, 4.0])         # NumPy in, NumPy out; also cdf, sf, ppf, isf
        kvz_comp.set_rng("stratified", seed=7)
        d.rvs(1000)

help(kvz_comp.Distribution) lists the types and their inputs.

    fits = kvz_comp.fit(durations)  # every type for such data, by maximum likelihood
    fits[0].type, fits[0].parameters, fits[0].aic
    fits[0].distribution()          # a Distribution of the best fit

The shared library is found through the KVZ_COMP_LIBRARY environment variable
when it is set; else inside this package (pip install), where `cmake --install`
put it, in a source tree's build folders, or by the system's dynamic loader.
"""

from ._catalogue import TypeInfo, find_type
from .correlated import correlated_sample
from .distribution import SLOT_COUNT, Distribution, betai, free_slots, rng, set_rng, types
from .fitting import Fit, Fits, fit

__all__ = ["Distribution", "Fit", "Fits", "correlated_sample", "fit", "TypeInfo", "SLOT_COUNT", "betai", "find_type", "free_slots", "rng", "set_rng", "types"]
