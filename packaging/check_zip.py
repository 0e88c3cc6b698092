#!/usr/bin/python3
"""Checks that the package ZIP holds exactly the SDK's files, at its top
level (no enclosing folder). Prints one line per failed check and a closing
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
    "bin/d418lib.dll",
    "include/d418lib.h",
    "lib/cmake/d418lib/d418libConfig.cmake",
    "lib/cmake/d418lib/d418libConfigVersion.cmake",
    "lib/d418lib.lib",
    "lib/libd418lib.dll.a",
]


def main():
    if len(sys.argv) != 2:
        print("usage: check_zip.py PACKAGE.zip")
        return 2
    with zipfile.ZipFile(sys.argv[1]) as archive:
        names = archive.namelist()
        bad = archive.testzip()
    files = sorted(n for n in names if not n.endswith("/"))
    # Folder entries may appear, but only for folders that hold a file.
    parents = {f.rsplit("/", i)[0] + "/" for f in files for i in range(1, f.count("/") + 1)}
    stray_dirs = sorted(n for n in names if n.endswith("/") and n not in parents)
    check("files", FILES, files)
    check("folders without files", [], stray_dirs)
    check("damaged member", None, bad)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
