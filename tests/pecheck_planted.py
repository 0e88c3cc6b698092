#!/usr/bin/python3
"""Runs the release's PE checks on binaries built with one fault each
(tests/planted) and expects every check to catch its fault, with a text
that names it, and the other checks to find nothing.

    pecheck_planted.py PLANTED_DIR"""
import os
import sys

import pefile

import pecheck
from tally import check, summary

# Each check on a 32-bit binary: its name, what it applies to, and the
# problems it finds.
CHECKS = {
    "imports": lambda path, pe, kind: pecheck.import_problems(
        pe, (pecheck.DLL_IMPORTS if kind == "dll" else pecheck.EXE_IMPORTS)["i386"]),
    "tls": lambda path, pe, kind: pecheck.tls_problems(pe) if kind == "dll" else [],
    "kernel32": lambda path, pe, kind: pecheck.kernel32_problems(pe),
    "instructions": lambda path, pe, kind: pecheck.instruction_problems(path),
}

# file, kind, {check: a text that one of its problems holds}; a check not
# named must find nothing, except those named with None, which are not
# looked at (the run time's start-up imports what it likes).
CASES = [
    ("planted_tls_variable.dll", "dll", {"tls": "TLS directory"}),
    ("planted_cmov.dll", "dll", {"instructions": "cmovl "}),
    ("planted_newer_import.dll", "dll", {"kernel32": "KERNEL32 IsDebuggerPresent"}),
    ("planted_crt_startup.dll", "dll",
     {"tls": "TLS directory", "imports": "imports msvcrt.dll", "instructions": "cmov",
      "kernel32": None}),
    ("planted_crt_program.exe", "exe",
     {"imports": "imports msvcrt.dll", "instructions": "cmov", "kernel32": None}),
]


def main():
    planted_dir = sys.argv[1]
    for file_name, kind, faults in CASES:
        path = os.path.join(planted_dir, file_name)
        pe = pefile.PE(path)
        for name, problems_of in CHECKS.items():
            if name in faults and faults[name] is None:
                continue
            problems = problems_of(path, pe, kind)
            expected = faults.get(name)
            if expected is None:
                check(f"{file_name}: {name} finds nothing", [], problems)
            else:
                caught = any(expected in p for p in problems)
                check(f"{file_name}: {name} catches {expected!r} (found {problems[:3]})",
                      True, caught)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
