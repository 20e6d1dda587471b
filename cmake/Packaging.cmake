# Installation layout and the Debian package (scripts/package.sh builds it with CPack).
#   /usr/bin/svod, /usr/bin/svod-cli
#   /usr/share/svod/help            the help pages the program shows
#   /usr/share/svod/demo/templates  demo report templates (.frf)
#   /usr/share/svod/demo/packets    sample packets (DBF pairs), written by svod-cli at packaging time
#   /usr/share/applications, /usr/share/icons, /usr/share/man/man1
include(GNUInstallDirs)

install(TARGETS svod svod-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/app/help/ DESTINATION ${CMAKE_INSTALL_DATADIR}/svod/help)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/engine/demo/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/svod/demo/templates FILES_MATCHING PATTERN "*.frf")
install(FILES ${PROJECT_SOURCE_DIR}/packaging/svod.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/svod.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Debian wants man pages compressed, reproducibly (no name or time stamp in the gzip header).
set(SVOD_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/svod-cli.1.gz)
add_custom_command(OUTPUT ${SVOD_MAN_PAGE}
  COMMAND gzip -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/svod-cli.1 > ${SVOD_MAN_PAGE}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/svod-cli.1 VERBATIM)
add_custom_target(svod_man_page ALL DEPENDS ${SVOD_MAN_PAGE})
install(FILES ${SVOD_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The sample packets come from the same generator as `init-db --demo`.
install(CODE "
  set(packets \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/svod/demo/packets\")
  set(scratch \"${CMAKE_CURRENT_BINARY_DIR}/package-demo.db\")
  file(REMOVE \"\${scratch}\")
  file(MAKE_DIRECTORY \"\${packets}\")
  execute_process(COMMAND \"$<TARGET_FILE:svod-cli>\" --db \"sqlite:\${scratch}\" init-db --demo \"\${packets}\"
                  RESULT_VARIABLE status OUTPUT_QUIET)
  file(REMOVE \"\${scratch}\")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR \"svod-cli could not write the sample packets (\${status})\")
  endif()
")

execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE SVOD_DEB_ARCH
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT SVOD_DEB_ARCH)
  set(SVOD_DEB_ARCH amd64)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME svod)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "consolidated fixed-asset reporting for a central accounting office")
set(CPACK_PACKAGE_DESCRIPTION
    "Reception of branch packets (DBF file pairs or server staging tables), validation against the
packet itself and the accepted history, replacement of a branch's data in one transaction, and
banded reports (IFRS in dollars, Russian standards in roubles). The desktop program svod
(Russian user interface) and the command line tool svod-cli; SQLite, PostgreSQL, or Microsoft
SQL Server through ODBC.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "svod developers <svod@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION office)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${SVOD_DEB_ARCH})
set(CPACK_DEBIAN_FILE_NAME "svod_${PROJECT_VERSION}_${SVOD_DEB_ARCH}.deb")
# Libraries the programs link come from dpkg-shlibdeps; what Qt loads as plugins or files at run
# time is named here: the SQLite driver, the fonts reports are laid out in, Qt's Russian texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, fonts-liberation2, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6sql6-psql, libqt6sql6-odbc, tdsodbc")
include(CPack)
