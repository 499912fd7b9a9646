# Installing and packaging: what `cmake --install` puts where, and the Debian package CPack
# makes of it (`cpack` in the build folder).
#
# Paths are relative to the prefix, /usr in the package. The simulated gauge's library goes
# to lib/quilex/ and not to the linker's folders: nothing links against it, it is loaded
# by path through $QUILEX_LIBUSB. The udev rule goes to lib/udev/rules.d/ under the prefix,
# which is where Debian's udev reads packaged rules (/usr/lib/udev/rules.d).

include(GNUInstallDirs)

set(QUILEX_APP_ID example.quilex.QuilexA)
set(QUILEX_RESOURCES ${PROJECT_SOURCE_DIR}/resources)

install(TARGETS quilex quilex-cli quilex-sim-pipes RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The whole command line, which quilex-cli starts for most commands (src/CMakeLists.txt): a
# program for quilex-cli alone, so not in the PATH.
install(TARGETS quilex-cli-commands RUNTIME DESTINATION libexec/quilex)
install(TARGETS quilex-sim-usb LIBRARY DESTINATION lib/quilex)

install(FILES ${QUILEX_RESOURCES}/udev/60-quilex.rules DESTINATION lib/udev/rules.d)
install(FILES ${QUILEX_RESOURCES}/desktop/${QUILEX_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILEX_RESOURCES}/metainfo/${QUILEX_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUILEX_RESOURCES}/icons/quilex.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${QUILEX_APP_ID}.svg)
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${QUILEX_RESOURCES}/icons/quilex-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${QUILEX_APP_ID}.png)
endforeach()
# Project files and survey histories are types of their own, which the file manager opens with
# the program and shows with its icon; shared-mime-info's trigger updates the database when the
# package comes and goes.
install(FILES ${QUILEX_RESOURCES}/mime/${QUILEX_APP_ID}.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
foreach(type project history)
  install(FILES ${QUILEX_RESOURCES}/icons/quilex.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes RENAME application-x-quilex-${type}.svg)
endforeach()

# Manual pages and the changelog go compressed, as Debian keeps them: gzip -9n, no name or time
# in the header, so the same sources give the same bytes.
find_program(QUILEX_GZIP gzip REQUIRED)
set(QUILEX_COMPRESSED)
set(QUILEX_COMPRESSED_SOURCES)
foreach(page quilex.1 quilex-cli.1 quilex-sim-pipes.1)
  list(APPEND QUILEX_COMPRESSED_SOURCES ${QUILEX_RESOURCES}/man/${page})
endforeach()
list(APPEND QUILEX_COMPRESSED_SOURCES ${QUILEX_RESOURCES}/debian/changelog)
foreach(source IN LISTS QUILEX_COMPRESSED_SOURCES)
  get_filename_component(name ${source} NAME)
  if(name STREQUAL "changelog")
    set(name changelog.Debian)
  endif()
  set(out ${CMAKE_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/compressed
    COMMAND ${QUILEX_GZIP} -9nc ${source} > ${out}
    DEPENDS ${source} VERBATIM)
  list(APPEND QUILEX_COMPRESSED ${out})
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${QUILEX_COMPRESSED})
install(FILES ${CMAKE_BINARY_DIR}/compressed/quilex.1.gz ${CMAKE_BINARY_DIR}/compressed/quilex-cli.1.gz
              ${CMAKE_BINARY_DIR}/compressed/quilex-sim-pipes.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/compressed/changelog.Debian.gz ${QUILEX_RESOURCES}/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quilex-a)
# The one lintian tag that is ours to explain (README, "Installing").
install(FILES ${QUILEX_RESOURCES}/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quilex-a)
install(FILES ${QUILEX_RESOURCES}/completion/quilex-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The Debian package. Its Depends are what dpkg-shlibdeps finds the programs linked against
# (needs dpkg-dev), plus what they load by name at run time and so hide from it: libusb 0.1,
# the default way to the gauge. A sanitized build packages sanitized programs, and Depends
# then names the sanitizer runtimes too: package a build without QUILEX_SANITIZE to ship.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quilex-a)
set(CPACK_PACKAGE_VENDOR "The Quilex-A developers")
set(CPACK_PACKAGE_CONTACT "The Quilex-A developers <info@quilex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of the Quilex-A ultrasonic thickness gauge")
set(CPACK_PACKAGE_DESCRIPTION
  "Quilex-A reads the archive of up to 2048 thickness measurements from the\n"
  "Quilex-A hand-held ultrasonic thickness gauge over USB into a table, keeps it\n"
  "in project files, exports it to a spreadsheet workbook, copies and prints it,\n"
  "edits the gauge's table of materials and saves the picture on its screen, in\n"
  "Russian and English.\n"
  "\n"
  "The package holds the window (quilex), the command-line program (quilex-cli),\n"
  "a simulated gauge to try both without the instrument, and the udev rule that\n"
  "lets the logged-in user open the gauge.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.quilex.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libusb-0.1-4")
# The report's fonts and Qt's own Russian texts (dialog buttons): the program runs without
# them, only looks worse.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, fonts-dejavu-core, qt6-translations-l10n")
# udev learns the rule, and forgets it, without the gauge being replugged.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${QUILEX_RESOURCES}/debian/postinst;${QUILEX_RESOURCES}/debian/postrm")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)

if(QUILEX_BUILD_TESTS)
  add_subdirectory(tests/install)
endif()
