# The native console tool and the lap builder, for comparing the page's core
# with them: cmake -D SOURCE=... -D BUILD=... -P build_native.cmake
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${BUILD} -D CMAKE_BUILD_TYPE=Release
                        -D ZVK_BUILD_TESTS=OFF -D ZVK_WEB_PAGE=OFF COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD} --target zvk-setup-dumper make_hotlap
                COMMAND_ERROR_IS_FATAL ANY)
