#!/usr/bin/env python3
"""Writes the seed corpus of the export fuzzer (tests/fuzz/corpus).

Each seed is a call sequence in the harness's input format (see the head of
fuzz_exports.cpp): one ordinary use of every type code, truncated variants,
every generator kind, the batch calls, and slot indices outside 0..20.
Run it again after changing the format; it rewrites the seed_* and repro_*
files only. Inputs kept as the fuzzer found them (found_*) stay as they are.
"""
import math
import os
import struct
import sys

OPS = """set_pdf_dtype set_pdf_mean set_pdf_lmean set_pdf_mode set_pdf_median set_pdf_stdev
set_pdf_lstdev set_pdf_minimum set_pdf_maximum set_pdf_scale set_pdf_shape_a set_pdf_shape_b
set_pdf_p set_pdf_n set_pdf_pop set_pdf_popsuc set_pdf_sam set_pdf_t_min set_pdf_t_max
get_pdf_dclass get_pdf_min_exists get_pdf_max_exists get_pdf_avg_exists get_pdf_var_exists
get_pdf_mod_exists get_pdf_med_exists get_pdf_skw_exists get_pdf_krt_exists get_pmin_extend
get_pmax_extend get_pdf_mean get_pdf_mode get_pdf_median get_pdf_variance get_pdf_stdev
get_pdf_skewness get_pdf_kurtosis get_pdf_minimum get_pdf_maximum get_pdf_p_min get_pdf_p_max
dinitialise get_pdf_pdf get_pdf_pdf_valid get_pdf_f get_pdf_g betai set_rng_type rng precalc
dvalue dvalue_batch get_pdf_pdf_batch get_pdf_f_batch get_pdf_g_batch rng_batch
get_pdf_g_whole""".split()
assert len(OPS) == 57
OP = {name: i for i, name in enumerate(OPS)}

BAD_SLOTS = [-1, 21, 22, -21, 255, -2**31, 2**31 - 1, 1 << 20]
SPECIAL = [0.0, "-0", 1.0, -1.0, 0.5, 2.0, 3.0, 10.0, 1e-3, 1e6, 1e300, -1e300,
           math.inf, -math.inf, "nan", 5e-324, 2.2250738585072014e-308,
           1.7976931348623157e308, -1.7976931348623157e308, 0.995, 0.005, 1e-300,
           1.0 - 1e-16, 0.9999999]
SPECIAL_INTS = [0, 1, 2, 1000, 1999, 2000, 2001, 5000, 100000, 10000000,
                2**31 - 1, -2**31, -1, -1000, 30000, 65535]
FLAGS = [0, 1, 2, 255, 256, 257, -1, -256]


def slot(s):
    if 0 <= s <= 20:
        return bytes([s])
    return bytes([21 + BAD_SLOTS.index(s)])


def code(c):
    assert 0 <= c < 40
    return bytes([c])


def dbl(v):
    if isinstance(v, str):
        return bytes([SPECIAL.index(v)])
    for i, s in enumerate(SPECIAL):
        if not isinstance(s, str) and s == v and math.copysign(1, s) == math.copysign(1, v):
            return bytes([i])
    k = round(v * 100)
    if 0 <= k < 100 and k / 100.0 == v:
        return bytes([24 + k])
    h = v * 2
    if h == int(h) and -40 <= h < 60:
        return bytes([164 + int(h)])
    return bytes([224]) + struct.pack("<d", v)


def integer(v):
    if -8 <= v < 120:
        return bytes([v + 8])
    if v in SPECIAL_INTS:
        return bytes([128 + SPECIAL_INTS.index(v)])
    return bytes([240]) + struct.pack("<i", v)


def call(name, *args):
    return bytes([OP[name]]) + b"".join(args)


# Inputs each type reads, as (setter, value) pairs; ints go through set_pdf_n/pop/popsuc/sam.
TYPES = {
    1: [("mean", 4.0)],
    2: [("minimum", 2.0), ("maximum", 8.0)],
    3: [("minimum", 0.0), ("mode", 2.0), ("maximum", 5.0)],
    4: [("mean", 10.0), ("stdev", 2.0)],
    6: [("mean", 3.5)],
    7: [("p", 0.3)],
    8: [("mean", 2.0)],
    9: [("n", 10), ("p", 0.3)],
    10: [("mode", 1.0), ("shape_a", 3.0)],
    11: [("minimum", 0.0), ("maximum", 1.0), ("shape_a", 2.0), ("shape_b", 3.0)],
    12: [("scale", 2.0), ("shape_a", 3.0)],
    13: [("mean", 0.0), ("scale", 1.0)],
    14: [("mean", 0.0), ("scale", 1.0), ("shape_a", 0.5)],
    15: [("mode", 1.0), ("scale", 2.0)],
    16: [("minimum", 1.0), ("scale", 1.5), ("shape_a", 2.0)],
    17: [("pop", 50), ("popsuc", 20), ("sam", 10)],
    18: [("scale", 2.0)],
    19: [("mean", 1.0), ("scale", 2.0)],
    20: [("shape_a", 0.6)],
    21: [("mean", 0.0), ("stdev", 1.0)],
    22: [("mean", 1.0), ("stdev", 0.5)],
    23: [("lmean", 0.0), ("lstdev", 1.0)],
    24: [("scale", 2.0), ("shape_a", 3.0)],
    25: [("shape_a", 4.0)],
    26: [("minimum", 0.0), ("maximum", 1.0), ("shape_a", 2.0)],
    27: [("scale", 1.0)],
    28: [("minimum", 1.0), ("maximum", 6.0)],
    29: [("mean", 1.0), ("scale", 3.0)],
    30: [("n", 20), ("p", 0.5)],
    31: [("mean", 9.0)],
    34: [("median", 2.0), ("lstdev", 0.5)],
    35: [("shape_a", 5.0)],
    36: [("shape_a", 4.0), ("shape_b", 6.0)],
}
INT_FIELDS = {"n", "pop", "popsuc", "sam"}


