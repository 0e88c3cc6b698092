# Ddk.cmake - finds the kernel headers (ntddk.h, wdm.h) in the ddk folder
# beside the cross toolchain's own headers: D418_DDK_INCLUDE_DIR.
include_guard(GLOBAL)

set(D418_DDK_INCLUDE_DIR "" CACHE PATH "Folder holding ntddk.h and wdm.h")
if(NOT D418_DDK_INCLUDE_DIR)
    foreach(dir IN LISTS CMAKE_C_IMPLICIT_INCLUDE_DIRECTORIES)
        if(EXISTS "${dir}/ddk/ntddk.h")
            set(D418_DDK_INCLUDE_DIR "${dir}/ddk" CACHE PATH
                "Folder holding ntddk.h and wdm.h" FORCE)
            break()
        endif()
    endforeach()
endif()
if(NOT D418_DDK_INCLUDE_DIR)
    message(FATAL_ERROR "ntddk.h not found; set D418_DDK_INCLUDE_DIR")
endif()
