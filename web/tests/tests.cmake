# The page's tests (the preset `web`): the core under Node against the native
# console tool, built here with the host's compiler, and the page in headless
# Chromium, Firefox and WebKitGTK, the system's own, driven by the npm
# packages of the committed lockfile (never a browser of their own).
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

# The npm packages that drive the browsers, then the page in each engine; an
# engine that cannot run here is skipped, with the reason.
find_program(ZVK_NPM npm)
add_test(NAME web.npm
  COMMAND ${CMAKE_COMMAND} -D NPM=${ZVK_NPM} -D SOURCE=${PROJECT_SOURCE_DIR} -D DIR=${CMAKE_BINARY_DIR}/npm
          -P ${PROJECT_SOURCE_DIR}/tests/npm_ci.cmake)
set_tests_properties(web.npm PROPERTIES FIXTURES_SETUP npm TIMEOUT 600 SKIP_REGULAR_EXPRESSION "SKIPPED: ")
foreach(engine IN ITEMS chromium firefox webkit)
  add_test(NAME web.page.${engine}
    COMMAND ${ZVK_NODE} ${PROJECT_SOURCE_DIR}/tests/page_test.mjs ${engine}
            ${CMAKE_BINARY_DIR}/zvk-setup-dumper.html ${CMAKE_BINARY_DIR}/npm ${native} ${ZVK_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/page-test/${engine})
  set_tests_properties(web.page.${engine} PROPERTIES FIXTURES_REQUIRED "native;npm" TIMEOUT 300
                       SKIP_REGULAR_EXPRESSION "SKIPPED: ")
endforeach()
