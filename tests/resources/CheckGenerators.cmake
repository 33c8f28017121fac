# Reruns the resource generators into WORK_DIR and fails unless each item listed in resources/items.txt,
# and the installed icon, comes out byte for byte as committed, so that a generator and its output never
# drift apart.
#   cmake -DPYTHON=<python3> -DSOURCE_DIR=<repo> -DWORK_DIR=<scratch dir> -P CheckGenerators.cmake
include("${SOURCE_DIR}/resources/ReadItems.cmake")
lv_read_items(names files)

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
foreach(generator heightmap digits song icon)
    execute_process(COMMAND "${PYTHON}" "${SOURCE_DIR}/tools/resources/${generator}.py" "${WORK_DIR}"
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "tools/resources/${generator}.py failed: ${result}")
    endif()
endforeach()

# Not built in: the icon the desktop entry names, installed beside the program.
list(APPEND names icon)
list(APPEND files "${SOURCE_DIR}/packaging/lumivorra.png")
set(differing "")
foreach(name file IN ZIP_LISTS names files)
    get_filename_component(base "${file}" NAME)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${file}" "${WORK_DIR}/${base}"
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        string(APPEND differing " ${name} (${base})")
    endif()
endforeach()
if(differing)
    message(FATAL_ERROR "generated items differ from the committed ones:${differing}")
endif()
list(LENGTH names count)
message(STATUS "all ${count} generated items match the committed ones")
