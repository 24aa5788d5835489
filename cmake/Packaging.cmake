# The Debian package: `cmake --build build --target package` writes trimeo_<version>_<arch>.deb
# with the program, its manual page, the desktop entry, MIME package, icon, thumbnailer
# entry and AppStream metainfo, and the files Debian wants in /usr/share/doc.
set(TRIMEO_MAINTAINER "The Trimeo developers <developers@trimeo.example>")

# The manual page is the text of --help.
add_executable(trimeo_man_page src/app/ManPageGenerator.cpp src/app/ManPage.cpp)
set(TRIMEO_MAN_PAGE ${CMAKE_BINARY_DIR}/trimeo.1)
add_custom_command(OUTPUT ${TRIMEO_MAN_PAGE}.gz
    COMMAND trimeo_man_page $<TARGET_FILE:trimeo> ${PROJECT_VERSION} ${TRIMEO_RELEASE_DATE} ${TRIMEO_MAN_PAGE}
    COMMAND gzip -9nf ${TRIMEO_MAN_PAGE}
    DEPENDS trimeo trimeo_man_page
    COMMENT "Writing the manual page from trimeo --help")

execute_process(COMMAND date -u -R -d ${TRIMEO_RELEASE_DATE} OUTPUT_VARIABLE TRIMEO_RELEASE_DATE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE)
configure_file(cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/debian/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(trimeo_package_files ALL DEPENDS ${TRIMEO_MAN_PAGE}.gz ${CMAKE_BINARY_DIR}/debian/changelog.gz)

install(FILES ${TRIMEO_MAN_PAGE}.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz cmake/debian/copyright DESTINATION share/doc/trimeo)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME trimeo)
set(CPACK_PACKAGE_VENDOR "The Trimeo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for 3D model files")
set(CPACK_PACKAGE_DESCRIPTION "Trimeo opens glTF, GLB, 3MF, STL, OBJ, PLY, COLLADA, USD, Alembic and FBX
files and shows the model framed on a grid floor, to orbit, pan and zoom, as
wireframe and with its animations. It draws thumbnails of these files for file
managers, without a display, and renders pictures from the command line.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TRIMEO_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://trimeo.example/")
# Libraries the binary links come from dpkg-shlibdeps; these are loaded at run time and so
# invisible to it: EGL and Mesa's drivers for pictures without a display, Qt's SVG plugin
# for the interface's icons.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libegl1, libegl-mesa0, libgl1-mesa-dri, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
