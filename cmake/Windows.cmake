# Windows build: d418lib.dll with the real platform.
set(D418_PE_LINK_OPTIONS
    -static-libgcc -static-libstdc++
    -Wl,--major-os-version,4 -Wl,--minor-os-version,0
    -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0
    -s)

add_library(d418lib SHARED ${D418_LOGIC} lib/platform_win32.cpp lib/d418lib.def)
target_include_directories(d418lib PRIVATE ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/lib)
target_compile_options(d418lib PRIVATE ${D418_NO_EH} -Wall -Wextra -O2)
target_link_options(d418lib PRIVATE ${D418_PE_LINK_OPTIONS})
set_target_properties(d418lib PROPERTIES PREFIX "" IMPORT_PREFIX "lib" IMPORT_SUFFIX ".dll.a")

install(TARGETS d418lib RUNTIME DESTINATION bin LIBRARY DESTINATION bin ARCHIVE DESTINATION lib)
install(FILES include/d418lib.h DESTINATION include)

set(D418_PYTHON /usr/bin/python3)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(D418_MACHINE i386)
else()
  set(D418_MACHINE amd64)
endif()

if(EXISTS ${PROJECT_SOURCE_DIR}/diag/Windows.cmake)
  include(diag/Windows.cmake)
endif()

add_test(NAME pe_check
         COMMAND ${D418_PYTHON} ${PROJECT_SOURCE_DIR}/tests/pecheck.py
                 --machine ${D418_MACHINE} --dll $<TARGET_FILE:d418lib>
                 $<$<TARGET_EXISTS:d418diag>:--exe> $<$<TARGET_EXISTS:d418diag>:$<TARGET_FILE:d418diag>>)

# Only the 64-bit build runs here, under Wine.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  if(EXISTS ${PROJECT_SOURCE_DIR}/driver/CMakeLists.txt)
    add_subdirectory(driver)
  endif()
  add_subdirectory(tests/wine)
endif()
