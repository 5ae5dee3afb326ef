# What `cpack` puts into the Debian package: both front ends and the desktop entry with its
# icon, so the program starts from the applications menu like the rest of the shop's software.
# The print pages are built into the programs; a shop changes its own with `ws shop
# --print-template`, so no copy lies about that a shop could edit in vain.
include(GNUInstallDirs)

install(TARGETS ws RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET ws-desk)
  install(TARGETS ws-desk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/ws-desk.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/ws-desk.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ws-repair-shop)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ws-repair-shop)
set(CPACK_PACKAGE_VENDOR "ws")
set(CPACK_PACKAGE_CONTACT "ws <ws@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Repair orders, requisitions, settlements and receipts of a vehicle repair shop")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# The libraries follow from the binaries; the Chinese texts of Qt's own dialogs and a font
# for the Chinese screens do not, so they are named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, fonts-wqy-microhei")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "postgresql-client")
set(CPACK_STRIP_FILES ON)
include(CPack)
