# ReleaseRules.cmake - how the release binaries are built so that they load
# and run on every system and processor the release is for (Windows 95, 98,
# Me, NT 4.0, 2000, XP; 386 class processors and up).
#
#   d418_release_library(TARGET)
#       A DLL without the C run time: DllMain is the image's entry point, and
#       nothing of the run time's start-up is linked (it would bring a TLS
#       directory, which Windows 95 refuses to load, an import of
#       msvcrt.dll, which early Windows 95 lacks, and Pentium Pro
#       instructions on 32-bit x86). It links KERNEL32 and, for the stack
#       probe, libgcc; lib/compiler_support_win32.c gives the block copy and
#       fill.
#   d418_console_program(TARGET)
#       A console program. On 32-bit x86 it imports KERNEL32.dll and
#       CRTDLL.DLL only (CRTDLL.DLL is on every Windows 95 and NT), and its
#       start-up is diag/console_start.c, not the run time's prebuilt one.
#       The 64-bit build keeps the usual start-up and msvcrt.dll.
#
# Both declare OS and subsystem version 4.0 and strip the image. On 32-bit
# x86 the code is compiled for general registers only, so that no x87, MMX
# or SSE instruction can appear; the toolchain file sets -march=i386. Object
# libraries that go into a release binary take D418_RELEASE_COMPILE_OPTIONS
# themselves.

include_guard(GLOBAL)

set(D418_RELEASE_DIR ${CMAKE_CURRENT_LIST_DIR}/..)
get_filename_component(D418_RELEASE_DIR "${D418_RELEASE_DIR}" ABSOLUTE)

set(D418_PE_VERSION_OPTIONS
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
    -s)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  # No unwind tables either: nothing in these images would register them.
  set(D418_RELEASE_COMPILE_OPTIONS -mgeneral-regs-only -fno-asynchronous-unwind-tables)
  set(D418_DLL_ENTRY _DllMain@12)        # stdcall, three arguments
  set(D418_PROGRAM_ENTRY _ConsoleStart)  # C names carry a leading underscore
else()
  set(D418_RELEASE_COMPILE_OPTIONS)
  set(D418_DLL_ENTRY DllMain)
endif()

function(d418_release_library TARGET)
  target_sources(${TARGET} PRIVATE ${D418_RELEASE_DIR}/lib/compiler_support_win32.c)
  target_compile_options(${TARGET} PRIVATE ${D418_RELEASE_COMPILE_OPTIONS})
  # No pseudo-relocations: an import that would need one fails the link
  # instead of calling for the run time's relocation code.
  target_link_options(${TARGET} PRIVATE
      -nostdlib -Wl,--entry=${D418_DLL_ENTRY}
      -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc
      ${D418_PE_VERSION_OPTIONS})
  target_link_libraries(${TARGET} PRIVATE kernel32 gcc)
endfunction()

function(d418_console_program TARGET)
  if(NOT CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    target_compile_definitions(${TARGET} PRIVATE __USE_MINGW_ANSI_STDIO=0)
    target_link_options(${TARGET} PRIVATE
        -static-libgcc -static-libstdc++ ${D418_PE_VERSION_OPTIONS})
    return()
  endif()
  target_sources(${TARGET} PRIVATE ${D418_RELEASE_DIR}/diag/console_start.c)
  # printf and the rest bind to the run-time DLL's own functions, not to
  # MinGW's replacements.
  target_compile_definitions(${TARGET} PRIVATE __USE_MINGW_ANSI_STDIO=0)
  target_compile_options(${TARGET} PRIVATE ${D418_RELEASE_COMPILE_OPTIONS})
  target_link_options(${TARGET} PRIVATE
      -nostdlib -nostartfiles -Wl,--entry=${D418_PROGRAM_ENTRY}
      -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc
      ${D418_PE_VERSION_OPTIONS})
  target_link_libraries(${TARGET} PRIVATE crtdll kernel32 gcc crtdll)
endfunction()
