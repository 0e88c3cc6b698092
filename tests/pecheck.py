#!/usr/bin/python3
"""Checks the PE headers and code of the built Windows binaries: machine
type, exports and their ordinals, the exact list of imported DLLs, version
fields, the shared section, that release binaries are stripped, and what a
release must hold to load and run on Windows 95 .. XP and on every processor
Windows 95 runs on:

  * no TLS directory in the library (Windows 95 refuses to load a DLL that
    has one) and none of the run time's start-up sections;
  * 32-bit only: every KERNEL32 import on the list of functions that
    Windows 95's KERNEL32 exports (WINDOWS95_KERNEL32 below);
  * 32-bit only: every instruction of every executable section within the
    i386 integer instruction set (check_instruction_set).

Prints one line per failed check and a closing "N passed, M failed" line.
For the kernel driver (--sys): the native subsystem, versions 4.0, the PE
checksum, and imports from NT 4.0's kernel and HAL only; the 32-bit driver
keeps to the i386 instruction set like the library.

Other checks import this module and use the *_problems functions and
check_instruction_set(path)."""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile

import pefile

from tally import check, summary

MACHINES = {"i386": 0x14C, "amd64": 0x8664}
EXPORTS = {1: "D418Init", 2: "D418ReadResponse", 3: "D418Reset",
           4: "D418SendCommand", 5: "D418Timeout"}
SHARED_CHARACTERISTICS = 0xD0000040

# The exact DLLs each kind of binary imports. The library has no C run
# time. The 32-bit programs use CRTDLL.DLL, which every Windows 95 and NT
# has (msvcrt.dll is missing before Windows 95 OSR2); the 64-bit ones keep
# msvcrt.dll.
DLL_IMPORTS = {"i386": ["kernel32.dll"], "amd64": ["kernel32.dll"]}
EXE_IMPORTS = {"i386": ["crtdll.dll", "kernel32.dll"],
               "amd64": ["kernel32.dll", "msvcrt.dll"]}

# Functions that the KERNEL32.DLL of the first Windows 95 release exports
# (the ANSI ones; its wide-character entries are mostly stubs that fail).
# Only what a program of this kind may call; extend it when a release binary
# needs one more, after making sure Windows 95 has it.
WINDOWS95_KERNEL32 = frozenset("""
    AddAtomA AllocConsole CloseHandle CompareStringA CopyFileA
    CreateDirectoryA CreateEventA CreateFileA CreateFileMappingA CreateMutexA
    CreatePipe CreateProcessA CreateSemaphoreA CreateThread
    DeleteCriticalSection DeleteFileA DeviceIoControl DuplicateHandle
    EnterCriticalSection ExitProcess ExitThread FileTimeToLocalFileTime
    FileTimeToSystemTime FindClose FindFirstFileA FindNextFileA
    FlushFileBuffers FormatMessageA FreeConsole FreeEnvironmentStringsA
    FreeLibrary GetACP GetCPInfo GetCommandLineA GetConsoleMode
    GetCurrentDirectoryA GetCurrentProcess GetCurrentProcessId
    GetCurrentThread GetCurrentThreadId GetEnvironmentStrings
    GetEnvironmentVariableA GetExitCodeProcess GetFileAttributesA GetFileSize
    GetFileType GetFullPathNameA GetLastError GetLocalTime GetModuleFileNameA
    GetModuleHandleA GetOEMCP GetProcAddress GetProcessHeap GetStartupInfoA
    GetStdHandle GetSystemDirectoryA GetSystemInfo GetSystemTime
    GetSystemTimeAsFileTime GetTempPathA GetTickCount GetVersion GetVersionExA
    GetWindowsDirectoryA GlobalAlloc GlobalFree GlobalLock GlobalUnlock
    HeapAlloc HeapCreate HeapDestroy HeapFree HeapReAlloc HeapSize
    InitializeCriticalSection InterlockedDecrement InterlockedExchange
    InterlockedIncrement IsBadReadPtr IsBadWritePtr LeaveCriticalSection
    LoadLibraryA LocalAlloc LocalFree MoveFileA MultiByteToWideChar
    OpenProcess OutputDebugStringA QueryPerformanceCounter
    QueryPerformanceFrequency RaiseException ReadConsoleA ReadFile
    ReleaseMutex RemoveDirectoryA ResetEvent RtlUnwind SetConsoleCtrlHandler
    SetConsoleMode SetCurrentDirectoryA SetEndOfFile SetEnvironmentVariableA
    SetEvent SetFilePointer SetHandleCount SetLastError SetStdHandle
    SetUnhandledExceptionFilter Sleep TerminateProcess TlsAlloc TlsFree
    TlsGetValue TlsSetValue UnhandledExceptionFilter VirtualAlloc VirtualFree
    VirtualProtect VirtualQuery WaitForMultipleObjects WaitForSingleObject
    WideCharToMultiByte WriteConsoleA WriteFile lstrcmpA lstrcmpiA lstrcpyA
    lstrlenA
""".split())

