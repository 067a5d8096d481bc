include_guard(GLOBAL)

# Every test carries labels for `ctest -L`/`-LE`: one kind, unit (logic, no GUI), gui (Qt
# widgets, offscreen or on a display) or integration (real processes and files across
# programs), and slow besides where it keeps real waits.
#
# Its time limit is five times the seconds it takes here, never under 10 s: a loaded machine
# stretches a program's start to seconds, so five times a tenth of a second would fail tests
# that are merely queued behind a build. The sanitizer build runs several times slower, and
# a cross build's emulator (Wine) takes seconds to start each program.
if(QVX_SANITIZERS OR CMAKE_CXX_FLAGS MATCHES "-fsanitize=")
    set(factor 4)
elseif(CMAKE_CROSSCOMPILING)
    set(factor 3)
else()
    set(factor 1)
endif()
set(QVX_TEST_TIMEOUT_FACTOR ${factor} CACHE STRING "Multiplier of every test's time limit")
unset(factor)

# qvx_test_kind(TEST LABELS label... [SECONDS measured]): labels TEST and limits its time;
# SECONDS is what it takes here in whole seconds, rounded up (1 when left out).
function(qvx_test_kind test)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "SECONDS" "LABELS")
    if(NOT arg_LABELS)
        message(FATAL_ERROR "Test ${test} has no label")
    endif()
    if(NOT arg_SECONDS)
        set(arg_SECONDS 1)
    endif()
    math(EXPR limit "${arg_SECONDS} * 5")
    if(limit LESS 10)
        set(limit 10)
    endif()
    math(EXPR limit "${limit} * ${QVX_TEST_TIMEOUT_FACTOR}")
    set_tests_properties(${test} PROPERTIES LABELS "${arg_LABELS}" TIMEOUT ${limit})
endfunction()

# qvx_add_test_cases(TEST PROGRAM FUNCTIONS function... LABELS label... [SECONDS measured]): runs only
# the given test functions of an already added Qt Test program as a test of their own, in
# the program's environment; the program's own test is told to skip them.
function(qvx_add_test_cases test program)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "SECONDS" "FUNCTIONS;LABELS")
    get_test_property(${program} ENVIRONMENT environment)
    add_test(NAME ${test} COMMAND ${program} ${arg_FUNCTIONS})
    set_tests_properties(${test} PROPERTIES ENVIRONMENT "${environment}")
    qvx_test_kind(${test} LABELS ${arg_LABELS} SECONDS ${arg_SECONDS})
    list(JOIN arg_FUNCTIONS "," skipped)
    set_property(TEST ${program} APPEND PROPERTY ENVIRONMENT "QVX_TEST_SKIP=${skipped}")
endfunction()

# qvx_add_test(NAME source... [LABELS label...] [SECONDS measured]): a Qt Test program of the
# Qt front-end, linked with it and the core's recording platform, run offscreen in a fixed
# locale; labelled gui unless told otherwise.
function(qvx_add_test name)
    qvx_add_library_test(${name} "qvx_qt;qvx_core_testsupport" ${ARGN})
endfunction()

# qvx_add_library_test(NAME LIBRARIES source... [LABELS label...] [SECONDS measured]): the
# same, linked with the given libraries only.
function(qvx_add_library_test name libraries)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "SECONDS" "LABELS")
    if(NOT arg_LABELS)
        set(arg_LABELS gui)
    endif()
    add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE ${libraries} Qt6::Test)
    target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/support")
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;QVX_TEST_APP_DIR=${QVX_APP_DIR}")
    qvx_test_kind(${name} LABELS ${arg_LABELS} SECONDS ${arg_SECONDS})
endfunction()

# qvx_add_x11_test(NAME source... [LABELS label...] [SECONDS measured]): a Qt Test program
# run on a private X display twice, once bare and once under a window manager; skipped where
# the X tools are missing. Labelled gui unless told otherwise.
function(qvx_add_x11_test name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "SECONDS" "LABELS")
    if(NOT arg_LABELS)
        set(arg_LABELS gui)
    endif()
    add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE qvx_qt qvx_core_testsupport Qt6::Test)
    target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/x11")
    foreach(wm IN ITEMS none openbox)
        add_test(NAME ${name}_${wm}
                 COMMAND bash "${PROJECT_SOURCE_DIR}/tests/x11/on-display" ${wm} $<TARGET_FILE:${name}>)
        set_tests_properties(${name}_${wm} PROPERTIES
            ENVIRONMENT "LC_ALL=C.UTF-8;LANG=C.UTF-8;QVX_TEST_APP_DIR=${QVX_APP_DIR}"
            SKIP_RETURN_CODE 77)
        qvx_test_kind(${name}_${wm} LABELS ${arg_LABELS} SECONDS ${arg_SECONDS})
    endforeach()
endfunction()
