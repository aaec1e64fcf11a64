#!/usr/bin/env python3
"""Checks that a built library exports exactly the names of the module
definition: no name missing, none decorated, nothing else.

  check_exports.py dll <objdump> <KVZ_Comp.dll> <module definition>
      the export table of the Windows module; also that it imports nothing
      but system modules (the compiler's runtime is linked in).
  check_exports.py so <nm> <libkvz_comp.so> <module definition>
      the defined dynamic symbols of the shared library, all code with C
      linkage (no mangled names).
"""
import re
import subprocess
import sys

SYSTEM_MODULES = re.compile(
    r"^(kernel32|msvcrt|ntdll|user32|advapi32|ucrtbase|api-ms-win-[a-z0-9-]+)\.dll$", re.I)


def module_names(def_file):
    names = []
    in_exports = False
    for line in open(def_file, encoding="ascii"):
        word = line.split(";")[0].strip()
        if not word:
            continue
        if word.upper() == "EXPORTS":
            in_exports = True
        elif in_exports:
            names.append(word)
    return names


def tool_output(command):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, text=True).stdout


def dll_exports(objdump, dll):
    text = tool_output([objdump, "-p", dll])
    table = text.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) != 2:
        sys.exit(f"{dll}: no export name table")
    names = re.findall(r"^\s*\[\s*\d+\]\s+(\S+)\s*$", table[1].split("\n\n", 1)[0], re.M)
    imports = re.findall(r"DLL Name:\s*(\S+)", text)
    foreign = [m for m in imports if not SYSTEM_MODULES.match(m)]
    return names, [f"imports {m}, not a system module" for m in foreign]


def so_exports(nm, so):
    names, problems = [], []
    for line in tool_output([nm, "-D", "--defined-only", so]).splitlines():
        fields = line.split()
        if len(fields) < 2:
            continue
        kind, name = fields[-2], fields[-1]
        names.append(name)
        if kind != "T":
            problems.append(f"{name}: symbol kind {kind}, not code")
        if name.startswith("_Z"):
            problems.append(f"{name}: C++ linkage")
    return names, problems


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("dll", "so"):
        sys.exit(__doc__)
    mode, tool, library, def_file = sys.argv[1:]
    expected = module_names(def_file)
    names, problems = (dll_exports if mode == "dll" else so_exports)(tool, library)
    for name in sorted(set(expected) - set(names)):
        problems.append(f"{name}: not exported")
    for name in sorted(set(names) - set(expected)):
        problems.append(f"{name}: exported but not in the module definition")
    if len(names) != len(set(names)):
        problems.append("a name is exported twice")
    print(f"{library}: {len(names)} exports, {len(expected)} expected")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