# The i386 integer instruction set as objdump names it in Intel syntax:
# everything a 386 runs, without the x87 (a 386 or 486SX may have none),
# and without what came later: the 486's bswap, cmpxchg, xadd, invd,
# wbinvd and invlpg, the Pentium's cpuid, rdtsc, rdmsr, wrmsr and
# cmpxchg8b, the Pentium Pro's cmov, fcmov, ud2 and multi-byte nop, and
# every MMX and SSE instruction.
I386_MNEMONICS = frozenset("""
    mov movzx movsx xchg lea push pop pusha pushad popa popad pushf pushfd
    popf popfd lahf sahf cbw cwde cwd cdq xlat xlatb
    add adc sub sbb inc dec neg cmp mul imul div idiv daa das aaa aas aam aad
    and or xor not test shl sal shr sar rol ror rcl rcr shld shrd
    bt bts btr btc bsf bsr
    seta setae setb setbe setc sete setg setge setl setle setna setnae setnb
    setnbe setnc setne setng setnge setnl setnle setno setnp setns setnz seto
    setp setpe setpo sets setz
    jmp ja jae jb jbe jc je jg jge jl jle jna jnae jnb jnbe jnc jne jng jnge
    jnl jnle jno jnp jns jnz jo jp jpe jpo js jz jcxz jecxz
    loop loope loopne loopz loopnz call ret retf leave enter int int3 into
    iret iretd bound nop hlt
    clc stc cmc cld std cli sti
    movs movsb movsw movsd stos stosb stosw stosd lods lodsb lodsw lodsd
    scas scasb scasw scasd cmps cmpsb cmpsw cmpsd ins insb insw insd
    outs outsb outsw outsd in out
    lds les lfs lgs lss
    lgdt sgdt lidt sidt lldt sldt ltr str lmsw smsw clts lar lsl verr verw arpl
""".split())

PREFIXES = frozenset("rep repz repnz repe repne lock data16 addr16 data32 addr32 "
                     "cs ds es ss fs gs".split())
# Operands that name x87, MMX or SSE registers (movsd and cmpsd are both a
# string instruction and an SSE2 one).
NON_INTEGER_REGISTER = re.compile(r"\b(?:[xyz]mm\d+|mm\d|st(?:\(\d\))?|k[0-7])\b")
INSTRUCTION_LINE = re.compile(r"^\s*([0-9a-f]+):\s+(.*?)\s*$")

IMAGE_DIRECTORY_ENTRY_TLS = 9
IMAGE_SCN_CNT_CODE = 0x20
IMAGE_SCN_MEM_EXECUTE = 0x20000000
OBJDUMP = "i686-w64-mingw32-objdump"


def imported_dlls(pe):
    return sorted(e.dll.decode().lower() for e in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []))


