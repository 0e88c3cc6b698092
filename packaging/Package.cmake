# Package.cmake - included at the end of cmake/Windows.cmake (after the
# targets d418lib and, when present, d418diag, d418cmd and d418inst exist):
#
#   * version resources for d418lib.dll, d418diag.exe, d418cmd.exe and
#     d418inst.exe
#   * d418lib.lib, a Microsoft-format import library made from lib/d418lib.def
#   * the CMake package (lib/cmake/d418lib) with the imported target
#     d418lib::d418lib
#   * the SDK ZIP made by CPack: d418lib-<version>-win32.zip (windows-x86)
#     or d418lib-<version>-win64.zip (windows-x64)
#   * tests of all of these

set(D418_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(D418_PACKAGING_BINARY_DIR ${CMAKE_BINARY_DIR}/packaging)

# ---- Version resources ------------------------------------------------------

enable_language(RC)
configure_file(${D418_PACKAGING_DIR}/d418lib.rc.in ${D418_PACKAGING_BINARY_DIR}/d418lib.rc @ONLY)
target_sources(d418lib PRIVATE ${D418_PACKAGING_BINARY_DIR}/d418lib.rc)
if(TARGET d418diag)
  foreach(program d418diag d418cmd d418inst)
    configure_file(${D418_PACKAGING_DIR}/${program}.rc.in ${D418_PACKAGING_BINARY_DIR}/${program}.rc
                   @ONLY)
    target_sources(${program} PRIVATE ${D418_PACKAGING_BINARY_DIR}/${program}.rc)
  endforeach()
  add_test(NAME package_version_info
           COMMAND ${D418_PYTHON} ${D418_PACKAGING_DIR}/check_version.py
                   --version ${PROJECT_VERSION} --dll $<TARGET_FILE:d418lib>
                   --exe $<TARGET_FILE:d418diag> --cmd $<TARGET_FILE:d418cmd>
                   --inst $<TARGET_FILE:d418inst>)
endif()

# ---- d418lib.lib ------------------------------------------------------------

# Microsoft's linker needs an import library of its own format. It is made
# from the same module-definition file as the DLL's exports. On 32-bit x86
# the C names of the cdecl exports carry a leading underscore (_D418Init):
# llvm-dlltool adds it to the library's symbols and records the import as
# "name without prefix", so the program imports the DLL's plain D418Init.
find_program(D418_LLVM_DLLTOOL NAMES llvm-dlltool llvm-dlltool-14)
if(NOT D418_LLVM_DLLTOOL)
  message(FATAL_ERROR "llvm-dlltool not found (Debian package llvm); it makes lib/d418lib.lib")
endif()
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(D418_DLLTOOL_MACHINE i386)
else()
  set(D418_DLLTOOL_MACHINE i386:x86-64)
endif()
set(D418_MSVC_IMPLIB ${CMAKE_BINARY_DIR}/d418lib.lib)
add_custom_command(
  OUTPUT ${D418_MSVC_IMPLIB}
  COMMAND ${D418_LLVM_DLLTOOL} -m ${D418_DLLTOOL_MACHINE}
          -d ${PROJECT_SOURCE_DIR}/lib/d418lib.def -l ${D418_MSVC_IMPLIB}
  DEPENDS ${PROJECT_SOURCE_DIR}/lib/d418lib.def
  VERBATIM)
add_custom_target(d418lib_msvc_implib ALL DEPENDS ${D418_MSVC_IMPLIB})

# A Microsoft-ABI program linked against it with lld-link imports the five
# names from d418lib.dll.
find_program(D418_CLANG NAMES clang clang-14)
find_program(D418_LLD_LINK NAMES lld-link lld-link-14)
set(D418_MSVC_CONSUMER_DIR ${CMAKE_BINARY_DIR}/msvc_consumer)
add_test(NAME package_msvc_import
         COMMAND bash ${D418_PACKAGING_DIR}/check_msvc_import.sh ${D418_MACHINE}
                 ${D418_CLANG} ${D418_LLD_LINK} ${D418_MSVC_IMPLIB}
                 ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/tests/consumer/msvc_consumer.c
                 ${D418_MSVC_CONSUMER_DIR} $<TARGET_FILE:d418lib>)
set_tests_properties(package_msvc_import PROPERTIES FIXTURES_SETUP d418_msvc_consumer)

# ---- Install rules beyond the library's own ---------------------------------

include(CMakePackageConfigHelpers)
write_basic_package_version_file(
  ${D418_PACKAGING_BINARY_DIR}/d418libConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES ${D418_MSVC_IMPLIB} DESTINATION lib)
install(FILES ${D418_PACKAGING_DIR}/d418libConfig.cmake
              ${D418_PACKAGING_BINARY_DIR}/d418libConfigVersion.cmake
        DESTINATION lib/cmake/d418lib)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)

