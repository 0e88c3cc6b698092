# Windows build of the console programs d418diag.exe, d418cmd.exe and
# d418inst.exe (the driver's installer, which binds ADVAPI32 itself).
# Both bind d418lib.dll at run time through one binding module, so their
# import tables name KERNEL32.dll and the C run-time DLL only (CRTDLL.DLL on
# 32-bit x86, msvcrt.dll on 64-bit); cmake/ReleaseRules.cmake holds the
# start-up and link rules of the release.
#
# The programs are plain C, so printf and sscanf are the run-time DLL's own
# (C++ would switch MinGW to its own stdio); __USE_MINGW_ANSI_STDIO=0 keeps
# it so.

# Compile settings of every C file of the programs.
function(d418_program_sources TARGET)
  target_include_directories(${TARGET} PUBLIC
      ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/diag)
  target_compile_definitions(${TARGET} PUBLIC __USE_MINGW_ANSI_STDIO=0)
  target_compile_options(${TARGET} PRIVATE -Wall -Wextra -O2 ${D418_RELEASE_COMPILE_OPTIONS})
endfunction()

# A shipped program: its main file, its logic, the release's start-up and
# link rules, and its place in the install.
function(d418_program TARGET MAIN LOGIC)
  add_executable(${TARGET} ${MAIN})
  d418_program_sources(${TARGET})
  # The binding is named here so that it comes before the run-time DLL's
  # import library on the link line, which it needs.
  target_link_libraries(${TARGET} PRIVATE ${LOGIC} d418diag_binding)
  d418_console_program(${TARGET})
  install(TARGETS ${TARGET} RUNTIME DESTINATION bin)
endfunction()

# What both programs share: the binding, the result texts, the base
# address check and the real loader.
add_library(d418diag_binding STATIC
    diag/base_argument.c
    diag/binding.c
    diag/result_text.c
    diag/loader_win32.c)
d418_program_sources(d418diag_binding)

add_library(d418diag_logic OBJECT diag/diag_main.c)
d418_program_sources(d418diag_logic)
target_link_libraries(d418diag_logic PUBLIC d418diag_binding)

add_library(d418cmd_logic OBJECT diag/cmd_parse.c diag/cmd_main.c)
d418_program_sources(d418cmd_logic)
target_link_libraries(d418cmd_logic PUBLIC d418diag_binding)

add_library(d418inst_logic OBJECT diag/inst_parse.c diag/inst_main.c diag/inst_system_win32.c)
d418_program_sources(d418inst_logic)
target_link_libraries(d418inst_logic PUBLIC d418diag_binding)

d418_program(d418diag diag/main.c d418diag_logic)
d418_program(d418cmd diag/cmd.c d418cmd_logic)
d418_program(d418inst diag/inst.c d418inst_logic)