def import_problems(pe, expected):
    """Differences between the imported DLLs and the expected list."""
    got = imported_dlls(pe)
    return ([f"imports {d}" for d in got if d not in expected] +
            [f"does not import {d}" for d in expected if d not in got])


def tls_problems(pe):
    """A TLS directory, and sections that only a TLS variable or the run
    time's start-up code bring into an image."""
    problems = []
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[IMAGE_DIRECTORY_ENTRY_TLS]
    if directory.VirtualAddress or directory.Size:
        problems.append(f"TLS directory at RVA {directory.VirtualAddress:#x}, "
                        f"{directory.Size} bytes")
    for section in pe.sections:
        name = section.Name.rstrip(b"\0").decode(errors="replace")
        if name in (".tls", ".CRT"):
            problems.append(f"section {name}")
    return problems


def kernel32_problems(pe):
    """KERNEL32 imports that Windows 95's KERNEL32 does not export (or that
    are imported by ordinal, which differ between Windows versions)."""
    problems = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        if entry.dll.decode().lower() != "kernel32.dll":
            continue
        for imp in entry.imports:
            if imp.name is None:
                problems.append(f"KERNEL32 ordinal {imp.ordinal}")
            elif imp.name.decode() not in WINDOWS95_KERNEL32:
                problems.append(f"KERNEL32 {imp.name.decode()}")
    return problems


def constructor_lists_start(data, image_base, image_size):
    """Where the linker's two constructor and destructor lists begin, when
    they close the code section: each a -1, addresses inside the image and
    a closing 0. They are data, not code. Returns len(data) otherwise."""
    if len(data) % 4:
        return len(data)
    words = struct.unpack(f"<{len(data) // 4}I", data)
    end = len(words)

    def list_start(end):  # a list that ends just before words[end]
        if end < 2 or words[end - 1] != 0:
            return None
        i = end - 2
        while i >= 0 and words[i] != 0xFFFFFFFF:
            if not image_base <= words[i] < image_base + image_size:
                return None
            i -= 1
        return i if i >= 0 else None

    dtors = list_start(end)
    ctors = list_start(dtors) if dtors is not None else None
    return len(data) if ctors is None else ctors * 4


def disassemble(code, address, objdump_machine):
    with tempfile.NamedTemporaryFile(suffix=".bin") as raw:
        raw.write(code)
        raw.flush()
        out = subprocess.run(
            [OBJDUMP, "-D", "-b", "binary", "-m", objdump_machine, "-M", "intel",
             "--no-show-raw-insn", f"--adjust-vma={address:#x}", raw.name],
            check=True, capture_output=True, text=True).stdout
    for line in out.splitlines():
        match = INSTRUCTION_LINE.match(line)
        if match:
            yield int(match.group(1), 16), match.group(2)


def instruction_problems(path):
    """Instructions outside the i386 integer set in the executable sections
    of a 32-bit image, one "section address: instruction" line each."""
    pe = pefile.PE(path)
    base = pe.OPTIONAL_HEADER.ImageBase
    problems = []
    for section in pe.sections:
        if not section.Characteristics & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE):
            continue
        name = section.Name.rstrip(b"\0").decode(errors="replace")
        data = section.get_data()[:section.Misc_VirtualSize]
        code = data[:constructor_lists_start(data, base, pe.OPTIONAL_HEADER.SizeOfImage)]
        for address, text in disassemble(code, base + section.VirtualAddress, "i386"):
            words = text.split(None, 1)
            while words and words[0] in PREFIXES:
                words = words[1].split(None, 1) if len(words) > 1 else []
            if not words:
                continue  # a prefix on its own line; what follows is checked
            mnemonic, operands = words[0], (words[1] if len(words) > 1 else "")
            bad = (mnemonic not in I386_MNEMONICS
                   or NON_INTEGER_REGISTER.search(operands)
                   or (mnemonic == "nop" and operands))  # a multi-byte nop
            if bad:
                problems.append(f"{name} {address:#x}: {text}")
    return problems


