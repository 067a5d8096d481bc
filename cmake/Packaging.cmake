# The Debian package: `cpack` in a build configured with -DCMAKE_INSTALL_PREFIX=/usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qvxdemos)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "${QVX_PUBLISHER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "player for the recorded demonstrations of a ticketing product")
set(CPACK_PACKAGE_DESCRIPTION "The ${QVX_PRODUCT_NAME} presents the recorded demonstration movies of
the Quorvex ticketing product, in its editions Quorvex and Quorvex Junior.
Choose an edition and a demo and press Play; the Help menu opens the
product's help file and the maker's web page.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories made by the install step would otherwise take the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Brenlowe <support@brenlowe.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://${QVX_MAKER_WEB}")
# Qt and libmspack (the help file reader's) come from the binaries. Beyond them: xdg-open for the web command, the
# Tahoma faces the windows are laid out with, and Qt's SVG image plugin, which the help
# pages' pictures need and which no binary links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "xdg-utils, fonts-wine, libqt6svg6")
# Demos built for Windows start only through it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS wine)

# The manual page names the application folder under the install prefix of the configure
# step; a package that puts the files elsewhere would point its readers at nothing.
set(CPACK_QVX_CONFIGURED_PREFIX "${CMAKE_INSTALL_PREFIX}")
file(CONFIGURE OUTPUT "${PROJECT_BINARY_DIR}/QvxCPackChecks.cmake" CONTENT [[
if(NOT CPACK_QVX_CONFIGURED_PREFIX STREQUAL CPACK_PACKAGING_INSTALL_PREFIX)
    message(FATAL_ERROR "The build was configured for ${CPACK_QVX_CONFIGURED_PREFIX}, the package "
                        "installs to ${CPACK_PACKAGING_INSTALL_PREFIX}: configure with "
                        "-DCMAKE_INSTALL_PREFIX=${CPACK_PACKAGING_INSTALL_PREFIX}.")
endif()
]] @ONLY)
set(CPACK_PROJECT_CONFIG_FILE "${PROJECT_BINARY_DIR}/QvxCPackChecks.cmake")

include(CPack)
