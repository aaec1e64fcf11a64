"""Loading libkvz_comp and declaring the C signatures of its exports."""

import ctypes
import ctypes.util
import os
import pathlib
import threading

_lock = threading.Lock()
_lib = None
_location = None

# File names of the shared library: the development link, the run-time name
# (its SONAME), and the macOS and Windows names.
_NAMES = ("libkvz_comp.so", "libkvz_comp.so.1", "libkvz_comp.dylib", "KVZ_Comp.dll")
_HERE = pathlib.Path(__file__).resolve().parent


def _installed_dir():
    """The library folder recorded by `cmake --install` beside the package, or None."""
    try:
        from ._installed import LIBRARY_DIR
    except ImportError:
        return None
    return _HERE / LIBRARY_DIR  # relative to the package, or absolute


def _candidates():
    """Files the library may be: named by KVZ_COMP_LIBRARY, bundled in the package
    (pip install), where `cmake --install` put it, or a source checkout's build."""
    env = os.environ.get("KVZ_COMP_LIBRARY")
    if env:
        yield pathlib.Path(env)
        return
    dirs = [_HERE]
    installed = _installed_dir()
    if installed is not None:
        dirs.append(installed)
    # Run from a source checkout: the release build first, then any other build.
    build = _HERE.parent.parent / "build"
    if build.is_dir():
        dirs += [build / "release"] + sorted(d for d in build.glob("*") if d.is_dir())
    for d in dirs:
        for name in _NAMES:
            yield d / name


def _system_names():
    """Names for the dynamic loader's own search (LD_LIBRARY_PATH, ld.so.conf, ...)."""
    yield "libkvz_comp.so.1"
    found = ctypes.util.find_library("kvz_comp") or ctypes.util.find_library("KVZ_Comp")
    if found:
        yield found


_D = ctypes.c_double
_I = ctypes.c_int
_PD = ctypes.POINTER(ctypes.c_double)


class FitInputs(ctypes.Structure):
    """struct kvz_fit_inputs (include/kvz_comp_fit.h): a fitted type's inputs, one per setter."""
    _fields_ = [(name, _D) for name in ("mean", "lmean", "mode", "median", "stdev", "lstdev", "minimum", "maximum",
                                        "scale", "shape_a", "shape_b", "p")] + [("n", _I)]


class FitResult(ctypes.Structure):
    """struct kvz_fit_result (include/kvz_comp_fit.h): the host's ends (read
    when their bit is set in `fixed`) and binomial n in; the fit's measures and
    inputs out. A zeroed result estimates everything."""
    _fields_ = [("minimum", _D), ("maximum", _D), ("n", _I), ("fixed", _I), ("parameters", _I), ("loglik", _D),
                ("aic", _D), ("bic", _D), ("ks", _D), ("ad", _D), ("chi2", _D), ("evaluations", _I), ("status", _I),
                ("fitted", FitInputs)]


