"""Python binding of the kvz_comp probability-distribution library.

    import kvz_comp
    with kvz_comp.Distribution("gamma", scale=2, shape_a=3) as d:
        d.mean, d.variance        # 6.0, 12.0
        d.pdf([1.0, 4.0])         # NumPy in, NumPy out
        kvz_comp.set_rng("stratified", seed=7)
        d.sample(1000)

The shared library is found through the KVZ_COMP_LIBRARY environment
variable, next to this package, or in the source tree's build folders.
"""

from ._catalogue import TypeInfo, find_type
from .correlated import correlated_sample
from .distribution import SLOT_COUNT, Distribution, betai, free_slots, rng, set_rng, types

__all__ = ["Distribution", "correlated_sample", "TypeInfo", "SLOT_COUNT", "betai", "find_type", "free_slots", "rng", "set_rng", "types"]
