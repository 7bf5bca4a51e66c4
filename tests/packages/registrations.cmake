# The checks of what ships: the packages, the executables' protections and,
# for Windows, their imports and resources. Included by tests/CMakeLists.txt,
# in whose directory scope the Wine fixture reaches package.contents.

# A test that reads the protections of TARGET from its headers with READER
# (readelf, or objdump for Windows), as check_hardening.cmake lists them.
# Where the executable cannot have some, it says so and counts as skipped.
function(zvk_add_hardening_test kind target reader)
  add_test(NAME hardening.${kind}
    COMMAND ${CMAKE_COMMAND} -D KIND=${kind} -D READER=${reader} -D EXE=$<TARGET_FILE:${target}>
            "-D LINK=${ZVK_STATIC_LINK_OPTION}" "-D GLIBC=${zvk_libc_is_glibc}"
            -D COMPILER=${CMAKE_CXX_COMPILER_ID} "-D PIE_START_CODE=${ZVK_STATIC_PIE_START_CODE}"
            -P ${CMAKE_CURRENT_LIST_DIR}/check_hardening.cmake)
  set_tests_properties(hardening.${kind} PROPERTIES TIMEOUT 30 SKIP_REGULAR_EXPRESSION "SKIPPED: ")
endfunction()

# The packages are built, unpacked and run (a .deb needs dpkg-dev). lintian,
# where installed, checks the .deb, and its hardening tags where GCC built it
# with every protection: glibc fortifies the printf family for GCC only.
find_program(DPKG_SHLIBDEPS_PROGRAM dpkg-shlibdeps)
find_program(LINTIAN_PROGRAM lintian)
# The installer's check holds the installer's mutex, as another installer
# would, and a file open, as an editor would, with `hold`.
set(hold "")
if(WIN32)
  add_executable(hold ${CMAKE_CURRENT_LIST_DIR}/hold.cpp)
  target_link_libraries(hold PRIVATE zvk_compile_options)
  set(hold $<TARGET_FILE:hold>)
endif()
if(DPKG_SHLIBDEPS_PROGRAM OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  add_test(NAME package.contents COMMAND ${CMAKE_COMMAND} -D CPACK=${CMAKE_CPACK_COMMAND}
    -D BUILD=${CMAKE_BINARY_DIR} -D TOOL=$<TARGET_FILE:zvk-setup-dumper> -D LINTIAN=${LINTIAN_PROGRAM}
    "-D HARDENED=$<AND:$<BOOL:${ZVK_FULLY_HARDENED}>,$<STREQUAL:${CMAKE_CXX_COMPILER_ID},GNU>>"
    "-D EMULATOR=${emulator}" "-D PAGE=${ZVK_WEB_PAGE_FILE}" "-D HOLD=${hold}"
    -P ${CMAKE_CURRENT_LIST_DIR}/check_packages.cmake)
else()
  add_test(NAME package.contents COMMAND ${CMAKE_COMMAND} -E echo
    "SKIPPED: dpkg-shlibdeps not found, so no .deb can be built (Debian: dpkg-dev)")
  set_tests_properties(package.contents PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED: ")
endif()
set_tests_properties(package.contents PROPERTIES TIMEOUT 600)

if(CMAKE_CROSSCOMPILING)
  # The executable must run on a bare Windows: it may import system DLLs only.
  # And it must say what it is: its version resource and manifest.
  find_program(MINGW_OBJDUMP x86_64-w64-mingw32-objdump REQUIRED)
  find_program(WRESTOOL_PROGRAM wrestool REQUIRED) # Debian: icoutils
  add_test(NAME windows.imports-only-system-dlls
    COMMAND ${CMAKE_COMMAND} -D OBJDUMP=${MINGW_OBJDUMP} -D EXE=$<TARGET_FILE:zvk-setup-dumper>
            -P ${CMAKE_CURRENT_LIST_DIR}/check_imports.cmake)
  add_test(NAME windows.version-resource
    COMMAND ${CMAKE_COMMAND} -D WRESTOOL=${WRESTOOL_PROGRAM} -D EXE=$<TARGET_FILE:zvk-setup-dumper>
            -D VERSION=${PROJECT_VERSION} -P ${CMAKE_CURRENT_LIST_DIR}/check_resources.cmake)
  set_tests_properties(windows.imports-only-system-dlls windows.version-resource
    PROPERTIES TIMEOUT 30)
  zvk_add_hardening_test(windows zvk-setup-dumper ${MINGW_OBJDUMP})
elseif(ZVK_FULLY_HARDENED AND TARGET zvk-setup-dumper-dynamic)
  zvk_add_hardening_test(dynamic zvk-setup-dumper-dynamic ${CMAKE_READELF})
  if(ZVK_STATIC_EXE)
    zvk_add_hardening_test(static zvk-setup-dumper ${CMAKE_READELF})
  endif()
endif()
