# Read by CPack once per generator: which install components go into which
# package, and whether an archive has a folder of its own at the top.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL debian manual)
else()
  set(CPACK_COMPONENTS_ALL program manual archive)
  set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
