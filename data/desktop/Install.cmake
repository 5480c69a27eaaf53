# Installing Tarnwick the Linux way, and the Debian package of it (make package).
#
#   <prefix>/bin/tarnwick                 a link to the executable
#   <prefix>/lib/tarnwick/                the executable, both engine libraries, ZIPSFX.BIN, HLP/,
#                                         the default LISTS/ (what the program reads from its folder)
#   <prefix>/share/applications/          the desktop entry
#   <prefix>/share/metainfo/              the AppStream description
#   <prefix>/share/icons/hicolor/         the icon, drawn (SVG) and in PNG sizes
#   <prefix>/share/doc/tarnwick/          copyright and changelog
#   <prefix>/share/man/man1/tarnwick.1.gz the manual page
#
# What the program writes goes to the user's data folder, never here.

# The AppStream screenshot needs a web address. The project publishes none yet, so the
# description carries no screenshot until one is given here (the picture is demo/screenshot.png).
set(TARNWICK_SCREENSHOT_URL "" CACHE STRING "Web address of the main window's screenshot")

set(TARNWICK_LIB_DIR lib/tarnwick)
set(TARNWICK_DESKTOP_DIR ${CMAKE_CURRENT_LIST_DIR})
set(TARNWICK_DESKTOP_OUT ${CMAKE_BINARY_DIR}/desktop)

set(TARNWICK_SCREENSHOTS "")
if(TARNWICK_SCREENSHOT_URL)
  set(TARNWICK_SCREENSHOTS "  <screenshots>
    <screenshot type=\"default\">
      <caption>The main window with a small catalogue</caption>
      <image>${TARNWICK_SCREENSHOT_URL}</image>
    </screenshot>
  </screenshots>
")
endif()
configure_file(${TARNWICK_DESKTOP_DIR}/tarnwick.desktop.in ${TARNWICK_DESKTOP_OUT}/${TARNWICK_APP_ID}.desktop @ONLY)
configure_file(${TARNWICK_DESKTOP_DIR}/tarnwick.metainfo.xml.in
               ${TARNWICK_DESKTOP_OUT}/${TARNWICK_APP_ID}.metainfo.xml @ONLY)
# The link bin/tarnwick -> ../lib/tarnwick/Tarnwick, made here and installed as a link.
file(CREATE_LINK ../${TARNWICK_LIB_DIR}/Tarnwick ${TARNWICK_DESKTOP_OUT}/tarnwick SYMBOLIC)

install(TARGETS Tarnwick RUNTIME DESTINATION ${TARNWICK_LIB_DIR})
install(TARGETS zipsfx RUNTIME DESTINATION ${TARNWICK_LIB_DIR})
# Loaded with dlopen, not run: no execute bit.
install(TARGETS zipengine unzengine LIBRARY DESTINATION ${TARNWICK_LIB_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(DIRECTORY ${TARNWICK_DATA_DIR}/LISTS ${TARNWICK_DATA_DIR}/HLP DESTINATION ${TARNWICK_LIB_DIR})
install(FILES ${TARNWICK_DESKTOP_OUT}/tarnwick DESTINATION bin)
install(FILES ${TARNWICK_DESKTOP_DIR}/copyright ${TARNWICK_DESKTOP_OUT}/changelog.gz DESTINATION share/doc/tarnwick)
install(FILES ${TARNWICK_DESKTOP_OUT}/tarnwick.1.gz DESTINATION share/man/man1)
install(FILES ${TARNWICK_DESKTOP_OUT}/${TARNWICK_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${TARNWICK_DESKTOP_OUT}/${TARNWICK_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${TARNWICK_DESKTOP_DIR}/tarnwick.svg DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${TARNWICK_DESKTOP_DIR}/icons/tarnwick-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME tarnwick.png)
endforeach()

# make package: a .deb of the layout above.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Tarnwick maintainers <maintainers@users.noreply.c-seed-0de98ec6.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "front-end for game emulators")
# The lines after the summary; CPack indents them.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarnwick keeps a catalogue of emulators and of ROM files, shows the ROMs
in one sortable list and starts a ROM's emulator on it, unzipping it
first when the emulator cannot read zip archives. It scans folders for
ROMs and packs files into zip archives in batch.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian's section for emulators and what goes with them.
set(CPACK_DEBIAN_PACKAGE_SECTION otherosfs)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The engines are plugins of the program, not libraries for others: no shlibs file for them.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The package's changelog, compressed as Debian keeps it (no name or time stamp in the header).
configure_file(${TARNWICK_DESKTOP_DIR}/changelog.in ${TARNWICK_DESKTOP_OUT}/changelog @ONLY)
execute_process(COMMAND gzip -9nf ${TARNWICK_DESKTOP_OUT}/changelog)
configure_file(${TARNWICK_DESKTOP_DIR}/tarnwick.1 ${TARNWICK_DESKTOP_OUT}/tarnwick.1 COPYONLY)
execute_process(COMMAND gzip -9nf ${TARNWICK_DESKTOP_OUT}/tarnwick.1)
include(CPack)
