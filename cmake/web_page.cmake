# The web page, zvk-setup-dumper.html, built along with the console tool
# where Emscripten is installed: the top-level project configured again, in
# <build>/web, with Emscripten's toolchain (which hands over to web/), so that
# the packages can carry it. Without Emscripten the packages leave it out,
# and say so. ZVK_WEB_PAGE=OFF leaves it out on purpose.
option(ZVK_WEB_PAGE "Build the web page where Emscripten is installed" ON)
set(ZVK_WEB_PAGE_FILE "")
if(NOT ZVK_WEB_PAGE)
  return()
endif()
include(cmake/emscripten_toolchain.cmake)
if(NOT ZVK_EMSCRIPTEN_TOOLCHAIN)
  message(NOTICE "Emscripten not found: the web page zvk-setup-dumper.html is left out of the "
                 "packages (Debian: apt-get install emscripten nodejs)")
  return()
endif()

set(web_dir ${PROJECT_BINARY_DIR}/web)
set(ZVK_WEB_PAGE_FILE ${web_dir}/zvk-setup-dumper.html)
file(GLOB web_sources LIST_DIRECTORIES false ${PROJECT_SOURCE_DIR}/web/* ${PROJECT_SOURCE_DIR}/src/*)
add_custom_command(OUTPUT ${ZVK_WEB_PAGE_FILE}
  COMMAND ${CMAKE_COMMAND} -S ${PROJECT_SOURCE_DIR} -B ${web_dir} -G ${CMAKE_GENERATOR}
          --toolchain ${ZVK_EMSCRIPTEN_TOOLCHAIN} -D CMAKE_BUILD_TYPE=Release
          -D CMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR}
  COMMAND ${CMAKE_COMMAND} --build ${web_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${web_dir}/zvk-setup-dumper-${PROJECT_VERSION}.html
          ${PROJECT_BINARY_DIR}
  DEPENDS ${web_sources} ${PROJECT_SOURCE_DIR}/CMakeLists.txt
  VERBATIM)
add_custom_target(web-page ALL DEPENDS ${ZVK_WEB_PAGE_FILE})
