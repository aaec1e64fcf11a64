#!/usr/bin/env python3
"""Runs the host program built for Windows (under Wine) and the same program
built for this system, and compares their outputs line by line.

Every line is "name value". Integers and flags (named as INTEGER_NAME says),
and the uniform numbers of the generator (names starting with "rng."), must be
identical; other doubles must
agree within a relative 1e-12. The Windows host runs in a private Wine prefix
with Wine's own diagnostics switched off; no display is needed.
"""
import argparse
import math
import os
import re
import subprocess
import sys
import time

RELATIVE_TOLERANCE = 1e-12
# ctest's code for a test that cannot run on this machine.
SKIPPED = 77


def run(command, env=None, cwd=None):
    done = subprocess.run(command, env=env, cwd=cwd, stdout=subprocess.PIPE,
                          stderr=subprocess.PIPE, text=True, timeout=600)
    if done.returncode != 0:
        sys.exit(f"{' '.join(command)} failed ({done.returncode}):\n{done.stderr}")
    return done.stdout


def parse(text, origin):
    values = {}
    for number, line in enumerate(text.splitlines(), 1):
        line = line.strip()
        if not line:
            continue
        name, _, value = line.partition(" ")
        if not value or name in values:
            sys.exit(f"{origin} line {number}: malformed or repeated: {line!r}")
        values[name] = value
    return values


# The host's integer results: class, flags, validity, batch agreement.
INTEGER_NAME = re.compile(r"\.(dclass|[a-z]+_exists|p(min|max)_extend|pdf_valid\(.*\)|[a-z]+_same\(.*\)|code)$")


def exact(name):
    return name.startswith("rng.") or INTEGER_NAME.search(name) is not None


def differ(name, a, b):
    """None when the two printed values agree, else the reason."""
    if a == b:
        return None
    if exact(name):
        return "must be identical"
    try:
        x, y = float(a), float(b)
    except ValueError:
        return "not numbers"
    if math.isnan(x) or math.isnan(y) or math.isinf(x) or math.isinf(y):
        return "special values differ"
    scale = max(abs(x), abs(y))
    if abs(x - y) <= RELATIVE_TOLERANCE * scale:
        return None
    return f"relative difference {abs(x - y) / scale:.3g}"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine", required=True)
    parser.add_argument("--prefix", required=True, help="private Wine prefix")
    parser.add_argument("--windows-host", required=True)
    parser.add_argument("--native-host", required=True)
    args = parser.parse_args()

    env = dict(os.environ)
    env.update(WINEPREFIX=os.path.abspath(args.prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    probe = subprocess.run([args.wine, "--version"], env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True, timeout=60)
    if probe.returncode != 0:
        print(f"skipped: wine cannot start on this machine:\n{probe.stdout.strip()}")
        return SKIPPED
    started = time.monotonic()
    windows_host = os.path.abspath(args.windows_host)
    windows = parse(run([args.wine, windows_host], env=env, cwd=os.path.dirname(windows_host)),
                    "Windows host")
    print(f"Windows host under Wine: {time.monotonic() - started:.1f} s")
    native = parse(run([args.native_host]), "native host")

    problems = []
    for name in sorted(set(windows) | set(native)):
        if name not in windows or name not in native:
            problems.append(f"{name}: only in the {'native' if name in native else 'Windows'} output")
            continue
        reason = differ(name, windows[name], native[name])
        if reason:
            problems.append(f"{name}: Windows {windows[name]} native {native[name]} ({reason})")
    inexact = [n for n in sorted(native) if n in windows and windows[n] != native[n]]
    print(f"{len(native)} values compared, {len(inexact)} not bit-identical, "
          f"{len(problems)} out of tolerance")
    for name in inexact:
        print(f"  not bit-identical: {name}: Windows {windows[name]} native {native[name]}")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
