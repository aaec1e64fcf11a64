"""The library's raw exports, for the accuracy suite.

The library is loaded, with every export's C signature, by the Python
binding's loader (python/kvz_comp): KVZ_COMP_LIBRARY names the shared library
(CTest passes the built target); without it the build tree is tried. The suite
calls the exports directly, without the binding's checks, since it measures
what the library itself answers.
"""
import ctypes
import os
import sys

import numpy as np

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "python"))
from kvz_comp._library import library  # noqa: E402

lib = library()
_P = ctypes.POINTER(ctypes.c_double)

# Inputs that the setters take as integers.
INT_FIELDS = {"n", "pop", "popsuc", "sam"}


def _array(values):
    a = np.ascontiguousarray(values, dtype=np.float64)
    return a, a.ctypes.data_as(_P)


class Slot:
    """One configured slot: set dtype first, then the inputs, the truncation, dinitialise."""

    def __init__(self, dtype, params, t_min=None, t_max=None, index=0):
        self.index = index
        self.dtype = dtype
        lib.set_pdf_dtype(index, dtype)
        for field, value in params.items():
            setter = getattr(lib, "set_pdf_" + field)
            setter(index, int(value) if field in INT_FIELDS else float(value))
        lib.set_pdf_t_min(index, 0 if t_min is None else 1, 0.0 if t_min is None else t_min)
        lib.set_pdf_t_max(index, 0 if t_max is None else 1, 0.0 if t_max is None else t_max)
        lib.dinitialise(index)

    def pdf(self, xs):
        x, px = _array(xs)
        out, po = _array(np.zeros_like(x))
        lib.get_pdf_pdf_batch(self.index, px, po, len(x))
        return out

    def cdf(self, xs):
        x, px = _array(xs)
        out, po = _array(np.zeros_like(x))
        lib.get_pdf_f_batch(self.index, px, po, len(x))
        return out

    def ppf(self, ps):
        p, pp = _array(ps)
        out, po = _array(np.zeros_like(p))
        lib.get_pdf_g_batch(self.index, pp, po, len(p))
        return out

    def valid(self, x):
        return lib.get_pdf_pdf_valid(self.index, float(x))

    def stat(self, name):
        """A statistic, or None when its existence flag is clear."""
        flag = {"mean": "avg", "variance": "var", "stdev": "var", "skewness": "skw",
                "kurtosis": "krt", "median": "med", "mode": "mod"}.get(name)
        if flag and not getattr(lib, f"get_pdf_{flag}_exists")(self.index):
            return None
        return getattr(lib, "get_pdf_" + name)(self.index)

    def draws(self, count, seed, kind=0):
        lib.set_rng_type(kind, seed)
        lib.precalc(self.index)
        out, po = _array(np.zeros(count))
        lib.dvalue_batch(self.index, po, count)
        return out
