# How the tool's executable links when ZVK_STATIC_EXE asks for a static one.
# ZVK_STATIC_LINK_OPTION is the option that links it, empty where the
# platform has none: MSVC takes its static C runtime instead, Apple's linker
# links nothing statically, and where no static C++ program links, the
# executable is dynamic.
set(ZVK_STATIC_LINK_OPTION "")
if(NOT ZVK_STATIC_EXE OR APPLE)
  return()
endif()
if(MSVC)
  # The static C runtime; it must be chosen before any target is made.
  set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
  return()
endif()
if(WIN32)
  set(ZVK_STATIC_LINK_OPTION -static)
  return()
endif()

# Whether the C library has static-PIE start code: there the protections
# test takes a static executable that is not position-independent for a
# fault, not for a system that cannot do better.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=rcrt1.o
                OUTPUT_VARIABLE zvk_pie_start_code OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
set(ZVK_STATIC_PIE_START_CODE OFF)
if(IS_ABSOLUTE "${zvk_pie_start_code}" AND EXISTS "${zvk_pie_start_code}")
  set(ZVK_STATIC_PIE_START_CODE ON)
endif()

# Static-PIE where the C library has its start code (rcrt1.o), else plain
# -static; either only where the C and C++ libraries come as static archives,
# which Fedora, RHEL and openSUSE ship in packages of their own. Each is
# tried on a program of the C++ library's, compiled and linked as the tool
# is: the static option comes after the directory's -pie, which it overrides.
include(CheckCXXSourceCompiles)
get_directory_property(directory_link_options LINK_OPTIONS)
set(CMAKE_REQUIRED_FLAGS -fPIE)
foreach(option -static-pie -static)
  string(MAKE_C_IDENTIFIER "zvk_links${option}" links)
  set(CMAKE_REQUIRED_LINK_OPTIONS ${directory_link_options} ${option})
  check_cxx_source_compiles("#include <iostream>
    #include <string>
    int main(int argc, char** argv) {
      std::string name(argv[0]);
      std::cout << name.size() + static_cast<std::size_t>(argc) << std::endl;
    }" ${links})
  if(${links})
    set(ZVK_STATIC_LINK_OPTION ${option})
    break()
  endif()
  # Tried again at the next configure, once the libraries are installed.
  unset(${links} CACHE)
endforeach()
unset(CMAKE_REQUIRED_LINK_OPTIONS)
unset(CMAKE_REQUIRED_FLAGS)
if(NOT ZVK_STATIC_LINK_OPTION)
  message(NOTICE "No static C and C++ libraries: zvk-setup-dumper is linked dynamically. "
                 "For a static executable, install them (Fedora, RHEL: glibc-static and "
                 "libstdc++-static; openSUSE: glibc-devel-static) and configure again; "
                 "-D ZVK_STATIC_EXE=OFF asks for a dynamic one without this notice.")
endif()