def configure(s, dtype, params, t_min=None, t_max=None):
    out = call("set_pdf_dtype", slot(s), code(dtype))
    for field, value in params:
        if field in INT_FIELDS:
            out += call("set_pdf_" + field, slot(s), integer(value))
        else:
            out += call("set_pdf_" + field, slot(s), dbl(value))
    out += call("set_pdf_t_min", slot(s), bytes([FLAGS.index(1 if t_min is not None else 0)]),
                dbl(t_min if t_min is not None else 0.0))
    out += call("set_pdf_t_max", slot(s), bytes([FLAGS.index(1 if t_max is not None else 0)]),
                dbl(t_max if t_max is not None else 0.0))
    return out + call("dinitialise", slot(s))


def queries(s):
    out = b"".join(call(name, slot(s)) for name in OPS[19:41])
    for x in (0.5, 2.0, -1.0):
        out += call("get_pdf_pdf", slot(s), dbl(x)) + call("get_pdf_pdf_valid", slot(s), dbl(x))
        out += call("get_pdf_f", slot(s), dbl(x))
    for p in (0.0, 0.05, 0.5, 0.99, 1.0):
        out += call("get_pdf_g", slot(s), dbl(p))
    return out


def draws(s, n=3):
    return call("precalc", slot(s)) + call("dvalue", slot(s)) * n


def header(sentinel=20, kind=0):
    return bytes([sentinel, kind])


def seeds():
    for dtype, params in TYPES.items():
        s = dtype % 20
        yield f"type{dtype:02d}", header() + configure(s, dtype, params) + queries(s) + draws(s)
    # Truncated on one side and on both, continuous and discrete.
    for dtype, lo, hi in [(4, 0.0, None), (12, None, 3.0), (6, 2.0, 9.0), (35, -1.0, 1.0),
                          (14, -0.5, 2.0), (9, 1.0, 6.0), (12, 0.5, 8.0), (11, 0.1, None)]:
        s = 3
        params = TYPES[dtype]
        if dtype == 12 and lo == 0.5:
            params = [("scale", 1.0), ("shape_a", 0.5)]
        name = f"trunc{dtype:02d}_{'lo' if lo is not None else ''}{'hi' if hi is not None else ''}"
        yield name, header(7, 2) + configure(s, dtype, params, lo, hi) + queries(s) + draws(s, 8)
    # Generator kinds, then draws that pass through each.
    for kind in (0, 15, 20):
        pick = {15: 0, 20: 1, 0: 2}[kind]
        body = configure(5, 4, TYPES[4]) + call("set_rng_type", bytes([pick]), integer(12345))
        body += call("rng") * 4 + draws(5, 4)
        yield f"rng{kind:02d}", header(0, 1) + body
    # Batch calls: separate output, in place, null pointers, zero and negative counts.
    body = configure(2, 12, TYPES[12]) + call("precalc", slot(2))
    body += call("dvalue_batch", slot(2), bytes([16]), bytes([1]))
    body += call("dvalue_batch", slot(2), bytes([4]), bytes([0]))
    for count, null in ((16, 1), (4, 0), (0, 1), (251, 1)):
        body += call("rng_batch", bytes([count]), bytes([null]))
    for op in ("get_pdf_pdf_batch", "get_pdf_f_batch", "get_pdf_g_batch"):
        for mode, count in ((4, 5), (2, 5), (0, 3), (1, 3), (5, 0), (5, 252)):
            xs = [0.5, 1.0, 2.0, 10.0, 0.99][:count] if count > 0 and count < 250 else []
            body += call(op, slot(2), bytes([count]), bytes([mode])) + b"".join(dbl(x) for x in xs)
    yield "batch", header(9, 0) + body
    # Indices outside 0..20 for every kind of call.
    body = b""
    for bad in BAD_SLOTS:
        body += call("set_pdf_dtype", slot(bad), code(12)) + call("dinitialise", slot(bad))
        body += call("get_pdf_mean", slot(bad)) + call("get_pdf_f", slot(bad), dbl(1.0))
        body += call("precalc", slot(bad)) + call("dvalue", slot(bad))
    yield "bad_slots", header(0, 0) + body
    # Hostile values on an initialised slot.
    body = configure(1, 12, TYPES[12])
    for v in SPECIAL:
        body += call("get_pdf_pdf", slot(1), dbl(v)) + call("get_pdf_f", slot(1), dbl(v))
        body += call("get_pdf_g", slot(1), dbl(v)) + call("betai", dbl(2.0), dbl(3.0), dbl(v))
    yield "hostile_values", header(4, 2) + body


