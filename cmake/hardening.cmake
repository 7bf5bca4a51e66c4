# The tool parses files that people share: every build gets the protections
# that distributions ask of such programs, each option only where the
# compiler and linker know it.
include(CheckCXXSourceCompiles)

# Whether this build has every protection: the sanitizers and gcov leave
# some out, and fortification needs optimisation. The tests check the
# executables' headers only then.
set(ZVK_FULLY_HARDENED OFF)
if(CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$" AND NOT ZVK_SANITIZE
   AND NOT ZVK_COVERAGE AND NOT ZVK_FUZZ)
  set(ZVK_FULLY_HARDENED ON)
endif()

if(MSVC)
  # Control-flow guard and the SDL checks; /GS, /DYNAMICBASE and /NXCOMPAT
  # are the defaults.
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:/sdl>)
  add_compile_options($<$<COMPILE_LANGUAGE:CXX>:/guard:cf>)
  add_link_options(/guard:cf)
  return()
endif()

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
# glibc 2.34 and a compiler with __builtin_dynamic_object_size (GCC 12,
# clang 9). A toolchain that defines it already is left as it is. The
# fortified functions (__*_chk) are glibc's: the tests look for them only
# where the C library is glibc, not musl.
add_compile_definitions(_GLIBCXX_ASSERTIONS)
set(CMAKE_REQUIRED_FLAGS -O2)
check_cxx_source_compiles("#include <cstdio>
  #ifndef __GLIBC__
  #error not glibc
  #endif
  int main() {}" zvk_libc_is_glibc)
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
  #elif !defined(__has_builtin)
  #error a compiler without level 3
  #elif !__has_builtin(__builtin_dynamic_object_size)
  #error a compiler without level 3
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
  return()
endif()
if(APPLE)
  return()
endif()

# Position-independent executables, so that the system loads them at a
# random address; full RELRO; no executable stack. By hand rather than by
# POSITION_INDEPENDENT_CODE, which puts -pie after -static-pie and so turns
# the static executable into a dynamic one.
zvk_add_checked_compile_options(-fPIE)
zvk_add_checked_link_options(-pie LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
