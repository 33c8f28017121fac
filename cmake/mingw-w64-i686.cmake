# Cross-compiling the Windows build for 32-bit x86 with mingw-w64 (the posix thread model). The program
# must run on a processor with MMX only, so nothing beyond it (no SSE; x87 floating point) is assumed outside
# the run-time-chosen kernels. linux-i686.cmake uses the same flags, to test this arithmetic under emulation.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_C_FLAGS_INIT "-mmmx -mno-sse -mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-mmmx -mno-sse -mfpmath=387")
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
