cmake_minimum_required(VERSION 3.25)
# Builds the .deb into OUT and fails on any lintian error or warning.
#   cmake -D CPACK=... -D CONFIG=.../CPackConfig.cmake -D OUT=... -D LINTIAN=... -P check_deb.cmake
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} -G DEB --config ${CONFIG} -B ${OUT}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
file(GLOB packages ${OUT}/*.deb)
execute_process(COMMAND ${LINTIAN} --fail-on error,warning ${packages} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lintian finds fault with ${packages}")
endif()
