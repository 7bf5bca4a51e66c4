# Installation and packages. Linux: a .deb for Debian and its kin, linked
# dynamically as Debian's policy asks, so that security updates of the C and
# C++ libraries reach the tool; and a .tar.gz with the static executable,
# which runs on any x86-64 Linux without installation. Windows: a flat .zip
# with the static executable, and an installer of the same files.
include(GNUInstallDirs)

set(CPACK_PACKAGE_CONTACT "zvk-setup-dumper developers <zvk-setup-dumper@users.noreply.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print the car setup stored in a ZVK hotlap (QDP) file")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  install(TARGETS zvk-setup-dumper RUNTIME DESTINATION .)
  # Beside the executable; the installer handles each by name.
  set(windows_documents README.md LICENSE CHANGELOG.md examples/sample.qdp ${ZVK_WEB_PAGE_FILE})
  install(FILES ${windows_documents} DESTINATION .)
  set(CPACK_GENERATOR ZIP NSIS)
  set(CPACK_SYSTEM_NAME windows-x86_64)
  include(packaging/windows_installer.cmake)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/components.cmake)
  include(CPack)
  return()
endif()

# What both packages and `cmake --install` hold: the manual page, compressed
# as Debian has it, the README and the example lap.
find_program(GZIP_PROGRAM gzip REQUIRED)
configure_file(docs/zvk-setup-dumper.1.in zvk-setup-dumper.1 @ONLY)
add_custom_command(OUTPUT zvk-setup-dumper.1.gz
  COMMAND ${GZIP_PROGRAM} -9n -c zvk-setup-dumper.1 > zvk-setup-dumper.1.gz
  DEPENDS ${PROJECT_BINARY_DIR}/zvk-setup-dumper.1
  VERBATIM)
add_custom_target(manual-page ALL DEPENDS zvk-setup-dumper.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/zvk-setup-dumper.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT manual)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT manual)
# Where Debian keeps a package's examples.
install(FILES examples/sample.qdp DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT manual)
# The web page, for a browser on any device: a program's data rather than its
# documentation, which a system may leave out (Debian's path-exclude).
if(ZVK_WEB_PAGE_FILE)
  install(FILES ${ZVK_WEB_PAGE_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME}
          COMPONENT manual)
endif()

# `cmake --install` and the .tar.gz: the executable as built, the license and
# history beside it.
install(TARGETS zvk-setup-dumper RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT program)
install(FILES LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT program)
install(FILES LICENSE DESTINATION . COMPONENT archive EXCLUDE_FROM_ALL)

# "Open With" in a file manager: a desktop entry that runs the tool in a
# terminal on the chosen lap, kept out of the application menu, where it
# would only ask for a file name; and the lap's MIME type, known by its name
# and by its signature, so that a renamed lap keeps its type. Debian's
# triggers update both databases; elsewhere update-desktop-database and
# update-mime-database do.
install(FILES packaging/zvk-setup-dumper.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT desktop)
install(FILES packaging/zvk-setup-dumper.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages COMPONENT desktop)
# The entry's icon, in the sizes a desktop theme looks for first, and drawn.
foreach(size 16 32 48 256)
  install(FILES packaging/icon/zvk-setup-dumper-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME zvk-setup-dumper.png COMPONENT desktop)
endforeach()
install(FILES packaging/icon/zvk-setup-dumper.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT desktop)

set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
# Each generator takes its own components: see packaging/components.cmake.
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/packaging/components.cmake)
if(NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR TGZ)
  include(CPack)
  return()
endif()

# The .deb: a dynamically linked executable, and Debian's copyright file and
# changelog in place of the license and the history.
add_executable(zvk-setup-dumper-dynamic src/main.cpp)
target_link_libraries(zvk-setup-dumper-dynamic PRIVATE zvk_dumper zvk_compile_options)
set_target_properties(zvk-setup-dumper-dynamic PROPERTIES
  OUTPUT_NAME zvk-setup-dumper RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/dynamic)
file(READ LICENSE license)
string(REGEX REPLACE "^MIT License\n\nCopyright[^\n]*\n\n" "" license_terms "${license}")
string(REPLACE "\n\n" "\n.\n" license_terms "${license_terms}")
string(REGEX REPLACE "\n$" "" license_terms "${license_terms}")
string(REPLACE "\n" "\n " license_terms " ${license_terms}")
configure_file(packaging/copyright.in copyright @ONLY)
add_custom_command(OUTPUT changelog.gz
  COMMAND ${CMAKE_COMMAND} -D INPUT=${PROJECT_SOURCE_DIR}/CHANGELOG.md -D OUTPUT=changelog
          -D PACKAGE=${PROJECT_NAME} "-D MAINTAINER=${CPACK_PACKAGE_CONTACT}"
          -P ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.cmake
  COMMAND ${GZIP_PROGRAM} -9n -f changelog
  DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/packaging/debian_changelog.cmake
  VERBATIM)
add_custom_target(debian-changelog ALL DEPENDS changelog.gz)
install(TARGETS zvk-setup-dumper-dynamic RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB TGZ)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# CPack puts the summary first and indents the lines as Debian wants them.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "zvk-setup-dumper reads one hotlap file (.qdp) saved by the ZVK racing
simulator and prints, as plain text, the simulator version, the player,
the car, the track and the weather, then the car setup: the rear and front
suspension with their tyre compounds, the brakes, the gear ratios and the
final drive.

It only reads the file. The report goes to standard output, for people and
for scripts alike.")
include(CPack)
