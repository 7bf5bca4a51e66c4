cmake_minimum_required(VERSION 3.25)
# Fails unless EXE shows in its headers the protections of its KIND:
#   cmake -D KIND=static -D LINK=-static-pie|-static|"" -D PIE_START_CODE=ON|OFF -D READER=readelf
#         -D EXE=... -P check_hardening.cmake
#   cmake -D KIND=dynamic -D GLIBC=ON|OFF -D COMPILER=GNU|Clang|... -D READER=readelf -D EXE=... -P ...
#   cmake -D KIND=windows -D READER=x86_64-w64-mingw32-objdump -D EXE=... -P ...
# LINK is the option the static executable was linked with. A plain -static
# one is not position-independent: where the C library has no static-PIE
# start code (PIE_START_CODE off), what only static-PIE has is skipped, and
# the test says so; where it has, such an executable fails. The static executable links the stack protector and the
# fortified functions from the C library whatever the flags, so only the
# dynamic one tells whether the tool's own code calls them. The fortified
# functions are glibc's, and in C++ only GCC calls those the tool needs (the
# printf family): clang's calls stay unchecked.
set(GCC_ON_GLIBC OFF)
if(GLIBC AND COMPILER STREQUAL "GNU")
  set(GCC_ON_GLIBC ON)
endif()
if(KIND STREQUAL "static")
  if(NOT LINK)
    message(STATUS "SKIPPED: no static C++ program links here, so the executable is dynamic")
    return()
  endif()
  set(STATIC_PIE OFF)
  if(LINK STREQUAL "-static-pie" OR PIE_START_CODE)
    set(STATIC_PIE ON)
  endif()
endif()
# kind | + must / - must not | what | pattern in the headers [| only where this is on]
set(table
  "static|+|position-independent|Type: +DYN |STATIC_PIE"
  "static|+|read-only relocations|GNU_RELRO"
  "static|+|bound at start|BIND_NOW|STATIC_PIE"
  "static|+|a stack that does not execute|GNU_STACK [^\n]* RW "
  "static|-|a program interpreter|INTERP"
  "static|-|a shared library|NEEDED"
  "dynamic|+|position-independent|Type: +DYN "
  "dynamic|+|read-only relocations|GNU_RELRO"
  "dynamic|+|bound at start|BIND_NOW"
  "dynamic|+|a stack that does not execute|GNU_STACK [^\n]* RW "
  "dynamic|+|the stack protector|__stack_chk_fail"
  "dynamic|+|a fortified function|__[a-z_]+_chk@|GCC_ON_GLIBC"
  "windows|+|address randomisation|DYNAMIC_BASE"
  "windows|+|addresses above 4 GiB|HIGH_ENTROPY_VA"
  "windows|+|no executable data|NX_COMPAT")
if(KIND STREQUAL "windows")
  execute_process(COMMAND ${READER} -p ${EXE} OUTPUT_VARIABLE headers COMMAND_ERROR_IS_FATAL ANY)
else()
  execute_process(COMMAND ${READER} -W -h -l -d --dyn-syms ${EXE} OUTPUT_VARIABLE headers
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
set(faults "")
set(skipped "")
foreach(row IN LISTS table)
  string(REPLACE "|" ";" row "${row}")
  list(POP_FRONT row kind sign what pattern only_where)
  if(NOT kind STREQUAL KIND)
    continue()
  elseif(only_where AND NOT ${only_where})
    message(STATUS "? ${what}: not checked, ${only_where} being off")
    list(APPEND skipped ${what})
    continue()
  endif()
  if(headers MATCHES "${pattern}")
    set(found +)
  else()
    set(found -)
  endif()
  if(found STREQUAL sign)
    message(STATUS "${sign} ${what}")
  else()
    string(APPEND faults "\n  expected ${sign} ${what} (${pattern})")
  endif()
endforeach()
if(faults AND KIND STREQUAL "static" AND NOT LINK STREQUAL "-static-pie" AND PIE_START_CODE)
  string(APPEND faults "\n  linked with ${LINK}, though the C library has static-PIE start code")
endif()
if(faults)
  message(FATAL_ERROR "${EXE} (${KIND}):${faults}\n${headers}")
endif()
if(KIND STREQUAL "static" AND skipped)
  list(JOIN skipped ", " skipped)
  message(STATUS "SKIPPED: ${skipped}: the executable is linked with ${LINK}, "
                 "the C library having no start code for static-PIE")
endif()
