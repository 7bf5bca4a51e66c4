cmake_minimum_required(VERSION 3.25)
# Runs the dumper on FILE with standard input from the null device, so that
# it does not wait for a key, and fails when the tool fails.
if(CMAKE_HOST_WIN32)
  set(null_device NUL)
else()
  set(null_device /dev/null)
endif()
execute_process(COMMAND ${EMULATOR} ${TOOL} ${FILE} INPUT_FILE ${null_device} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "zvk-setup-dumper ended with ${status}")
endif()
