# 32-bit Windows with MinGW-w64 (the win32 thread model, so that nothing
# beyond KERNEL32 and msvcrt is needed at run time).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(D418_TRIPLE i686-w64-mingw32)
# Every processor that Windows 95 runs on, down to the 386: the compiler
# would otherwise default to the Pentium Pro's instructions (cmov and more).
# This sets the flags of a new build folder; the windows-x86 preset also
# passes them, so that a folder configured before keeps to them too.
set(CMAKE_C_FLAGS_INIT "-march=i386")
set(CMAKE_CXX_FLAGS_INIT "-march=i386")
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
