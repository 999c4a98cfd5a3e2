# `cmake --install` lays out the launcher folder, a starter that runs the
# player's own copy of it, the desktop entry and its icon; CPack builds the
# same as a Debian package.
include(GNUInstallDirs)

install(TARGETS vorn-launcher RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/quorvane3d/launcher)
install(PROGRAMS ${CMAKE_SOURCE_DIR}/resources/desktop/quorvane3d-launcher.sh
        DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME quorvane3d-launcher)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/quorvane3d-launcher.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/quorvane3d-launcher.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane3d-launcher)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_CONTACT "Velmora <support@quorvane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Installs and starts the Quorvane 3D fishing game")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgtk-3-0, libcurl4, libsodium23, fonts-wqy-zenhei | fonts-noto-cjk")
include(CPack)
