# Cross-compiling the headless build for 32-bit x86 Linux, with the arithmetic of the 32-bit Windows build
# (mingw-w64-i686.cmake): MMX for the packed-integer kernels, x87 floating point, no SSE outside the
# run-time-chosen kernel files. Its frames must equal the 64-bit build's, which is what shows that the
# 32-bit screen saver draws the same picture. ctest runs the programs under user-mode emulation.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_C_FLAGS_INIT "-mmmx -mno-sse -mfpmath=387")
set(CMAKE_CXX_FLAGS_INIT "-mmmx -mno-sse -mfpmath=387")
# Statically linked, as the 32-bit Windows build is: qemu-i386 7.2 hangs in pthread_create of a
# dynamically linked 32-bit program with the cross C library, but runs the static one.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
