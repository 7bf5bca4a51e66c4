# A release builds to the same bytes wherever and whenever it is built: no
# build path in the executables, no build time in them or in the packages.

# The release's moment is midnight UTC of its date at the top of
# CHANGELOG.md, unless the builder sets SOURCE_DATE_EPOCH.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ZVK_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  string(REGEX MATCH "^0*([0-9]+)-0*([0-9]+)-0*([0-9]+)$" date_parts ${ZVK_RELEASE_DATE})
  set(y ${CMAKE_MATCH_1})
  set(m ${CMAKE_MATCH_2})
  set(d ${CMAKE_MATCH_3})
  if(m LESS_EQUAL 2) # days since 1970-01-01, counting years from March
    math(EXPR y "${y} - 1")
    math(EXPR m "${m} + 9")
  else()
    math(EXPR m "${m} - 3")
  endif()
  math(EXPR ZVK_SOURCE_DATE_EPOCH "86400 * (${y} * 365 + ${y} / 4 - ${y} / 100 + ${y} / 400
                                  + (153 * ${m} + 2) / 5 + ${d} - 1 - 719468)")
endif()

# CPack reads it in packaging/components.cmake: every file in a package
# carries this time, not the time of the build.
set(CPACK_ZVK_SOURCE_DATE_EPOCH ${ZVK_SOURCE_DATE_EPOCH})

if(MSVC)
  return()
endif()

# Paths of the source and build folders out of debug information and
# __FILE__. Not -ffile-prefix-map: it also rewrites the paths in gcov's
# notes, which the coverage report filters on. The build folder usually lies
# inside the source folder; GCC takes the last map that matches, so the
# source folder's comes first.
zvk_add_checked_compile_options(-fdebug-prefix-map=${PROJECT_SOURCE_DIR}=.
                                -fmacro-prefix-map=${PROJECT_SOURCE_DIR}=.
                                -fdebug-prefix-map=${PROJECT_BINARY_DIR}=build
                                -fmacro-prefix-map=${PROJECT_BINARY_DIR}=build)

if(WIN32)
  # binutils 2.40 writes SOURCE_DATE_EPOCH into the .exe's header as the link
  # time; older linkers can only leave the time out.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -Wl,--version OUTPUT_VARIABLE linker_version
                  ERROR_QUIET)
  if(linker_version MATCHES "GNU ld [^\n]* 2\\.([0-9]+)" AND CMAKE_MATCH_1 GREATER_EQUAL 40)
    set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ZVK_SOURCE_DATE_EPOCH}
        ${CMAKE_CXX_LINKER_LAUNCHER})
  else()
    zvk_add_checked_link_options(LINKER:--no-insert-timestamp)
  endif()
endif()
