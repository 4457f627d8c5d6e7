# Run by CPack on its staging folder before each package is made: removes from our ELF files the
# compiler's notes that the distributions' own strip step removes too.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS staged)
    file(READ "${file}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
        execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
                                --strip-unneeded "${file}"
                        RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "strip failed on ${file}")
        endif()
    endif()
endforeach()
