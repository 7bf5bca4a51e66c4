# Read by CPack once per generator: which install components go into which
# package, and whether an archive has a folder of its own at the top. And the
# time that every file in a package carries: the release's, not the build's.
set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ZVK_SOURCE_DATE_EPOCH})
# A .zip holds local time: the builder's time zone must not show. Folders get
# the same permissions whatever the builder's umask.
set(ENV{TZ} UTC0)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL debian manual desktop)
elseif(CPACK_GENERATOR STREQUAL "TGZ")
  # The components installed into one tree under the top folder, rather than
  # archived one by one: each folder once in the archive, the top one too.
  # The desktop entry and the MIME type come along, as in the .deb.
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 0 build)
  list(GET CPACK_INSTALL_CMAKE_PROJECTS 1 project)
  set(CPACK_INSTALL_CMAKE_PROJECTS "")
  foreach(component program manual desktop archive)
    list(APPEND CPACK_INSTALL_CMAKE_PROJECTS ${build} ${project} ${component} /${CPACK_PACKAGE_FILE_NAME})
  endforeach()
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
  set(CPACK_COMPONENTS_ALL program manual archive)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
# The installer takes every file, as the .zip does: the Windows files belong
# to no component.
if(CPACK_GENERATOR STREQUAL "NSIS")
  unset(CPACK_COMPONENTS_ALL)
endif()
