# Installation and the Debian package: `cpack -G DEB` in the build folder.
include(GNUInstallDirs)

install(TARGETS vellmar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The headless host is a program of its own; it is packaged whenever it is built.
if(TARGET vellmar-host)
    install(TARGETS vellmar-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vellmar.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vellmar.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The generated sample maps and sounds; the program copies them into the
# user's working folder on first start (see src/app/platform/WorkingFolder.h).
install(DIRECTORY ${VELLMAR_SAMPLE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/vellmar/sample)

set(CPACK_PACKAGE_NAME vellmar)
set(CPACK_PACKAGE_VENDOR "Vellmar")
set(CPACK_PACKAGE_CONTACT "Vellmar developers <vellmar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Pen-and-paper role-playing sessions over a network")
set(CPACK_PACKAGE_DESCRIPTION "A game master hosts, players join; everybody sees a battle map with markers\n\
and tokens, chat, a dice roller and a combat tracker. Includes a headless session host.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vellmar)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# dpkg-shlibdeps (from dpkg-dev) names the exact library packages when it is
# there; otherwise the list below, which matches Debian 12.
find_program(VELLMAR_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VELLMAR_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6widgets6, libqt6network6, libqt6multimedia6, libqt6gui6, libqt6core6, libminiupnpc17, libnatpmp1")
endif()
include(CPack)
