# Read by CPack once per generator: which install components go into which
# package.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_COMPONENTS_ALL debian manual)
else()
  set(CPACK_COMPONENTS_ALL program manual archive)
endif()
