# Warnings, sanitizers and other flags shared by every target of the project.

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(LV_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wformat=2)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        list(APPEND LV_WARNINGS -Werror)
    endif()
    # Sources are UTF-8; the Japanese messages stay UTF-8 in the Linux build. On Windows the narrow
    # strings are the ANSI code page of a Japanese system, 932, as the A functions expect them.
    add_compile_options(-finput-charset=UTF-8)
    if(WIN32)
        set(LV_EXEC_CHARSET -fexec-charset=CP932)
    endif()
endif()

if(WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    # Everything of the compiler's own (libgcc, libstdc++, winpthreads) goes into the programs, so that
    # they import system DLLs only.
    add_link_options(-static -static-libgcc -static-libstdc++)
    # A release carries no symbol table: nobody who installs it has a use for one.
    add_link_options($<$<CONFIG:Release>:-s>)
    add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 64-bit file sizes and inode numbers on 32-bit Linux: without them a picture or song on XFS, btrfs or
    # overlayfs (64-bit inode numbers), or a file over 2 GiB, fails to open with EOVERFLOW.
    add_compile_definitions(_FILE_OFFSET_BITS=64)
endif()

if(LV_SANITIZE)
    set(LV_SANITIZE_FLAGS -fsanitize=${LV_SANITIZE} -fno-omit-frame-pointer)
    if(LV_SANITIZE MATCHES "undefined")
        list(APPEND LV_SANITIZE_FLAGS -fno-sanitize-recover=all)
    endif()
    add_compile_options(${LV_SANITIZE_FLAGS})
    add_link_options(${LV_SANITIZE_FLAGS})
endif()

# The project's own targets get the warnings (and on Windows the code page); third-party code built here
# does not.
function(lv_target_defaults target)
    set(flags ${LV_WARNINGS} ${LV_EXEC_CHARSET})
    target_compile_options(${target} PRIVATE "$<$<COMPILE_LANGUAGE:CXX>:${flags}>")
endfunction()

# Kernels with vector forms: the x86 ones on x86 processors (64-bit, and 32-bit for the Windows build that
# must also run on a processor with MMX only), the Advanced SIMD ones on ARM64; elsewhere the scalar forms
# stand alone.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
    set(LV_X86_KERNELS ON)
else()
    set(LV_X86_KERNELS OFF)
endif()
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64|ARM64)$")
    set(LV_NEON_KERNELS ON)
else()
    set(LV_NEON_KERNELS OFF)
endif()

# Adds the forms of a kernel for one instruction set to the core when the target processor family has it,
# each x86 file compiled for its own set only; which form runs is decided at run time from the processor,
# so nothing else may assume these sets. Advanced SIMD is part of every ARM64 processor: no flag.
#   lv_kernel_sources(mmx BumpLight_mmx.cpp ...)   (the files relative to the calling folder)
function(lv_kernel_sources isa)
    if(isa STREQUAL "neon")
        if(NOT LV_NEON_KERNELS)
            return()
        endif()
    elseif(NOT LV_X86_KERNELS)
        return()
    endif()
    set(files "")
    foreach(f IN LISTS ARGN)
        list(APPEND files "${CMAKE_CURRENT_SOURCE_DIR}/${f}")
    endforeach()
    target_sources(lv_core PRIVATE ${files})
    if(NOT isa STREQUAL "neon" AND (CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_ID MATCHES "Clang"))
        set(options "-m${isa}")
        if(isa STREQUAL "mmx")
            # With SSE2 on, GCC carries MMX intrinsics out in SSE registers; the MMX form must be the real
            # one, as it runs on a processor with MMX only.
            list(APPEND options -mno-sse2)
        endif()
        # The core target lives in the top folder, so the property must be set there to be seen.
        set_source_files_properties(${files} DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTIES COMPILE_OPTIONS "${options}")
    endif()
endfunction()