# ---- The ZIP ----------------------------------------------------------------

# CPACK_INCLUDE_TOPLEVEL_DIRECTORY is OFF: the ZIP's root is the install
# prefix itself (bin/, driver/, include/, lib/, README.md), so unpacking it into a
# folder makes that folder a prefix for CMAKE_PREFIX_PATH.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(D418_PACKAGE_SYSTEM win32)
else()
  set(D418_PACKAGE_SYSTEM win64)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME d418lib)
set(CPACK_PACKAGE_VENDOR "D418 project")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(D418_PACKAGE_FILE_NAME d418lib-${PROJECT_VERSION}-${D418_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_FILE_NAME ${D418_PACKAGE_FILE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)

# package_zip makes the ZIP in build/<preset>/package, apart from the
# default output folder, so that the tests never meet a stale one.
set(D418_PACKAGE_OUT ${CMAKE_BINARY_DIR}/package)
set(D418_PACKAGE_ZIP ${D418_PACKAGE_OUT}/${D418_PACKAGE_FILE_NAME}.zip)
add_test(NAME package_zip
         COMMAND bash -c "rm -rf \"$1\" && \"$2\" --config \"$3\" -B \"$1\" && test -f \"$4\""
                 package_zip ${D418_PACKAGE_OUT} ${CMAKE_CPACK_COMMAND}
                 ${CMAKE_BINARY_DIR}/CPackConfig.cmake ${D418_PACKAGE_ZIP})
set_tests_properties(package_zip PROPERTIES FIXTURES_SETUP d418_package TIMEOUT 300)

add_test(NAME package_contents COMMAND ${D418_PYTHON} ${D418_PACKAGING_DIR}/check_zip.py ${D418_PACKAGE_ZIP}
                                  --machine ${D418_MACHINE})
set_tests_properties(package_contents PROPERTIES FIXTURES_REQUIRED d418_package)

# tests/consumer, a project of its own, built against the unpacked ZIP with
# find_package and the same toolchain file (both presets; the 64-bit one
# also runs it below).
set(D418_CONSUMER_WORK ${CMAKE_BINARY_DIR}/consumer)
add_test(NAME package_consumer_build
         COMMAND bash ${PROJECT_SOURCE_DIR}/tests/consumer/build_consumer.sh
                 ${D418_PACKAGE_ZIP} ${CMAKE_TOOLCHAIN_FILE} ${D418_CONSUMER_WORK})
set_tests_properties(package_consumer_build PROPERTIES
    FIXTURES_REQUIRED d418_package FIXTURES_SETUP d418_consumer TIMEOUT 300)

# ---- Under Wine (64-bit build only) ----------------------------------------

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  include(${PROJECT_SOURCE_DIR}/cmake/WineTest.cmake)

  # The consumer built by package_consumer_build, against the simulated
  # driver.
  d418_add_wine_test(wine_package_consumer ${D418_CONSUMER_WORK}/build/consumer.exe)
  set_tests_properties(wine_package_consumer PROPERTIES
      FIXTURES_REQUIRED "wine;simdriver;d418_consumer")

  # The Microsoft-ABI program linked against d418lib.lib, run the same way.
  d418_add_wine_test(wine_package_msvc_consumer ${D418_MSVC_CONSUMER_DIR}/msvc_consumer.exe)
  set_tests_properties(wine_package_msvc_consumer PROPERTIES
      FIXTURES_REQUIRED "wine;simdriver;d418_msvc_consumer")
endif()
