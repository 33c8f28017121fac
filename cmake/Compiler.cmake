# Warnings, sanitizers and other flags shared by every target of the project.

if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" OR CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    set(LV_WARNINGS -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wformat=2)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
        list(APPEND LV_WARNINGS -Werror)
    endif()
    # Sources are UTF-8; the Japanese messages stay UTF-8 in the Linux build.
    add_compile_options(-finput-charset=UTF-8)
endif()

if(LV_SANITIZE)
    set(LV_SANITIZE_FLAGS -fsanitize=${LV_SANITIZE} -fno-omit-frame-pointer)
    if(LV_SANITIZE MATCHES "undefined")
        list(APPEND LV_SANITIZE_FLAGS -fno-sanitize-recover=all)
    endif()
    add_compile_options(${LV_SANITIZE_FLAGS})
    add_link_options(${LV_SANITIZE_FLAGS})
endif()

# The project's own targets get the warnings; third-party code built here does not.
function(lv_target_defaults target)
    target_compile_options(${target} PRIVATE ${LV_WARNINGS})
endfunction()
