# d418libConfig.cmake - the imported target d418lib::d418lib, for programs
# that link d418lib.dll:
#
#   find_package(d418lib 1.0 REQUIRED)
#   target_link_libraries(app PRIVATE d418lib::d418lib)
#
# Every path is taken relative to this file (PREFIX/lib/cmake/d418lib), so
# the package works wherever it is unpacked. d418libConfigVersion.cmake
# beside it accepts requests for the same major version and the same pointer
# size: the win32 package serves 32-bit builds, the win64 package 64-bit ones.

if(NOT WIN32)
  set(d418lib_FOUND FALSE)
  set(d418lib_NOT_FOUND_MESSAGE "d418lib is a Windows library; this build does not target Windows")
  return()
endif()

get_filename_component(_d418lib_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

# MinGW linkers take the GNU-format import library. Every other toolchain
# (Microsoft's, clang-cl, clang for *-windows-msvc) takes the Microsoft-format
# one. Both name the same five exports of d418lib.dll.
if(MINGW)
  set(_d418lib_implib "${_d418lib_prefix}/lib/libd418lib.dll.a")
else()
  set(_d418lib_implib "${_d418lib_prefix}/lib/d418lib.lib")
endif()

foreach(_d418lib_file "${_d418lib_prefix}/bin/d418lib.dll"
                      "${_d418lib_prefix}/include/d418lib.h" "${_d418lib_implib}")
  if(NOT EXISTS "${_d418lib_file}")
    set(d418lib_FOUND FALSE)
    set(d418lib_NOT_FOUND_MESSAGE "the d418lib package is incomplete: ${_d418lib_file} is missing")
    unset(_d418lib_file)
    unset(_d418lib_implib)
    unset(_d418lib_prefix)
    return()
  endif()
endforeach()

if(NOT TARGET d418lib::d418lib)
  add_library(d418lib::d418lib SHARED IMPORTED)
  set_target_properties(d418lib::d418lib PROPERTIES
    IMPORTED_LOCATION "${_d418lib_prefix}/bin/d418lib.dll"
    IMPORTED_IMPLIB "${_d418lib_implib}"
    INTERFACE_INCLUDE_DIRECTORIES "${_d418lib_prefix}/include")
endif()

unset(_d418lib_file)
unset(_d418lib_implib)
unset(_d418lib_prefix)
