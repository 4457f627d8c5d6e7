# kelda_add_qtest(NAME n SOURCES s... LIBS l... [LABELS unit|widgets] [TIMEOUT sec])
# Every test runs through tests/tools/isolated: a private network namespace with only loopback,
# fresh HOME and XDG_RUNTIME_DIR, the offscreen platform. So a test can never broadcast onto the
# machine's network, nor meet another test's log or lock file. A case skipped with QSKIP makes
# the whole test a skip (tests/tools/report-skips).
set(KELDA_ISOLATED ${PROJECT_SOURCE_DIR}/tests/tools/isolated)
set(KELDA_REPORT_SKIPS ${PROJECT_SOURCE_DIR}/tests/tools/report-skips)
# scripts/test gives CTest this many slots a core, since most e2e tests wait in real time. A
# test that keeps a core busy all the time it runs asks for one core's slots (PROCESSORS).
set(KELDA_SLOTS_PER_CORE 4)

function(kelda_add_qtest)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_LABELS)
        set(T_LABELS unit)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    # A build without the GUI modules leaves out the tests of the libraries it does not build.
    if(NOT KELDA_GUI)
        foreach(lib ${T_LIBS})
            if(NOT TARGET ${lib})
                return()
            endif()
        endforeach()
    endif()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE kelda_build Qt6::Test ${T_LIBS})
    add_test(NAME ${T_NAME} COMMAND ${KELDA_ISOLATED} $<TARGET_FILE:${T_NAME}>)
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${T_LABELS}" TIMEOUT ${T_TIMEOUT}
                                              SKIP_RETURN_CODE 77)
endfunction()
