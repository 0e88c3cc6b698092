#!/usr/bin/python3
"""Checks the version resource of d418lib.dll, d418diag.exe, d418cmd.exe and
d418inst.exe: the fixed
version numbers, file type and OS, every string-table entry, and the
translation. Prints one line per failed check and a closing
"N passed, M failed" line."""
import argparse
import os
import sys

import pefile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from tally import check, summary  # noqa: E402

SIGNATURE = 0xFEEF04BD
VOS__WINDOWS32 = 0x4
VFT_APP, VFT_DLL = 1, 2
LANG_CODEPAGE = "040904e4"  # U.S. English, code page 1252
TRANSLATION = (0x409, 1252)

# What differs between the binaries; the rest is common to all.
BINARIES = {
    "dll": {"type": VFT_DLL, "FileDescription": "D418 board access library",
            "InternalName": "d418lib", "OriginalFilename": "d418lib.dll"},
    "exe": {"type": VFT_APP, "FileDescription": "D418 board diagnostic",
            "InternalName": "d418diag", "OriginalFilename": "d418diag.exe"},
    "cmd": {"type": VFT_APP, "FileDescription": "D418 board command tool",
            "InternalName": "d418cmd", "OriginalFilename": "d418cmd.exe"},
    "inst": {"type": VFT_APP, "FileDescription": "D418 board driver installer",
             "InternalName": "d418inst", "OriginalFilename": "d418inst.exe"},
}

def check_binary(path, kind, version):
    name = path.rsplit("/", 1)[-1]
    want = BINARIES[kind]
    pe = pefile.PE(path)
    fixed_list = getattr(pe, "VS_FIXEDFILEINFO", None)
    check(f"{name} has one fixed version block", 1, len(fixed_list or []))
    if not fixed_list:
        return
    fixed = fixed_list[0]
    major, minor, patch = (int(p) for p in version.split("."))
    ms, ls = (major << 16) | minor, patch << 16
    check(f"{name} fixed signature", hex(SIGNATURE), hex(fixed.Signature))
    check(f"{name} file version", (ms, ls), (fixed.FileVersionMS, fixed.FileVersionLS))
    check(f"{name} product version", (ms, ls),
          (fixed.ProductVersionMS, fixed.ProductVersionLS))
    check(f"{name} file flags", 0, fixed.FileFlags & fixed.FileFlagsMask)
    check(f"{name} file OS", VOS__WINDOWS32, fixed.FileOS)
    check(f"{name} file type", want["type"], fixed.FileType)

    tables, translations = [], []
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            key = entry.Key.decode() if isinstance(entry.Key, bytes) else entry.Key
            if key == "StringFileInfo":
                tables.extend(entry.StringTable)
            elif key == "VarFileInfo":
                for var in entry.Var:
                    value = var.entry.get(b"Translation")
                    if value is not None:
                        translations.append(tuple(int(v, 16) for v in value.split()))
    check(f"{name} string tables", [LANG_CODEPAGE], [t.LangID.decode().lower() for t in tables])
    strings = {k.decode(): v.decode() for k, v in tables[0].entries.items()} if tables else {}
    check(f"{name} strings", {
        "CompanyName": "D418 project",
        "FileDescription": want["FileDescription"],
        "FileVersion": version,
        "InternalName": want["InternalName"],
        "LegalCopyright": "Copyright (C) the D418 project",
        "OriginalFilename": want["OriginalFilename"],
        "ProductName": "d418lib",
        "ProductVersion": version,
    }, strings)
    check(f"{name} translation", [TRANSLATION], translations)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--version", required=True, help="MAJOR.MINOR.PATCH")
    parser.add_argument("--dll", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--cmd", required=True)
    parser.add_argument("--inst", required=True)
    args = parser.parse_args()
    check_binary(args.dll, "dll", args.version)
    check_binary(args.exe, "exe", args.version)
    check_binary(args.cmd, "cmd", args.version)
    check_binary(args.inst, "inst", args.version)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
