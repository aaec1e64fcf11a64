#!/usr/bin/env python3
"""Runs the host program built for another platform and the same program
built for this system, and compares their outputs line by line.

Every line is "name value"; the values must be the same strings. Doubles
print with %.17g, which tells every double apart, so equal strings mean
equal bits: the library gives one answer on every platform, and a value
that differs even in its last bit is a failure. Every differing value is
listed with both outputs.

The other build runs either under Wine, in a private prefix with Wine's
own diagnostics switched off and no display (--wine, --prefix), or under
a user-mode emulator called directly (--emulator), e.g. qemu-i386-static
for the 32-bit Linux build.
"""
import argparse
import os
import subprocess
import sys
import time

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


def differences(other, native, label):
    """One line for each name whose values are not the same string."""
    lines = []
    for name in sorted(set(other) | set(native)):
        if name not in other or name not in native:
            lines.append(f"{name}: only in the {'native' if name in native else label} output")
        elif other[name] != native[name]:
            lines.append(f"{name}: {label} {other[name]} native {native[name]}")
    return lines


def wine_environment(prefix):
    env = dict(os.environ)
    env.update(WINEPREFIX=os.path.abspath(prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=")
    env.pop("DISPLAY", None)
    return env


def main():
    parser = argparse.ArgumentParser()
    runner = parser.add_mutually_exclusive_group(required=True)
    runner.add_argument("--wine", help="Wine loader for the other host")
    runner.add_argument("--emulator", help="user-mode emulator for the other host")
    parser.add_argument("--prefix", help="private Wine prefix (with --wine)")
    parser.add_argument("--label", default="Windows", help="name of the other build")
    parser.add_argument("--other-host", "--windows-host", dest="other_host", required=True)
    parser.add_argument("--native-host", required=True)
    parser.add_argument("--known", help="file of values known to differ on this build, "
                        "one name a line ('#' starts a comment)")
    args = parser.parse_args()

    other_host = os.path.abspath(args.other_host)
    if args.wine:
        if not args.prefix:
            parser.error("--wine needs --prefix")
        env = wine_environment(args.prefix)
        probe = subprocess.run([args.wine, "--version"], env=env, stdout=subprocess.PIPE,
                               stderr=subprocess.STDOUT, text=True, timeout=60)
        if probe.returncode != 0:
            print(f"skipped: wine cannot start on this machine:\n{probe.stdout.strip()}")
            return SKIPPED
        command = [args.wine, other_host]
    else:
        env = None
        command = [args.emulator, other_host]

    started = time.monotonic()
    other = parse(run(command, env=env, cwd=os.path.dirname(other_host)), f"{args.label} host")
    print(f"{args.label} host: {time.monotonic() - started:.1f} s")
    native = parse(run([args.native_host]), "native host")

    differing = differences(other, native, args.label)
    known = read_known(args.known)
    unexpected = [line for line in differing if line.split(":", 1)[0] not in known]
    print(f"{len(native)} values compared, {len(differing)} differ, "
          f"{len(differing) - len(unexpected)} of them listed as known")
    for line in differing:
        print(f"  {line}{'' if line in unexpected else '  (known)'}")
    return 1 if unexpected else 0


def read_known(path):
    """The names listed in the file of known differences (none without one)."""
    if not path:
        return set()
    names = set()
    with open(path) as listed:
        for line in listed:
            name = line.split("#", 1)[0].strip()
            if name:
                names.add(name)
    return names


if __name__ == "__main__":
    sys.exit(main())
