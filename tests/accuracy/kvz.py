"""The library through ctypes, for the accuracy suite.

KVZ_COMP_LIBRARY names the shared library (CTest passes the built target);
without it the release build in the source tree is tried.
"""
import ctypes
import os

import numpy as np

_HERE = os.path.dirname(os.path.abspath(__file__))
_DEFAULT = os.path.join(_HERE, "..", "..", "build", "release", "libkvz_comp.so")

_lib = ctypes.CDLL(os.environ.get("KVZ_COMP_LIBRARY") or _DEFAULT)

_I, _D, _P = ctypes.c_int, ctypes.c_double, ctypes.POINTER(ctypes.c_double)
_SIGNATURES = {
    "set_pdf_dtype": ([_I, _I], None),
    "set_pdf_n": ([_I, _I], None),
    "set_pdf_pop": ([_I, _I], None),
    "set_pdf_popsuc": ([_I, _I], None),
    "set_pdf_sam": ([_I, _I], None),
    "set_pdf_t_min": ([_I, _I, _D], None),
    "set_pdf_t_max": ([_I, _I, _D], None),
    "dinitialise": ([_I], None),
    "precalc": ([_I], None),
    "dvalue": ([_I], _D),
    "get_pdf_pdf": ([_I, _D], _D),
    "get_pdf_pdf_valid": ([_I, _D], _I),
    "get_pdf_f": ([_I, _D], _D),
    "get_pdf_g": ([_I, _D], _D),
    "betai": ([_D, _D, _D], _D),
    "set_rng_type": ([_I, _I], None),
    "rng": ([], _D),
    "dvalue_batch": ([_I, _P, _I], None),
    "get_pdf_pdf_batch": ([_I, _P, _P, _I], None),
    "get_pdf_f_batch": ([_I, _P, _P, _I], None),
    "get_pdf_g_batch": ([_I, _P, _P, _I], None),
}
for _field in ("mean", "lmean", "mode", "median", "stdev", "lstdev", "minimum", "maximum",
               "scale", "shape_a", "shape_b", "p"):
    _SIGNATURES["set_pdf_" + _field] = ([_I, _D], None)
for _stat in ("mean", "mode", "median", "variance", "stdev", "skewness", "kurtosis",
              "minimum", "maximum", "p_min", "p_max"):
    _SIGNATURES["get_pdf_" + _stat] = ([_I], _D)
for _flag in ("dclass", "min_exists", "max_exists", "avg_exists", "var_exists", "mod_exists",
              "med_exists", "skw_exists", "krt_exists"):
    _SIGNATURES["get_pdf_" + _flag] = ([_I], _I)
_SIGNATURES["get_pmin_extend"] = ([_I], _I)
_SIGNATURES["get_pmax_extend"] = ([_I], _I)

for _name, (_args, _res) in _SIGNATURES.items():
    _fn = getattr(_lib, _name)
    _fn.argtypes = _args
    _fn.restype = _res

lib = _lib

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
