# Fails unless every program in TARGETS (paths in the build folder BUILD) has every file in FILES among the
# inputs ninja rebuilds it from.
#   cmake -DNINJA=ninja -DBUILD=/b/win64 "-DTARGETS=/b/win64/a.exe;/b/win64/b.scr" "-DFILES=/s/x.bmp" -P ...
foreach(target IN LISTS TARGETS)
    file(RELATIVE_PATH path "${BUILD}" "${target}")
    execute_process(COMMAND "${NINJA}" -C "${BUILD}" -t inputs "${path}" OUTPUT_VARIABLE inputs
                    RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "ninja -t inputs ${path} failed")
    endif()
    foreach(file IN LISTS FILES)
        file(RELATIVE_PATH relative "${BUILD}" "${file}")
        string(FIND "${inputs}" "${relative}\n" at)
        if(at EQUAL -1)
            string(FIND "${inputs}" "${file}\n" at)
        endif()
        if(at EQUAL -1)
            message(FATAL_ERROR "${path} is not rebuilt when ${file} changes")
        endif()
    endforeach()
endforeach()
message(STATUS "${TARGETS}: rebuilt from every built-in item")
