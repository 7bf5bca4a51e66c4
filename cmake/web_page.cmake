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
# The build in <build>/web knows the files the page is made of, by name, and
# remakes what one of them changed: it runs on every build of this one, and
# does nothing when the page is up to date. Its release file lands here.
include(ExternalProject)
ExternalProject_Add(web-page
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${web_dir}
  PREFIX ${PROJECT_BINARY_DIR}/web-page
  CMAKE_ARGS --toolchain ${ZVK_EMSCRIPTEN_TOOLCHAIN} -D CMAKE_BUILD_TYPE=Release
             -D CMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR}
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${ZVK_WEB_PAGE_FILE}
  INSTALL_COMMAND ${CMAKE_COMMAND} -E copy ${web_dir}/zvk-setup-dumper-${PROJECT_VERSION}.html
                  ${PROJECT_BINARY_DIR})
