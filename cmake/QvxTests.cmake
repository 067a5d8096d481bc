# qvx_add_test(NAME source...): a Qt Test program linked with the core library and the
# recording platform, run offscreen in a fixed locale.
function(qvx_add_test name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE qvx_core qvx_testsupport Qt6::Test)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;LANG=C.UTF-8;QVX_TEST_APP_DIR=${QVX_APP_DIR}"
        TIMEOUT 600)
endfunction()