# Every export this package calls, with its argument and result types.
_SIGNATURES = {
    "set_pdf_dtype": ([_I, _I], None),
    "set_pdf_mean": ([_I, _D], None),
    "set_pdf_lmean": ([_I, _D], None),
    "set_pdf_mode": ([_I, _D], None),
    "set_pdf_median": ([_I, _D], None),
    "set_pdf_stdev": ([_I, _D], None),
    "set_pdf_lstdev": ([_I, _D], None),
    "set_pdf_minimum": ([_I, _D], None),
    "set_pdf_maximum": ([_I, _D], None),
    "set_pdf_scale": ([_I, _D], None),
    "set_pdf_shape_a": ([_I, _D], None),
    "set_pdf_shape_b": ([_I, _D], None),
    "set_pdf_p": ([_I, _D], None),
    "set_pdf_n": ([_I, _I], None),
    "set_pdf_pop": ([_I, _I], None),
    "set_pdf_popsuc": ([_I, _I], None),
    "set_pdf_sam": ([_I, _I], None),
    "set_pdf_t_min": ([_I, _I, _D], None),
    "set_pdf_t_max": ([_I, _I, _D], None),
    "get_pdf_dclass": ([_I], _I),
    "get_pdf_min_exists": ([_I], _I),
    "get_pdf_max_exists": ([_I], _I),
    "get_pdf_avg_exists": ([_I], _I),
    "get_pdf_var_exists": ([_I], _I),
    "get_pdf_mod_exists": ([_I], _I),
    "get_pdf_med_exists": ([_I], _I),
    "get_pdf_skw_exists": ([_I], _I),
    "get_pdf_krt_exists": ([_I], _I),
    "get_pmin_extend": ([_I], _I),
    "get_pmax_extend": ([_I], _I),
    "get_pdf_mean": ([_I], _D),
    "get_pdf_mode": ([_I], _D),
    "get_pdf_median": ([_I], _D),
    "get_pdf_variance": ([_I], _D),
    "get_pdf_stdev": ([_I], _D),
    "get_pdf_skewness": ([_I], _D),
    "get_pdf_kurtosis": ([_I], _D),
    "get_pdf_minimum": ([_I], _D),
    "get_pdf_maximum": ([_I], _D),
    "get_pdf_p_min": ([_I], _D),
    "get_pdf_p_max": ([_I], _D),
    "dinitialise": ([_I], None),
    "get_pdf_pdf": ([_I, _D], _D),
    "get_pdf_pdf_valid": ([_I, _D], _I),
    "get_pdf_f": ([_I, _D], _D),
    "get_pdf_g": ([_I, _D], _D),
    "get_pdf_g_whole": ([_I, _D], _D),
    "betai": ([_D, _D, _D], _D),
    "set_rng_type": ([_I, _I], None),
    "rng": ([], _D),
    "rng_batch": ([_PD, _I], None),
    "precalc": ([_I], None),
    "dvalue": ([_I], _D),
    "dvalue_batch": ([_I, _PD, _I], None),
    "get_pdf_pdf_batch": ([_I, _PD, _PD, _I], None),
    "get_pdf_f_batch": ([_I, _PD, _PD, _I], None),
    "get_pdf_g_batch": ([_I, _PD, _PD, _I], None),
    "dvalue_correlated_work_size": ([_I, _I], ctypes.c_size_t),
    "fit_pdf_work_size": ([_I, _I], ctypes.c_size_t),
    "fit_pdf": ([_I, _I, _PD, _I, ctypes.c_void_p, ctypes.c_size_t, ctypes.POINTER(FitResult)], _I),
    "dvalue_correlated": ([ctypes.POINTER(_I), _I, _I, _PD, _PD, _PD, _PD, ctypes.c_void_p, ctypes.c_size_t], _I),
}


def library():
    """The loaded library, loaded on first use (once, whichever thread asks first)."""
    global _lib, _location
    with _lock:
        if _lib is None:
            _lib, _location = _find()
        return _lib


def location():
    """The file or loader name the library was loaded from."""
    library()
    return _location


def _find():
    tried = []
    for path in _candidates():
        tried.append(str(path))
        if path.is_file():
            return _load(str(path)), str(path)
    if not os.environ.get("KVZ_COMP_LIBRARY"):
        for name in _system_names():
            tried.append(name)
            try:
                return _load(name), name
            except OSError:
                pass
    raise OSError("libkvz_comp not found; set KVZ_COMP_LIBRARY to its path (looked at: "
                  + ", ".join(tried) + ")")


def _load(path):
    loader = ctypes.WinDLL if os.name == "nt" and ctypes.sizeof(ctypes.c_void_p) == 4 else ctypes.CDLL
    lib = loader(path)
    for name, (args, result) in _SIGNATURES.items():
        fn = getattr(lib, name)
        fn.argtypes = args
        fn.restype = result
    return lib
