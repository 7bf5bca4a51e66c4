# Cross-compiles the Windows executable with MinGW-w64 (Debian:
# g++-mingw-w64-x86-64-posix) and runs what it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(WINE_PROGRAM wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
  # Debian's Wine has no preloader: about one process start in 10 000 fails
  # ("failed to map the shared user data") when the kernel has put the
  # loader's heap where Windows needs fixed memory. Without address space
  # randomisation the heap never lies there. Some containers forbid turning
  # it off; there the tests run as before.
  find_program(SETARCH_PROGRAM setarch)
  if(SETARCH_PROGRAM)
    execute_process(COMMAND ${SETARCH_PROGRAM} x86_64 -R true RESULT_VARIABLE no_randomisation)
    if(no_randomisation EQUAL 0)
      set(CMAKE_CROSSCOMPILING_EMULATOR ${SETARCH_PROGRAM} x86_64 -R ${WINE_PROGRAM})
    endif()
  endif()
endif()

# Everything static: the tool and its tests run without the MinGW DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
