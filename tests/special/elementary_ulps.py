#!/usr/bin/env python3
"""Measures the library's elementary functions against mpmath at 200 bits.

Usage: elementary_ulps.py [--emulator RUNNER] <elementary_check> <count> [function ...]
(RUNNER, such as qemu-i386-static, runs a checker built for another machine.)
For each function it prints the largest error in ulps, the share of results
bit-equal to the C runtime's, and fails (exit 1) when any function is off by
more than one ulp (those still handed to the C runtime are only
reported) or gets a special value (NaN, infinity, zero) wrong.
"""
import math
import struct
import subprocess
import sys

import mpmath
from mpmath import mp, mpf

mp.prec = 200

ALL = ["exp", "expm1", "log", "log1p", "pow", "erfc", "sin", "tan", "atan",
       "sinh", "cosh", "asinh"]
# Still handed to the C runtime: measured and printed, not judged, until
# they are the library's own.
FORWARDED = {"pow", "erfc", "sinh", "cosh", "asinh"}
REF = {
    "exp": mpmath.exp, "expm1": mpmath.expm1, "log": mpmath.log,
    "log1p": mpmath.log1p, "erfc": mpmath.erfc, "sin": mpmath.sin,
    "tan": mpmath.tan, "atan": mpmath.atan, "sinh": mpmath.sinh,
    "cosh": mpmath.cosh, "asinh": mpmath.asinh, "pow": mpmath.power,
}


def to_double(h):
    return struct.unpack("<d", struct.pack("<Q", int(h, 16)))[0]


def ulp_error(ours, ref):
    """|ours - ref| in units of the last place of ref (as a double)."""
    if math.isinf(ours) and abs(ref) >= (2 - mpf(2) ** -53) * mpf(2) ** 1023 \
            and (ours > 0) == (ref > 0):
        return 0.0  # the true value rounds past the largest double
    if math.isnan(ours) or math.isinf(ours):
        return 0.0 if (math.isinf(ours) and mpmath.isinf(ref) and
                       (ours > 0) == (ref > 0)) else math.inf
    r = float(ref)  # overflowing references come back as inf
    if math.isinf(r):
        # a finite result where the true value rounds past the largest double
        return 0.0 if ours == math.copysign(sys.float_info.max, r) and \
            abs(ref) < mpf(2) ** 1024 else math.inf
    if ref == 0:
        return 0.0 if ours == 0 else math.inf
    e = max(int(mpmath.floor(mpmath.log(abs(ref), 2))), -1022)
    return float(abs(mpf(ours) - ref) / mpf(2) ** (e - 52))


def measure(check, name, count):
    out = subprocess.run(check + [name, str(count)], check=True,
                         capture_output=True, text=True).stdout.split("\n")
    worst, worst_arg, equal, n = 0.0, None, 0, 0
    for line in out:
        if not line:
            continue
        f = line.split()
        args = [to_double(h) for h in f[:-2]]
        ours, theirs = to_double(f[-2]), to_double(f[-1])
        n += 1
        if struct.pack("<d", ours) == struct.pack("<d", theirs) or \
                (math.isnan(ours) and math.isnan(theirs)):
            equal += 1
        if any(math.isnan(a) or math.isinf(a) for a in args):
            continue
        if name == "pow" and args[0] < 0 and args[1] != math.floor(args[1]):
            err = 0.0 if math.isnan(ours) else math.inf
        elif name in ("log", "log1p") and math.isnan(ours):
            err = 0.0 if args[0] < (0 if name == "log" else -1) else math.inf
        else:
            ref = REF[name](*[mpf(a) for a in args])
            err = ulp_error(ours, ref)
        if err > worst:
            worst, worst_arg = err, args
    return worst, worst_arg, equal / max(n, 1), n


def main():
    argv = sys.argv[1:]
    runner = []
    if argv[:1] == ["--emulator"]:
        runner, argv = [argv[1]], argv[2:]
    check, count = runner + [argv[0]], int(argv[1])
    names = argv[2:] or ALL
    failed = False
    for name in names:
        worst, arg, share, n = measure(check, name, count)
        bad = worst > 1.0 and name not in FORWARDED
        failed |= bad
        where = "" if arg is None else " at " + ", ".join(a.hex() for a in arg)
        print(f"{name:6s} n={n} max {worst:.3f} ulp{where}; "
              f"bit-equal to runtime {100 * share:.4f}%{'  FAIL' if bad else ''}"
              f"{'  (C runtime)' if name in FORWARDED else ''}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
