#!/usr/bin/env bash
# Checks d418lib.lib, the Microsoft-format import library: compiles
# tests/consumer/msvc_consumer.c for the Microsoft ABI with clang, links it
# with lld-link against d418lib.lib alone (no C runtime, no other library),
# and reads the program's import table: exactly the five exports, by their
# undecorated names, from d418lib.dll. On 32-bit x86 the object refers to
# the decorated __imp__D418Init etc., so a link that succeeds shows that the
# library maps those to the DLL's plain names.
#
#   check_msvc_import.sh MACHINE CLANG LLD_LINK IMPLIB INCLUDE_DIR SOURCE OUT_DIR [DLL]
#
# MACHINE is i386 or amd64. The program is OUT_DIR/msvc_consumer.exe; with
# DLL, that file is copied beside it so that the program can be run.
set -eu
[ $# -ge 7 ] || {
    echo "usage: check_msvc_import.sh MACHINE CLANG LLD_LINK IMPLIB INCLUDE_DIR SOURCE OUT_DIR [DLL]" >&2
    exit 2
}
machine=$1 clang=$2 lld_link=$3 implib=$4 include_dir=$5 source=$6 out=$7 dll=${8:-}
case "$machine" in
i386) target=i686-pc-windows-msvc link_machine=x86 march=i386 ;;
amd64) target=x86_64-pc-windows-msvc link_machine=x64 march= ;;
*) echo "unknown machine $machine" >&2; exit 2 ;;
esac

rm -rf "$out"
mkdir -p "$out"
"$clang" --target="$target" ${march:+-march=$march} -ffreestanding -fno-stack-protector -O2 -Wall -Werror \
    -I "$include_dir" -c "$source" -o "$out/msvc_consumer.obj"
"$lld_link" /nologo /entry:consumer_entry /nodefaultlib /subsystem:console \
    /machine:"$link_machine" /out:"$out/msvc_consumer.exe" \
    "$out/msvc_consumer.obj" "$implib"
[ -z "$dll" ] || cp "$dll" "$out/"

PYTHONPATH="$(dirname "$0")/../tests" /usr/bin/python3 - "$out/msvc_consumer.exe" "$machine" <<'PY'
import sys

from tally import check, summary

import pefile

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
NAMES = ["D418Init", "D418ReadResponse", "D418Reset", "D418SendCommand", "D418Timeout"]

pe = pefile.PE(sys.argv[1])
imports = {}
for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
    imports[entry.dll.decode()] = sorted(
        i.name.decode() if i.name else f"#{i.ordinal}" for i in entry.imports)
check("machine", MACHINES[sys.argv[2]], pe.FILE_HEADER.Machine)
check("imports", {"d418lib.dll": NAMES}, imports)
sys.exit(summary())
PY
