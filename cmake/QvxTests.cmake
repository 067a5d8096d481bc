# qvx_add_test(NAME source...): a Qt Test program of the Qt front-end, linked with it and
# the core's recording platform, run offscreen in a fixed locale.
function(qvx_add_test name)
    qvx_add_library_test(${name} "qvx_qt;qvx_core_testsupport" ${ARGN})
endfunction()

# qvx_add_library_test(NAME LIBRARIES source...): the same, linked with the given libraries
# only.
function(qvx_add_library_test name libraries)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE ${libraries} Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;QVX_TEST_APP_DIR=${QVX_APP_DIR}"
        TIMEOUT 600)
endfunction()

# qvx_add_x11_test(NAME source...): a Qt Test program run on a private X display twice, once
# bare and once under a window manager; skipped where the X tools are missing.
function(qvx_add_x11_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE qvx_qt qvx_core_testsupport Qt6::Test)
    target_include_directories(${name} PRIVATE "${PROJECT_SOURCE_DIR}/tests/x11")
    foreach(wm IN ITEMS none openbox)
        add_test(NAME ${name}_${wm}
                 COMMAND bash "${PROJECT_SOURCE_DIR}/tests/x11/on-display" ${wm} $<TARGET_FILE:${name}>)
        set_tests_properties(${name}_${wm} PROPERTIES
            ENVIRONMENT "LC_ALL=C.UTF-8;LANG=C.UTF-8;QVX_TEST_APP_DIR=${QVX_APP_DIR}"
            SKIP_RETURN_CODE 77
            TIMEOUT 120)
    endforeach()
endfunction()