def check_instruction_set(path):
    """The check that every instruction of a 32-bit image's executable
    sections is within the i386 integer set; also for the driver."""
    problems = instruction_problems(path)
    # The first few are enough to find the cause.
    check(f"{os.path.basename(path)} i386 instructions", [], problems[:10])
    return problems


def common(path, pe, machine):
    name = os.path.basename(path)
    check(f"{name} machine", MACHINES[machine], pe.FILE_HEADER.Machine)
    opt = pe.OPTIONAL_HEADER
    check(f"{name} OS version", (4, 0),
          (opt.MajorOperatingSystemVersion, opt.MinorOperatingSystemVersion))
    check(f"{name} subsystem version", (4, 0),
          (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion))
    check(f"{name} stripped (symbol table)", (0, 0),
          (pe.FILE_HEADER.PointerToSymbolTable, pe.FILE_HEADER.NumberOfSymbols))
    debug_sections = [s.Name.rstrip(b"\0").decode() for s in pe.sections
                      if s.Name.startswith(b".debug") or s.Name.startswith(b"/")]
    check(f"{name} debug sections", [], debug_sections)
    if machine == "i386":
        check(f"{name} KERNEL32 imports that Windows 95 lacks", [], kernel32_problems(pe))
        check_instruction_set(path)


def check_dll(path, machine):
    pe = pefile.PE(path)
    common(path, pe, machine)
    check("dll imports", [], import_problems(pe, DLL_IMPORTS[machine]))
    check("dll TLS and start-up", [], tls_problems(pe))
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
    name = os.path.basename(path)
    common(path, pe, machine)
    check(f"{name} imports", [], import_problems(pe, EXE_IMPORTS[machine]))
    check(f"{name} is a console program", 3, pe.OPTIONAL_HEADER.Subsystem)
    check(f"{name} does not import the library", False, "d418lib.dll" in imported_dlls(pe))
    check(f"{name} exports nothing", False, hasattr(pe, "DIRECTORY_ENTRY_EXPORT"))


# What the driver may import: functions that NT 4.0's ntoskrnl.exe and
# HAL.dll export (a driver importing anything else fails to load there).
NT4_EXPORTS = {
    "ntoskrnl.exe": {
        "DbgPrint", "ExAllocatePool", "ExAllocatePoolWithTag", "ExFreePool",
        "InterlockedDecrement", "InterlockedExchange", "InterlockedIncrement",
        "IoAcquireCancelSpinLock", "IoAllocateIrp", "IoCreateDevice",
        "IoCreateSymbolicLink", "IoDeleteDevice", "IoDeleteSymbolicLink",
        "IoFreeIrp", "IoGetCurrentProcess", "IoReleaseCancelSpinLock",
        # In the NT 4.0 DDK and exported since NT 3.x (the NT 4.0 driver
        # notes list them as certain): the configuration read, the port
        # claim and the open's access check.
        "IoReportResourceUsage", "RtlQueryRegistryValues", "SeAccessCheck",
        # The NT 4.0 DDK's close of a kernel handle: its own description of
        # PsCreateSystemThread and ZwOpenKey (both certain) tells the driver
        # to close the handle they give with it.
        "ZwClose",
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
        # The release keeps to the i386 instruction set, like the library.
        check_instruction_set(path)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--machine", choices=sorted(MACHINES), required=True)
    parser.add_argument("--dll", required=True)
    parser.add_argument("--exe", action="append", default=[],
                        help="a console program of the release; give it once per program")
    parser.add_argument("--sys", action="append", default=[],
                        help="a kernel driver of the release")
    args = parser.parse_args()
    check_dll(args.dll, args.machine)
    for exe in args.exe:
        check_exe(exe, args.machine)
    for sys_path in args.sys:
        check_sys(sys_path, args.machine)
    return summary()


if __name__ == "__main__":
    sys.exit(main())
