# Windows build: d418lib.dll with the real platform. Every program and the
# library land in one folder, so that programs find the library beside them.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
include(${CMAKE_CURRENT_LIST_DIR}/ReleaseRules.cmake)
# Programs that are not part of the release (test tools, benchmarks) link
# the compiler's run time statically.
set(D418_PE_LINK_OPTIONS -static-libgcc -static-libstdc++ ${D418_PE_VERSION_OPTIONS})

# InUseFlag: one zero byte that is the whole section .Shared (initialised
# data, shared, read, write), made as an object of its own so that nothing
# pads it.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(D418_BFD pe-i386 i386 _)  # C names carry a leading underscore on 32-bit x86
else()
  set(D418_BFD pe-x86-64 i386:x86-64 "")
endif()
list(GET D418_BFD 0 bfd_format)
list(GET D418_BFD 1 bfd_arch)
list(GET D418_BFD 2 symbol_prefix)
set(D418_SHARED_OBJ ${CMAKE_BINARY_DIR}/shared_section.obj)
add_custom_command(
  OUTPUT ${D418_SHARED_OBJ}
  COMMAND head -c 1 /dev/zero > shared_section.bin
  COMMAND ${D418_TRIPLE}-objcopy -I binary -O ${bfd_format} -B ${bfd_arch}
          --rename-section .data=.Shared,contents,alloc,load,data,share
          --set-section-alignment .Shared=1
          --redefine-sym _binary_shared_section_bin_start=${symbol_prefix}InUseFlag
          --strip-symbol _binary_shared_section_bin_end
          --strip-symbol _binary_shared_section_bin_size
          shared_section.bin ${D418_SHARED_OBJ}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  VERBATIM)

add_library(d418lib SHARED ${D418_LOGIC} lib/platform_win32.cpp lib/d418lib.def ${D418_SHARED_OBJ})
target_include_directories(d418lib PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/lib)
target_compile_options(d418lib PRIVATE $<$<COMPILE_LANGUAGE:CXX>:${D418_NO_EH}> -Wall -Wextra -O2)
d418_release_library(d418lib)
set_target_properties(d418lib PROPERTIES PREFIX "" IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")

install(TARGETS d418lib RUNTIME DESTINATION bin LIBRARY DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES include/d418lib.h DESTINATION include)

set(D418_PYTHON /usr/bin/python3)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(D418_MACHINE i386)
else()
  set(D418_MACHINE amd64)
endif()

include(diag/Windows.cmake)
# Before any folder that adds Wine tests: its settings are made once, here,
# where every folder sees them.
include(cmake/WineTest.cmake)
add_subdirectory(driver)

set(D418_PE_CHECK_ARGS --machine ${D418_MACHINE} --dll $<TARGET_FILE:d418lib>
    --exe $<TARGET_FILE:d418diag> --exe $<TARGET_FILE:d418cmd> --exe $<TARGET_FILE:d418inst>
    --sys $<TARGET_FILE:d418_sys>)
add_test(NAME pe_check COMMAND ${D418_PYTHON} ${PROJECT_SOURCE_DIR}/tests/pecheck.py ${D418_PE_CHECK_ARGS})
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  add_subdirectory(tests/planted)
endif()

# Both builds run here: the 64-bit one under Wine, the 32-bit release under
# 32-bit Wine through qemu-i386 (see cmake/WineTest.cmake).
add_subdirectory(sim/driver)
add_subdirectory(tests/wine)
add_subdirectory(tests/diag_wine)
add_subdirectory(tests/cmd_wine)
add_subdirectory(tests/inst_wine)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  add_subdirectory(bench/wine)
endif()
# Programs that must see Windows 98 from GetVersion.
add_test(NAME wine_win98_programs
         COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/wine-session win98 ${D418_WINEPREFIX}
                 ${D418_WIN98_PROGRAMS})
set_tests_properties(wine_win98_programs PROPERTIES
    FIXTURES_SETUP win98 FIXTURES_REQUIRED wine RESOURCE_LOCK d418_wineprefix)

# Version resources, the SDK package and its consumer test.
include(packaging/Package.cmake)
