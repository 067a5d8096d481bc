# Writes the executable's Windows resource script from the product values.
#
#   include(cmake/ConfigureRc.cmake) then qvx_configure_rc(<output>)
#       in the build: takes the values the top CMakeLists.txt has set.
#   cmake -DQVX_RC_OUTPUT=<output> -P cmake/ConfigureRc.cmake
#       on its own: reads the same values out of the top CMakeLists.txt, so that the
#       resource can be checked without configuring the whole project.

get_filename_component(QVX_RC_SOURCE_ROOT "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)

# Resource strings take a backslash and a quote doubled.
function(_qvx_rc_quote out value)
    string(REPLACE "\\" "\\\\" value "${value}")
    string(REPLACE "\"" "\"\"" value "${value}")
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

function(qvx_configure_rc output)
    foreach(value IN ITEMS PROJECT_NAME PROJECT_VERSION_MAJOR PROJECT_DESCRIPTION
                           QVX_PRODUCT_NAME QVX_INTERNAL_NAME QVX_FILE_VERSION_TEXT QVX_COPYRIGHT)
        if("${${value}}" STREQUAL "")
            message(FATAL_ERROR "ConfigureRc: ${value} is not set")
        endif()
    endforeach()

    set(numbers)
    foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)
        if("${PROJECT_VERSION_${part}}" STREQUAL "")
            list(APPEND numbers 0)
        else()
            list(APPEND numbers "${PROJECT_VERSION_${part}}")
        endif()
    endforeach()
    list(JOIN numbers "," QVX_RC_VERSION)

    _qvx_rc_quote(QVX_RC_VERSION_TEXT "${QVX_FILE_VERSION_TEXT}")
    _qvx_rc_quote(QVX_RC_DESCRIPTION "${PROJECT_DESCRIPTION}")
    _qvx_rc_quote(QVX_RC_PRODUCT_NAME "${QVX_PRODUCT_NAME}")
    _qvx_rc_quote(QVX_RC_INTERNAL_NAME "${QVX_INTERNAL_NAME}")
    _qvx_rc_quote(QVX_RC_COPYRIGHT "${QVX_COPYRIGHT}")
    _qvx_rc_quote(QVX_RC_FILE_NAME "${PROJECT_NAME}.exe")
    _qvx_rc_quote(QVX_RC_ICON "${QVX_RC_SOURCE_ROOT}/resources/icons/camera.ico")

    configure_file("${QVX_RC_SOURCE_ROOT}/resources/windows/QVXDemos.rc.in" "${output}" @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    if(NOT QVX_RC_OUTPUT)
        message(FATAL_ERROR "usage: cmake -DQVX_RC_OUTPUT=<file> -P ConfigureRc.cmake")
    endif()
    file(READ "${QVX_RC_SOURCE_ROOT}/CMakeLists.txt" top)
    set(space "[ \t\r\n]+")
    if(NOT top MATCHES "project\\(([A-Za-z0-9_]+)${space}VERSION${space}([0-9.]+)${space}DESCRIPTION${space}\"([^\"]*)\"")
        message(FATAL_ERROR "ConfigureRc: no project(... VERSION ... DESCRIPTION ...) found")
    endif()
    set(PROJECT_NAME "${CMAKE_MATCH_1}")
    set(PROJECT_DESCRIPTION "${CMAKE_MATCH_3}")
    string(REPLACE "." ";" numbers "${CMAKE_MATCH_2}")
    foreach(part IN ITEMS MAJOR MINOR PATCH TWEAK)
        list(LENGTH numbers count)
        if(count GREATER 0)
            list(POP_FRONT numbers PROJECT_VERSION_${part})
        endif()
    endforeach()
    foreach(name IN ITEMS QVX_PRODUCT_NAME QVX_INTERNAL_NAME QVX_FILE_VERSION_TEXT QVX_COPYRIGHT)
        if(NOT top MATCHES "set\\(${name}${space}\"([^\"]*)\"")
            message(FATAL_ERROR "ConfigureRc: no value for ${name} found")
        endif()
        set(${name} "${CMAKE_MATCH_1}")
    endforeach()
    qvx_configure_rc("${QVX_RC_OUTPUT}")
endif()
