# kelda_add_fuzzer(NAME n SOURCES s... LIBS l... [SMOKE_SECONDS sec] [MAX_LEN bytes])
# Included by every tests/fuzz/<area>/CMakeLists.txt. With KELDA_FUZZ (clang) a target is a
# libFuzzer binary; otherwise it gets a standalone main that replays the corpus and mutates it
# for a while, so the targets always compile and the smoke run finds something in every build.
# The corpus of a target lives in tests/fuzz/corpus/<n>/, its dictionary in tests/fuzz/dict/<n>.dict.
include_guard(GLOBAL)

set(KELDA_FUZZ_ROOT ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "tests/fuzz")

if(KELDA_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "KELDA_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
    endif()
else()
    add_library(kelda_fuzz_main STATIC ${KELDA_FUZZ_ROOT}/common/standalone_main.cpp)
    target_link_libraries(kelda_fuzz_main PUBLIC kelda_build)
endif()

function(kelda_add_fuzzer)
    cmake_parse_arguments(F "" "NAME;SMOKE_SECONDS;MAX_LEN" "SOURCES;LIBS" ${ARGN})
    if(NOT F_SMOKE_SECONDS)
        set(F_SMOKE_SECONDS 8)
    endif()
    if(NOT F_MAX_LEN)
        set(F_MAX_LEN 65536)
    endif()
    add_executable(${F_NAME} ${F_SOURCES})
    target_include_directories(${F_NAME} PRIVATE ${KELDA_FUZZ_ROOT}/common)
    target_link_libraries(${F_NAME} PRIVATE kelda_build ${F_LIBS})

    set(corpus ${KELDA_FUZZ_ROOT}/corpus/${F_NAME})
    set(dict ${KELDA_FUZZ_ROOT}/dict/${F_NAME}.dict)
    set(dict_option)
    if(EXISTS ${dict})
        set(dict_option -dict=${dict})
    endif()
    set(work ${CMAKE_CURRENT_BINARY_DIR}/${F_NAME}-work)

    if(KELDA_FUZZ)
        target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
        # New inputs go to the first directory, so the checked-in corpus is never written to.
        add_test(NAME ${F_NAME}
                 COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
                         $<TARGET_FILE:${F_NAME}> -max_total_time=${F_SMOKE_SECONDS}
                         -max_len=${F_MAX_LEN} -timeout=10 -rss_limit_mb=2048
                         -print_final_stats=1 -artifact_prefix=${work}/ ${dict_option}
                         ${work}/new ${corpus})
        file(MAKE_DIRECTORY ${work}/new)
    else()
        target_link_libraries(${F_NAME} PRIVATE kelda_fuzz_main)
        add_test(NAME ${F_NAME}
                 COMMAND $<TARGET_FILE:${F_NAME}> -max_total_time=${F_SMOKE_SECONDS}
                         -max_len=${F_MAX_LEN} -artifact_prefix=${work}/ ${dict_option} ${corpus})
        file(MAKE_DIRECTORY ${work})
    endif()
    math(EXPR timeout "${F_SMOKE_SECONDS} * 4 + 60")
    # It mutates for its whole run: one core's worth of slots.
    set_tests_properties(${F_NAME} PROPERTIES LABELS fuzz-smoke TIMEOUT ${timeout}
                                              PROCESSORS ${KELDA_SLOTS_PER_CORE})
endfunction()
