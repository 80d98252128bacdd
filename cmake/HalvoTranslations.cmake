# Merges the program's texts (listed by scripts/extract-localized) into a .ts file with lupdate.
#   cmake -DLUPDATE=<lupdate> -DTEXTS=<listed texts> -DTS=<.ts> [-DCHECK_COPY=<file>] -P <this>
# Without CHECK_COPY it updates TS (the target update_translations). With it, TS is left alone:
# the merge goes into a copy, and a copy that differs means TS lacks texts of the program or
# keeps ones it no longer has (the test translations_up_to_date).
cmake_minimum_required(VERSION 3.25)

set(target ${TS})
if(CHECK_COPY)
    file(COPY_FILE ${TS} ${CHECK_COPY})
    set(target ${CHECK_COPY})
endif()
execute_process(
    COMMAND ${LUPDATE} -silent -locations none -no-obsolete -source-language en
        -target-language de ${TEXTS} -ts ${target}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "lupdate failed (${status})")
endif()
if(CHECK_COPY)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${TS} ${CHECK_COPY}
        RESULT_VARIABLE differs)
    if(differs)
        execute_process(COMMAND diff -u ${TS} ${CHECK_COPY})
        message(FATAL_ERROR "${TS} is not up to date with the program's texts: run "
            "cmake --build <build folder> --target update_translations and commit the result")
    endif()
endif()
