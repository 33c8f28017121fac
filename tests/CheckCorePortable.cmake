# Fails when a core source includes anything but the standard C++ library (the C library in its <c...>
# form: the .h forms are where POSIX and Windows add their own), the compiler's intrinsics headers, the
# core's own headers and the platform's service headers (platform/*.h). Platform code belongs in
# platform/<name>/.
cmake_minimum_required(VERSION 3.25)
set(core_dirs framework display imaging scene music config)
set(standard_headers
    # C++ library
    algorithm any array atomic barrier bit bitset charconv chrono codecvt compare complex concepts
    condition_variable coroutine deque exception execution filesystem format forward_list fstream functional
    future initializer_list iomanip ios iosfwd iostream istream iterator latch limits list locale map memory
    memory_resource mutex new numbers numeric optional ostream queue random ranges ratio regex scoped_allocator
    semaphore set shared_mutex source_location span sstream stack stdexcept stop_token streambuf string
    string_view syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map unordered_set
    utility valarray variant vector version
    # C library, the C++ way
    cassert cctype cerrno cfenv cfloat cinttypes climits clocale cmath csetjmp csignal cstdarg cstddef cstdint
    cstdio cstdlib cstring ctime cuchar cwchar cwctype
    # the compiler's intrinsics
    mmintrin.h xmmintrin.h emmintrin.h pmmintrin.h tmmintrin.h smmintrin.h nmmintrin.h immintrin.h x86intrin.h
    cpuid.h arm_neon.h)
list(JOIN core_dirs "|" core_pattern)
set(bad "")
foreach(dir IN LISTS core_dirs)
    file(GLOB_RECURSE files "${SOURCE_DIR}/${dir}/*.h" "${SOURCE_DIR}/${dir}/*.cpp")
    foreach(f IN LISTS files)
        file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS lines)
            set(allowed FALSE)
            if(line MATCHES "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>")
                if(CMAKE_MATCH_1 IN_LIST standard_headers)
                    set(allowed TRUE)
                endif()
            elseif(line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"((${core_pattern})/[^\"]+|platform/[^/\"]+\\.h)\"")
                set(allowed TRUE)
            endif()
            if(NOT allowed)
                string(APPEND bad "${f}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()
if(bad)
    message(FATAL_ERROR "headers outside the core's allow-list included by the core:\n${bad}")
endif()
message(STATUS "core includes only the standard library, intrinsics, its own and the service headers")
