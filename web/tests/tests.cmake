# The page's tests (the preset `web`): the core under Node against the native
# console tool, built here with the host's compiler, and the page in a
# headless Chromium driven by puppeteer-core, installed by npm from the
# committed lockfile (never a browser of its own).
set(native ${CMAKE_BINARY_DIR}/native)
add_test(NAME web.native-tool
  COMMAND ${CMAKE_COMMAND} -E env --unset=CMAKE_TOOLCHAIN_FILE
          ${CMAKE_COMMAND} -D SOURCE=${ZVK_SOURCE_DIR} -D BUILD=${native}
          -P ${PROJECT_SOURCE_DIR}/tests/build_native.cmake)
set_tests_properties(web.native-tool PROPERTIES FIXTURES_SETUP native TIMEOUT 600)
add_test(NAME web.core
  COMMAND ${ZVK_NODE} ${PROJECT_SOURCE_DIR}/tests/core_test.mjs $<TARGET_FILE:zvk-core> ${native}
          ${ZVK_SOURCE_DIR} ${CMAKE_BINARY_DIR}/core-test)
set_tests_properties(web.core PROPERTIES FIXTURES_REQUIRED native)

find_program(ZVK_NPM npm)
find_program(ZVK_CHROMIUM NAMES chromium chromium-browser)
if(ZVK_NPM AND ZVK_CHROMIUM)
  add_test(NAME web.puppeteer
    COMMAND ${CMAKE_COMMAND} -D NPM=${ZVK_NPM} -D SOURCE=${PROJECT_SOURCE_DIR}
            -D DIR=${CMAKE_BINARY_DIR}/npm -P ${PROJECT_SOURCE_DIR}/tests/npm_ci.cmake)
  set_tests_properties(web.puppeteer PROPERTIES FIXTURES_SETUP puppeteer TIMEOUT 600
                       SKIP_REGULAR_EXPRESSION "SKIPPED: ")
  add_test(NAME web.page
    COMMAND ${ZVK_NODE} ${PROJECT_SOURCE_DIR}/tests/page_test.mjs ${CMAKE_BINARY_DIR}/zvk-setup-dumper.html
            ${ZVK_CHROMIUM} ${CMAKE_BINARY_DIR}/npm/node_modules ${native} ${ZVK_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/page-test)
  set_tests_properties(web.page PROPERTIES FIXTURES_REQUIRED "native;puppeteer" TIMEOUT 120
                       SKIP_REGULAR_EXPRESSION "SKIPPED: ")
else()
  add_test(NAME web.page COMMAND ${CMAKE_COMMAND} -E echo "SKIPPED: the page test needs npm and chromium")
  set_tests_properties(web.page PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED: ")
endif()
