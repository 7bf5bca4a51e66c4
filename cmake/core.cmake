# The tool's portable core as every build compiles it: its sources, in one
# list, and the warnings it is built with. The console build adds a
# platform file and main.cpp; the web page (web/, which the same top-level
# project configures with Emscripten) adds its entry point.
set(ZVK_CORE_SOURCES
  ${PROJECT_SOURCE_DIR}/src/display.cpp
  ${PROJECT_SOURCE_DIR}/src/file_info.cpp
  ${PROJECT_SOURCE_DIR}/src/lap_report.cpp
  ${PROJECT_SOURCE_DIR}/src/hotlap_layout.cpp
  ${PROJECT_SOURCE_DIR}/src/lap_comparison.cpp
  ${PROJECT_SOURCE_DIR}/src/number_text.cpp
  ${PROJECT_SOURCE_DIR}/src/report_rows.cpp
  ${PROJECT_SOURCE_DIR}/src/setup_report.cpp
  ${PROJECT_SOURCE_DIR}/src/text_sink.cpp)

# Warnings and language conformance, in each compiler's own terms.
# Only C++ gets them: the resource compiler knows none.
add_library(zvk_compile_options INTERFACE)
if(MSVC)
  target_compile_options(zvk_compile_options INTERFACE
    "$<$<COMPILE_LANGUAGE:CXX>:/W4;/permissive-;/utf-8>")
  target_compile_definitions(zvk_compile_options INTERFACE _CRT_SECURE_NO_WARNINGS)
else()
  target_compile_options(zvk_compile_options INTERFACE
    "$<$<COMPILE_LANGUAGE:CXX>:-Wall;-Wextra;-Wpedantic;-Wconversion;-Wshadow>")
endif()
