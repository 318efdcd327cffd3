# Installing Tallix as a desktop application, and its Debian package
# (`make package`, or `cpack -G DEB` in the build folder).
#
# Installed, the program finds the supplied database as a template in
# ../share/tallix beside its bin folder, and keeps the user's config.ini,
# database and exports in the user's own folders (app/Places.h).

include(GNUInstallDirs)
# Installing (and so packaging) takes what the build made; it never starts a
# build of its own, which the package test inside the test run must not do.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
set(TALLIX_APP_ID com.example.tallix)
set(TALLIX_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS tallix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${TALLIX_DB} DESTINATION ${CMAKE_INSTALL_DATADIR}/tallix)
install(FILES ${TALLIX_PACKAGING_DIR}/${TALLIX_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TALLIX_PACKAGING_DIR}/${TALLIX_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TALLIX_PACKAGING_DIR}/${TALLIX_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tallix)

# The usual bitmap sizes, drawn from the scalable icon at build time.
find_program(RSVG_CONVERT rsvg-convert)
if(RSVG_CONVERT)
  set(TALLIX_ICON_SIZES 16 24 32 48 64 128 256)
  set(_tallix_pngs)
  foreach(size IN LISTS TALLIX_ICON_SIZES)
    set(_dir ${CMAKE_BINARY_DIR}/icons/${size}x${size})
    set(_png ${_dir}/${TALLIX_APP_ID}.png)
    add_custom_command(
      OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
      COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${_png} ${TALLIX_PACKAGING_DIR}/${TALLIX_APP_ID}.svg
      DEPENDS ${TALLIX_PACKAGING_DIR}/${TALLIX_APP_ID}.svg
      VERBATIM)
    list(APPEND _tallix_pngs ${_png})
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(tallix_icons ALL DEPENDS ${_tallix_pngs})
else()
  message(STATUS "rsvg-convert not found (librsvg2-bin): only the scalable icon is installed")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tallix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tallix SoftWare Company")
set(CPACK_PACKAGE_CONTACT "Tallix Support <support@tallix.example.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "customer relationship manager for small companies")
set(CPACK_PACKAGE_DESCRIPTION
    "Tallix keeps customers and their contact persons, files them in a category tree, searches and prints them, prints envelope labels and imports and exports spreadsheets. Its data lives in one database file, backed up every day, or on a PostgreSQL server.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tallix.example.com/)
# The libraries the program links are found from the binary; what Qt loads
# at run time is named here: the database driver of the embedded engine,
# and that of the server engine with a font for the Chinese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, fonts-wqy-microhei")
include(CPack)
