# The Windows installer: target `installer` packs the application folder with NSIS into
# ${PROJECT_NAME}-${PROJECT_VERSION}-setup.exe in the build folder. Included from
# resources/CMakeLists.txt, where QVX_SAMPLE_DEMOS lists the demos.

find_program(QVX_MAKENSIS makensis)
if(NOT QVX_MAKENSIS)
    message(STATUS "makensis not found: no installer target")
    return()
endif()

# NSIS strings take a dollar sign doubled and a quote as $\".
function(_qvx_nsis_quote out value)
    string(REPLACE "$" "$$" value "${value}")
    string(REPLACE "\"" "$\\\"" value "${value}")
    set(${out} "${value}" PARENT_SCOPE)
endfunction()

set(QVX_NSIS_PROGRAM "${PROJECT_NAME}.exe")
set(QVX_INSTALLER "${CMAKE_BINARY_DIR}/${PROJECT_NAME}-${PROJECT_VERSION}-setup.exe")

# Every file by name, so that the uninstaller removes exactly these and nothing else.
set(installed "${QVX_NSIS_PROGRAM}" "Quorvex Demos.chm")
foreach(demo IN LISTS QVX_SAMPLE_DEMOS)
    list(APPEND installed "Demos/${demo}")
endforeach()

set(install_lines)
set(uninstall_lines)
set(size_lines)
set(folders)
set(current_folder)
foreach(file IN LISTS installed)
    get_filename_component(folder "${file}" DIRECTORY)
    string(REPLACE "/" "\\" windows_file "${file}")
    _qvx_nsis_quote(windows_file "${windows_file}")
    _qvx_nsis_quote(source "${QVX_APP_DIR}/${file}")
    if(NOT folder STREQUAL current_folder OR NOT install_lines)
        set(out_path "$INSTDIR")
        if(folder)
            string(REPLACE "/" "\\" windows_folder "${folder}")
            _qvx_nsis_quote(windows_folder "${windows_folder}")
            string(APPEND out_path "\\${windows_folder}")
        endif()
        string(APPEND install_lines "    SetOutPath \"${out_path}\"\n")
        set(current_folder "${folder}")
    endif()
    string(APPEND install_lines "    File \"${source}\"\n")
    string(APPEND uninstall_lines "    Delete /REBOOTOK \"$INSTDIR\\${windows_file}\"\n")
    string(APPEND size_lines "    !insertmacro AddFileSize \"$INSTDIR\\${windows_file}\"\n")
    # Each folder and its parents, to be removed deepest first once they are empty.
    while(folder)
        list(APPEND folders "${folder}")
        get_filename_component(folder "${folder}" DIRECTORY)
    endwhile()
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
    string(REPLACE "/" "\\" folder "${folder}")
    _qvx_nsis_quote(folder "${folder}")
    string(APPEND uninstall_lines "    RMDir /REBOOTOK \"$INSTDIR\\${folder}\"\n")
endforeach()
string(STRIP "${install_lines}" install_lines)
string(STRIP "${uninstall_lines}" uninstall_lines)
string(STRIP "${size_lines}" size_lines)
set(QVX_NSIS_INSTALL_FILES "    ${install_lines}")
set(QVX_NSIS_UNINSTALL_FILES "    ${uninstall_lines}")
set(QVX_NSIS_SIZE_FILES "    ${size_lines}")

_qvx_nsis_quote(QVX_NSIS_PRODUCT "${QVX_PRODUCT_NAME}")
_qvx_nsis_quote(QVX_NSIS_PUBLISHER "${QVX_PUBLISHER}")
_qvx_nsis_quote(QVX_NSIS_VERSION "${PROJECT_VERSION}")
_qvx_nsis_quote(QVX_NSIS_COPYRIGHT "${QVX_COPYRIGHT}")
_qvx_nsis_quote(QVX_NSIS_URL "http://${QVX_MAKER_WEB}/")
_qvx_nsis_quote(QVX_NSIS_ICON "${PROJECT_SOURCE_DIR}/resources/icons/camera.ico")
_qvx_nsis_quote(QVX_NSIS_OUTPUT "${QVX_INSTALLER}")
_qvx_nsis_quote(QVX_NSIS_PROGRAM "${QVX_NSIS_PROGRAM}")

set(script "${CMAKE_BINARY_DIR}/installer/${PROJECT_NAME}.nsi")
configure_file("${PROJECT_SOURCE_DIR}/resources/windows/installer.nsi.in" "${script}" @ONLY)

add_custom_command(
    OUTPUT "${QVX_INSTALLER}"
    COMMAND "${QVX_MAKENSIS}" -V2 -WX "${script}"
    DEPENDS "${script}" "${QVX_APP_DIR}/${QVX_NSIS_PROGRAM}" qvx-sample-demo sample-demos
            help-file
    COMMENT "Making the installer ${PROJECT_NAME}-${PROJECT_VERSION}-setup.exe"
    VERBATIM)
add_custom_target(installer DEPENDS "${QVX_INSTALLER}")

# The program's target may be defined after this file; once the whole project is read, the
# installer waits for it. Without it, the installer takes the program found in the folder.
function(_qvx_installer_needs_program)
    if(TARGET ${PROJECT_NAME})
        add_dependencies(installer ${PROJECT_NAME})
    else()
        message(STATUS "No ${PROJECT_NAME} target: the installer packs "
                       "${QVX_APP_DIR}/${PROJECT_NAME}.exe as it finds it")
    endif()
endfunction()
cmake_language(DEFER DIRECTORY "${PROJECT_SOURCE_DIR}" CALL _qvx_installer_needs_program)
