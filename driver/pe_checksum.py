#!/usr/bin/python3
"""Writes the PE checksum of a linked image into its optional header (the
linker leaves it 0; NT's loader checks it for kernel drivers)."""
import sys

import pefile


def main():
    path = sys.argv[1]
    pe = pefile.PE(path)
    pe.OPTIONAL_HEADER.CheckSum = pe.generate_checksum()
    data = pe.write()
    pe.close()
    with open(path, "wb") as f:
        f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
