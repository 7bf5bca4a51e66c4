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
