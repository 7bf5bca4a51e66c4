cmake_minimum_required(VERSION 3.25)
# Fails unless EXE shows in its headers the protections of its KIND:
#   cmake -D KIND=static|dynamic -D READER=readelf -D EXE=... -P check_hardening.cmake
#   cmake -D KIND=windows -D READER=x86_64-w64-mingw32-objdump -D EXE=... -P ...
# The static executable links the stack protector and the fortified functions
# from the C library whatever the flags, so only the dynamic one tells
# whether the tool's own code calls them.
# kind | + must / - must not | what | pattern in the headers
set(table
  "static|+|position-independent|Type: +DYN "
  "static|+|read-only relocations|GNU_RELRO"
  "static|+|bound at start|BIND_NOW"
  "static|+|a stack that does not execute|GNU_STACK [^\n]* RW "
  "static|-|a program interpreter|INTERP"
  "static|-|a shared library|NEEDED"
  "dynamic|+|position-independent|Type: +DYN "
  "dynamic|+|read-only relocations|GNU_RELRO"
  "dynamic|+|bound at start|BIND_NOW"
  "dynamic|+|a stack that does not execute|GNU_STACK [^\n]* RW "
  "dynamic|+|the stack protector|__stack_chk_fail"
  "dynamic|+|a fortified function|__[a-z_]+_chk@"
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
foreach(row IN LISTS table)
  string(REPLACE "|" ";" row "${row}")
  list(POP_FRONT row kind sign what pattern)
  if(NOT kind STREQUAL KIND)
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
if(faults)
  message(FATAL_ERROR "${EXE} (${KIND}):${faults}\n${headers}")
endif()
