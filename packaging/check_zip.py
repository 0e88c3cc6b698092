#!/usr/bin/python3
"""Checks that the package ZIP holds exactly the SDK's files, at its top
level (no enclosing folder), and that its driver is the board's kernel
driver for the package's architecture (with --machine). Prints one line per failed check and a closing
"N passed, M failed" line."""
import os
import sys
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests"))
from tally import check, summary  # noqa: E402

FILES = [
    "README.md",
    "bin/d418cmd.exe",
    "bin/d418diag.exe",
    "bin/d418inst.exe",
    "bin/d418lib.dll",
    "driver/d418.inf",
    "driver/d418.sys",
    "include/d418lib.h",
    "lib/cmake/d418lib/d418libConfig.cmake",
    "lib/cmake/d418lib/d418libConfigVersion.cmake",
    "lib/d418lib.lib",
    "lib/libd418lib.dll.a",
]


MACHINES = {"i386": 0x14C, "amd64": 0x8664}
NATIVE_SUBSYSTEM = 1


def main():
    args = sys.argv[1:]
    machine = None
    if len(args) == 3 and args[1] == "--machine" and args[2] in MACHINES:
        machine = args[2]
        args = args[:1]
    if len(args) != 1:
        print("usage: check_zip.py PACKAGE.zip [--machine i386|amd64]")
        return 2
    with zipfile.ZipFile(args[0]) as archive:
        names = archive.namelist()
        bad = archive.testzip()
        driver = archive.read("driver/d418.sys") if "driver/d418.sys" in names else None
    files = sorted(n for n in names if not n.endswith("/"))
    # Folder entries may appear, but only for folders that hold a file.
    parents = {f.rsplit("/", i)[0] + "/" for f in files for i in range(1, f.count("/") + 1)}
    stray_dirs = sorted(n for n in names if n.endswith("/") and n not in parents)
    check("files", FILES, files)
    check("folders without files", [], stray_dirs)
    check("damaged member", None, bad)
    if machine and driver:
        import pefile
        pe = pefile.PE(data=driver)
        check("driver machine", MACHINES[machine], pe.FILE_HEADER.Machine)
        check("driver subsystem", NATIVE_SUBSYSTEM, pe.OPTIONAL_HEADER.Subsystem)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
