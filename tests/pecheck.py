#!/usr/bin/python3
"""Checks the PE headers of the built Windows binaries: machine type,
exports and their ordinals, imports, version fields, the shared section,
and that release binaries are stripped; for the kernel driver (--sys) the
native subsystem, the PE checksum and imports from NT 4.0's kernel and HAL. Prints one line per failed check and
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


# What the driver may import: functions that NT 4.0's ntoskrnl.exe and
# HAL.dll export (a driver importing anything else fails to load there).
NT4_EXPORTS = {
    "ntoskrnl.exe": {
        "DbgPrint", "ExAllocatePool", "ExAllocatePoolWithTag", "ExFreePool",
        "InterlockedDecrement", "InterlockedExchange", "InterlockedIncrement",
        "IoAcquireCancelSpinLock", "IoAllocateIrp", "IoCreateDevice",
        "IoCreateSymbolicLink", "IoDeleteDevice", "IoDeleteSymbolicLink",
        "IoFreeIrp", "IoGetCurrentProcess", "IoReleaseCancelSpinLock",
        "IofCallDriver", "IofCompleteRequest", "KeCancelTimer",
        "KeDelayExecutionThread", "KeGetCurrentThread", "KeInitializeEvent",
        "KeInitializeSpinLock", "KeInitializeTimer", "KeQuerySystemTime",
        "KeResetEvent", "KeSetEvent", "KeSetTimer", "KeWaitForMultipleObjects",
        "KeWaitForSingleObject", "ObReferenceObjectByHandle",
        "ObfDereferenceObject", "PsCreateSystemThread", "PsTerminateSystemThread",
        "RtlCopyUnicodeString", "RtlInitUnicodeString", "memcpy", "memmove",
        "memset",
    },
    "hal.dll": {
        "KeGetCurrentIrql", "KfAcquireSpinLock", "KfLowerIrql", "KfRaiseIrql",
        "KfReleaseSpinLock", "READ_PORT_UCHAR", "READ_PORT_ULONG",
        "READ_PORT_USHORT", "WRITE_PORT_UCHAR", "WRITE_PORT_ULONG",
        "WRITE_PORT_USHORT",
    },
}
NATIVE_SUBSYSTEM = 1


def pe_checksum(data, checksum_offset):
    """The PE image checksum: the file summed as 16-bit little-endian words
    with end-around carry, the checksum field itself counted as zero, plus
    the file's length."""
    total = 0
    padded = data + b"\0" * (len(data) % 2)
    for i in range(0, len(padded), 2):
        if checksum_offset <= i < checksum_offset + 4:
            continue
        total += padded[i] | (padded[i + 1] << 8)
        total = (total & 0xFFFF) + (total >> 16)
    total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF


def check_sys(path, machine):
    pe = pefile.PE(path)
    name = path.rsplit("/", 1)[-1]
    check(f"{name} machine", MACHINES[machine], pe.FILE_HEADER.Machine)
    opt = pe.OPTIONAL_HEADER
    check(f"{name} native subsystem", NATIVE_SUBSYSTEM, opt.Subsystem)
    check(f"{name} OS version", (4, 0),
          (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion))
    check(f"{name} subsystem version", (4, 0),
          (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion))
    with open(path, "rb") as f:
        data = f.read()
    checksum_offset = pe.DOS_HEADER.e_lfanew + 4 + 20 + 64
    check(f"{name} PE checksum", hex(pe_checksum(data, checksum_offset)), hex(opt.CheckSum))
    check(f"{name} checksum set", True, opt.CheckSum != 0)
    check(f"{name} has an entry point", True, opt.AddressOfEntryPoint != 0)
    relocations = opt.DATA_DIRECTORY[pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_BASERELOC"]]
    check(f"{name} relocatable", True, relocations.Size > 0)
    check(f"{name} stripped (symbol table)", (0, 0),
          (pe.FILE_HEADER.PointerToSymbolTable, pe.FILE_HEADER.NumberOfSymbols))
    imports = {}
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        functions = {i.name.decode() if i.name else f"#{i.ordinal}" for i in entry.imports}
        imports.setdefault(entry.dll.decode().lower(), set()).update(functions)
    check(f"{name} imports only the kernel and the HAL", [],
          sorted(set(imports) - set(NT4_EXPORTS)))
    for dll, functions in sorted(imports.items()):
        check(f"{name} imports from {dll} that NT 4.0 lacks", [],
              sorted(functions - NT4_EXPORTS.get(dll, set())))
    if machine == "i386":
        check(f"{name} imports the port functions from the HAL",
              {"READ_PORT_UCHAR", "WRITE_PORT_UCHAR"},
              imports.get("hal.dll", set()) & {"READ_PORT_UCHAR", "WRITE_PORT_UCHAR"})
        # The release keeps to the i386 instruction set, checked like the
        # library's (a tree without that check says so instead).
        instruction_set = globals().get("check_instruction_set")
        if instruction_set:
            instruction_set(path)
        else:
            print(f"note: {name}: no instruction-set check in this tree")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--exe", action="append", default=[])
    parser.add_argument("--sys", action="append", default=[])
    args = parser.parse_args()
    check_dll(args.dll, args.machine)
    for exe in args.exe:
        check_exe(exe, args.machine)
    for sys_path in args.sys:
        check_sys(sys_path, args.machine)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
