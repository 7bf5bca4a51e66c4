# ZVK_EMSCRIPTEN_TOOLCHAIN: Emscripten's CMake toolchain, found beside the
# emcc on the PATH (Debian's emscripten package, or emsdk's); empty without.
set(ZVK_EMSCRIPTEN_TOOLCHAIN "")
find_program(ZVK_EMCC emcc)
if(ZVK_EMCC)
  get_filename_component(emscripten_dir ${ZVK_EMCC} REALPATH)
  get_filename_component(emscripten_dir ${emscripten_dir} DIRECTORY)
  if(EXISTS ${emscripten_dir}/cmake/Modules/Platform/Emscripten.cmake)
    set(ZVK_EMSCRIPTEN_TOOLCHAIN ${emscripten_dir}/cmake/Modules/Platform/Emscripten.cmake)
  endif()
endif()
