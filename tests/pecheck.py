#!/usr/bin/python3
"""Checks the PE headers of the built Windows binaries: machine type,
exports and their ordinals, imports, version fields, the shared section,
and that release binaries are stripped. Prints one line per failed check and
a closing "N passed, M failed" line."""
import argparse
import sys

import pefile

from tally import check, summary

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
EXPORTS = {1: "D418Init", 2: "D418ReadResponse", 3: "D418Reset",
           4: "D418SendCommand", 5: "D418Timeout"}
ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll"}
SHARED_CHARACTERISTICS = 0xD0000040

def common(path, pe, machine):
    name = path.rsplit("/", 1)[-1]
    check(f"{name} machine", MACHINES[machine], pe.FILE_HEADER.Machine)
    opt = pe.OPTIONAL_HEADER
    check(f"{name} OS version", (4, 0),
          (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion))
    check(f"{name} subsystem version", (4, 0),
          (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion))
    imports = sorted(e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))
    check(f"{name} imports", sorted(ALLOWED_IMPORTS), imports)
    check(f"{name} stripped (symbol table)", (0, 0),
          (pe.FILE_HEADER.PointerToSymbolTable, pe.FILE_HEADER.NumberOfSymbols))
    debug_sections = [s.Name.rstrip(b"\0").decode() for s in pe.sections
                      if s.Name.startswith(b".debug") or s.Name.startswith(b"/")]
    check(f"{name} debug sections", [], debug_sections)
    return imports


def check_dll(path, machine):
    pe = pefile.PE(path)
    common(path, pe, machine)
    check("dll characteristic", True, pe.is_dll())
    exports = {}
    for sym in getattr(pe, "DIRECTORY_ENTRY_EXPORT").symbols:
        exports[sym.ordinal] = sym.name.decode() if sym.name else None
    check("exports by ordinal", EXPORTS, exports)
    check("export DLL name", b"d418lib.dll",
          pe.get_string_at_rva(pe.DIRECTORY_ENTRY_EXPORT.struct.Name))
    shared = [s for s in pe.sections if s.Name.rstrip(b"\0") == b".Shared"]
    check(".Shared sections", 1, len(shared))
    if shared:
        section = shared[0]
        check(".Shared characteristics", hex(SHARED_CHARACTERISTICS),
              hex(section.Characteristics))
        check(".Shared size", 1, section.Misc_VirtualSize)
        check(".Shared initial byte", b"\0", section.get_data()[:1])


def check_exe(path, machine):
    pe = pefile.PE(path)
    imports = common(path, pe, machine)
    check("exe is a console program", 3, pe.OPTIONAL_HEADER.Subsystem)
    check("exe does not import the library", False, "d418lib.dll" in imports)
    check("exe exports nothing", False, hasattr(pe, "DIRECTORY_ENTRY_EXPORT"))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--exe", action="append", default=[])
    args = parser.parse_args()
    check_dll(args.dll, args.machine)
    for exe in args.exe:
        check_exe(exe, args.machine)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
