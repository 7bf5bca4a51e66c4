# The tool parses files that people share: every build gets the protections
# that distributions ask of such programs, each option only where the
# compiler and linker know it. And a release builds to the same bytes
# wherever and whenever it is built: no build path, no build time.
include(CheckCXXCompilerFlag)
include(CheckCXXSourceCompiles)
include(CheckLinkerFlag)

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

# Whether this build has every protection: the sanitizers and gcov leave
# some out, and fortification needs optimisation. The tests check the
# executables' headers only then.
set(ZVK_FULLY_HARDENED OFF)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND NOT ZVK_SANITIZE
   AND NOT ZVK_COVERAGE AND NOT ZVK_FUZZ)
  set(ZVK_FULLY_HARDENED ON)
endif()
# A test that reads the protections of TARGET from its headers with READER
# (readelf, or objdump for Windows), as check_hardening.cmake lists them.
function(zvk_add_hardening_test kind target reader)
  add_test(NAME hardening.${kind}
    COMMAND ${CMAKE_COMMAND} -D KIND=${kind} -D READER=${reader} -D EXE=$<TARGET_FILE:${target}>
            -P ${PROJECT_SOURCE_DIR}/cmake/check_hardening.cmake)
  set_tests_properties(hardening.${kind} PROPERTIES TIMEOUT 30)
endfunction()

function(zvk_add_checked_compile_options)
  foreach(option IN LISTS ARGN)
    string(MAKE_C_IDENTIFIER "zvk_cxx_has${option}" known)
    check_cxx_compiler_flag(${option} ${known})
    if(${known})
      add_compile_options($<$<COMPILE_LANGUAGE:CXX>:${option}>)
    endif()
  endforeach()
endfunction()
function(zvk_add_checked_link_options)
  foreach(option IN LISTS ARGN)
    string(MAKE_C_IDENTIFIER "zvk_link_has${option}" known)
    check_linker_flag(CXX ${option} ${known})
    if(${known})
      add_link_options(${option})
    endif()
  endforeach()
endfunction()

if(MSVC)
  # Control-flow guard and the SDL checks; /GS, /DYNAMICBASE and /NXCOMPAT
  # are the defaults.
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:/sdl>)
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:/guard:cf>)
  add_link_options(/guard:cf)
  set(ZVK_STATIC_LINK_OPTION "")
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

# MinGW's stack protector and fortified functions live in libssp, which the
# driver links when it sees the option: only a static link keeps the
# executable free of its DLL.
set(zvk_libssp_ok ON)
if(MINGW AND NOT CMAKE_EXE_LINKER_FLAGS MATCHES "(^| )-static( |$)")
  set(zvk_libssp_ok OFF)
endif()
if(zvk_libssp_ok)
  zvk_add_checked_compile_options(-fstack-protector-strong)
  if(MINGW)
    zvk_add_checked_link_options(-fstack-protector-strong)
  endif()
endif()

# Bounds checks in the C library's string and I/O functions and in the C++
# library's containers. Fortification needs optimisation; level 3 needs
# glibc 2.34. A toolchain that defines it already is left as it is.
add_compile_definitions(_GLIBCXX_ASSERTIONS)
set(CMAKE_REQUIRED_FLAGS -O2)
check_cxx_source_compiles("#include <cstdio>
  #ifdef _FORTIFY_SOURCE
  #error defined by the toolchain
  #endif
  int main() {}" zvk_fortify_is_ours)
check_cxx_source_compiles("#include <cstdio>
  #if !defined(__GLIBC__)
  #error not glibc
  #elif !__GLIBC_PREREQ(2, 34)
  #error no level 3
  #endif
  int main() {}" zvk_fortify_3)
unset(CMAKE_REQUIRED_FLAGS)
if(zvk_fortify_is_ours AND zvk_libssp_ok AND NOT ZVK_SANITIZE AND NOT ZVK_FUZZ)
  set(level 2)
  if(zvk_fortify_3)
    set(level 3)
  endif()
  add_compile_definitions($<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=${level}>)
endif()

# Windows probes each page of a large stack frame already (__chkstk), and
# MinGW's GCC 12 crashes on some code with the option.
if(NOT WIN32)
  zvk_add_checked_compile_options(-fstack-clash-protection)
endif()
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86)$")
  zvk_add_checked_compile_options(-fcf-protection)
endif()

if(WIN32)
  # Address randomisation, above 4 GiB too, and no executable data: MinGW's
  # defaults since binutils 2.36, asked for here for older ones.
  zvk_add_checked_link_options(LINKER:--dynamicbase LINKER:--high-entropy-va LINKER:--nxcompat)
  # binutils 2.40 writes SOURCE_DATE_EPOCH into the header as the link time;
  # older linkers can only leave the time out.
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -Wl,--version OUTPUT_VARIABLE linker_version
                  ERROR_QUIET)
  if(linker_version MATCHES "GNU ld [^\n]* 2\\.([0-9]+)" AND CMAKE_MATCH_1 GREATER_EQUAL 40)
    set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ZVK_SOURCE_DATE_EPOCH}
        ${CMAKE_CXX_LINKER_LAUNCHER})
  else()
    zvk_add_checked_link_options(LINKER:--no-insert-timestamp)
  endif()
  set(ZVK_STATIC_LINK_OPTION -static)
  return()
endif()
if(APPLE)
  set(ZVK_STATIC_LINK_OPTION "")
  return()
endif()

# Position-independent executables, so that the system loads them at a
# random address; full RELRO; no executable stack. By hand rather than by
# POSITION_INDEPENDENT_CODE, which puts -pie after -static-pie and so turns
# the static executable into a dynamic one.
zvk_add_checked_compile_options(-fPIE)
zvk_add_checked_link_options(-pie LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
# The static executable: static-PIE where the C library has its start code.
# It must come after -pie, which it overrides.
check_linker_flag(CXX -static-pie zvk_link_has_static_pie)
if(zvk_link_has_static_pie)
  set(ZVK_STATIC_LINK_OPTION -static-pie)
else()
  set(ZVK_STATIC_LINK_OPTION -static)
endif()
