# Windows build of d418diag.exe: a console program that binds d418lib.dll at
# run time, so its import table names KERNEL32.dll and the C run-time DLL
# only (CRTDLL.DLL on 32-bit x86, msvcrt.dll on 64-bit).
#
# The diag is plain C, so printf and sscanf are the run-time DLL's own (C++
# would switch MinGW to its own stdio); __USE_MINGW_ANSI_STDIO=0 keeps it so.
add_library(d418diag_logic OBJECT
    diag/base_argument.c
    diag/binding.c
    diag/result_text.c
    diag/diag_main.c
    diag/loader_win32.c)
target_include_directories(d418diag_logic PUBLIC
    ${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/diag)
target_compile_definitions(d418diag_logic PUBLIC __USE_MINGW_ANSI_STDIO=0)
target_compile_options(d418diag_logic PRIVATE -Wall -Wextra -O2 ${D418_RELEASE_COMPILE_OPTIONS})

add_executable(d418diag diag/main.c)
target_link_libraries(d418diag PRIVATE d418diag_logic)
d418_console_program(d418diag)

install(TARGETS d418diag RUNTIME DESTINATION bin)