def reproducers():
    """Findings of the fuzzer, each cut down to the call sequence that shows it.

    Every one breaks the one-second limit on a single call; they stay in the
    corpus so that the fuzz test fails until the library bounds these calls.
    """
    off = lambda s: (call("set_pdf_t_min", slot(s), bytes([0]), dbl(0.0)) +
                     call("set_pdf_t_max", slot(s), bytes([0]), dbl(0.0)))
    # Binomial with n = 2^31 - 1: precalc builds its table from ~2e9 masses.
    yield "binomial_huge_n_precalc", header(20, 0) + call("set_pdf_dtype", slot(0), code(9)) + \
        call("set_pdf_n", slot(0), integer(2**31 - 1)) + call("set_pdf_p", slot(0), dbl(0.5)) + \
        off(0) + call("dinitialise", slot(0)) + call("precalc", slot(0)) + call("dvalue", slot(0))
    # Hypergeometric with a population of 2e9: initialisation, cumulative and table.
    yield "hypergeometric_huge_population", header(20, 0) + call("set_pdf_dtype", slot(0), code(17)) + \
        call("set_pdf_pop", slot(0), integer(2000000000)) + \
        call("set_pdf_popsuc", slot(0), integer(1000000000)) + \
        call("set_pdf_sam", slot(0), integer(1000000000)) + off(0) + call("dinitialise", slot(0)) + \
        call("get_pdf_f", slot(0), dbl(1e300)) + call("precalc", slot(0))
    # Poisson with mean 1e9: each cumulative value sums up to 1e8 masses (eight in one batch).
    yield "poisson_huge_mean", header(20, 0) + call("set_pdf_dtype", slot(0), code(6)) + \
        call("set_pdf_mean", slot(0), dbl(1e9)) + off(0) + call("dinitialise", slot(0)) + \
        call("get_pdf_f_batch", slot(0), bytes([8]), bytes([4])) + dbl(1e300) * 8
    # Poisson with mean DBL_MAX, truncated below at 0: initialisation and the inverse.
    yield "poisson_max_mean_truncated", header(20, 0) + call("set_pdf_dtype", slot(0), code(6)) + \
        call("set_pdf_mean", slot(0), dbl(1.7976931348623157e308)) + \
        call("set_pdf_t_min", slot(0), bytes([1]), dbl(0.0)) + \
        call("set_pdf_t_max", slot(0), bytes([0]), dbl(0.0)) + call("dinitialise", slot(0)) + \
        call("get_pdf_g", slot(0), dbl(0.5))
    # Exponential power with a tiny negative scale and no shape, cut above at 2: the
    # cumulative repeats its flat top at every midpoint of the quantile searches, and
    # each repeat once took another integral to tell that top.
    yield "exp_power_cut_flat_top", header(20, 0) + call("set_pdf_dtype", slot(3), code(14)) + \
        call("set_pdf_mean", slot(3), dbl(0.0)) + \
        call("set_pdf_scale", slot(3), dbl(float.fromhex("-0x1.1031104030a02p-463"))) + \
        call("set_pdf_t_max", slot(3), bytes([1]), dbl(2.0)) + call("dinitialise", slot(3))
    # precalc of a slot never initialised (class 0) with a truncation flag: a discrete
    # table over the whole double range, capped only at 1e8 whole numbers.
    yield "precalc_uninitialised_truncated", header(20, 0) + call("set_pdf_dtype", slot(0), code(10)) + \
        call("set_pdf_shape_a", slot(0), dbl(3.0)) + \
        call("set_pdf_t_max", slot(0), bytes([3]), dbl(1e300)) + call("precalc", slot(0))


def main():
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "corpus")
    os.makedirs(out_dir, exist_ok=True)
    for name in os.listdir(out_dir):
        if name.startswith(("seed_", "repro_")):
            os.remove(os.path.join(out_dir, name))
    count = 0
    for prefix, generator in (("seed_", seeds), ("repro_", reproducers)):
        for name, data in generator():
            with open(os.path.join(out_dir, prefix + name), "wb") as f:
                f.write(data)
            count += 1
    print(f"wrote {count} inputs to {out_dir}")


if __name__ == "__main__":
    main()
