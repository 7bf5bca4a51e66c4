cmake_minimum_required(VERSION 3.25)
# Builds the packages of the build folder BUILD and checks each as a user
# gets it: unpacked, its executable prints for the example file byte for byte
# the report of examples/sample.txt (under Windows with CR LF and PAUSE's
# prompt), it holds the license (a .deb as Debian's copyright file), and
# every file that its README links to. Where LINTIAN is given, it must find no fault in the .deb,
# and with HARDENED on, no missing protection either (its hardening-* tags);
# where it is not, the test says that the .deb went unchecked. Where PAGE, the
# built web page, is given, each package holds it unchanged; where it is not,
# the test says that the packages went without it.
#   cmake -D CPACK=cpack -D BUILD=... -D TOOL=... [-D "EMULATOR=wine ..." -D HOLD=...]
#         [-D LINTIAN=lintian [-D HARDENED=ON]] [-D PAGE=...] -P check_packages.cmake
separate_arguments(EMULATOR UNIX_COMMAND "${EMULATOR}")
set(OUT ${BUILD}/package-check)
get_filename_component(SAMPLE ${CMAKE_CURRENT_LIST_DIR}/../../examples/sample.qdp ABSOLUTE)
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${CPACK} --config ${BUILD}/CPackConfig.cmake -B ${OUT}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)

# Standard input from the null device: the tool does not wait for a key.
if(CMAKE_HOST_WIN32)
  set(null_device NUL)
else()
  set(null_device /dev/null)
endif()
function(dump exe output)
  execute_process(COMMAND ${EMULATOR} ${exe} ${SAMPLE} INPUT_FILE ${null_device} OUTPUT_FILE ${output}
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${exe} ended with ${status}")
  endif()
endfunction()
# The example's report as the tool writes it to a file. Under Windows the
# lines end in CR LF and PAUSE adds its prompt, in the words of the system's
# command interpreter: the build's TOOL must print the report so, and what
# it prints is then what every package's executable must print.
set(report_file ${CMAKE_CURRENT_LIST_DIR}/../../examples/sample.txt)
if(EMULATOR)
  dump(${TOOL} ${OUT}/expected.txt)
  file(READ ${report_file} report HEX)
  string(REGEX MATCHALL ".." report_bytes "${report}")
  list(TRANSFORM report_bytes REPLACE "^0a$" "0d0a")
  list(JOIN report_bytes "" report)
  string(LENGTH "${report}" report_length)
  file(READ ${OUT}/expected.txt printed HEX)
  string(FIND "${printed}" "${report}" report_at)
  string(SUBSTRING "${printed}" ${report_length} -1 prompt)
  string(HEX "Press any key" pause)
  if(NOT report_at EQUAL 0 OR NOT prompt MATCHES "^${pause}")
    message(FATAL_ERROR "${TOOL} does not print examples/sample.txt with CR LF, then PAUSE's "
                        "prompt: see ${OUT}/expected.txt")
  endif()
else()
  configure_file(${report_file} ${OUT}/expected.txt COPYONLY)
endif()

file(GLOB packages ${OUT}/*.deb ${OUT}/*.tar.gz ${OUT}/*.zip)
if(NOT packages)
  message(FATAL_ERROR "CPack made no package in ${OUT}")
endif()
foreach(package IN LISTS packages)
  get_filename_component(name ${package} NAME)
  set(dir ${OUT}/unpacked/${name})
  file(MAKE_DIRECTORY ${dir})
  set(license LICENSE)
  if(name MATCHES "\\.deb$") # an ar archive of control.tar.* and data.tar.*
    execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${package} WORKING_DIRECTORY ${dir}
                    COMMAND_ERROR_IS_FATAL ANY)
    file(GLOB package ${dir}/data.tar.*)
    set(license copyright)
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${package} WORKING_DIRECTORY ${dir}
                  COMMAND_ERROR_IS_FATAL ANY)
  # Each entry once; in the .tar.gz, each folder has its own, so that
  # unpacking does not make it with the user's umask.
  execute_process(COMMAND ${CMAKE_COMMAND} -E tar tf ${package} OUTPUT_VARIABLE entries
                  COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX REPLACE "\n$" "" entries "${entries}")
  string(REPLACE "\n" ";" entries "${entries}")
  set(unique_entries ${entries})
  list(REMOVE_DUPLICATES unique_entries)
  foreach(entry IN LISTS entries)
    get_filename_component(folder ${entry} DIRECTORY)
    if(name MATCHES "\\.tar\\.gz$" AND folder AND NOT "${folder}/" IN_LIST entries)
      message(FATAL_ERROR "${name} has no entry for the folder ${folder}/")
    endif()
  endforeach()
  if(NOT unique_entries STREQUAL entries)
    message(FATAL_ERROR "${name} lists an entry twice:\n${entries}")
  endif()
  file(GLOB_RECURSE files ${dir}/*)
  set(executables ${files})
  list(FILTER executables INCLUDE REGEX "/zvk-setup-dumper(\\.exe)?$")
  list(FILTER files INCLUDE REGEX "/${license}$")
  list(LENGTH executables count)
  if(NOT count EQUAL 1 OR NOT files)
    message(FATAL_ERROR "${name}: ${count} executables, license ${files}")
  endif()
  dump(${executables} ${dir}.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/expected.txt ${dir}.txt
                  RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${executables} prints what ${TOOL} does not: see ${dir}.txt")
  endif()
  foreach(file IN LISTS files)
    file(READ ${file} text)
    if(NOT text MATCHES "Permission is hereby granted.*WITHOUT WARRANTY OF ANY KIND")
      message(FATAL_ERROR "${file} does not hold the license")
    endif()
  endforeach()
  message(STATUS "${name}: the report and the license")
  # Every link of the README to a file, where it is installed, leads to one
  # that the package holds: a web address is the only other kind.
  file(GLOB_RECURSE readme ${dir}/*README.md)
  file(READ ${readme} text)
  get_filename_component(readme_dir ${readme} DIRECTORY)
  string(REGEX MATCHALL "\\]\\([^)]*\\)" links "${text}")
  foreach(link IN LISTS links)
    string(REGEX REPLACE "^\\]\\(([^)#]*).*" "\\1" target "${link}")
    if(NOT target MATCHES "^[a-z]+:" AND NOT EXISTS ${readme_dir}/${target})
      message(FATAL_ERROR "${name}: ${readme} links to ${target}, which it does not hold")
    endif()
  endforeach()
  # The page beside the .zip's executable; in share/ of the others.
  file(GLOB_RECURSE pages ${dir}/*zvk-setup-dumper*.html)
  get_filename_component(page ${executables} DIRECTORY)
  if(NOT name MATCHES "\\.zip$")
    get_filename_component(page ${page}/../share/zvk-setup-dumper ABSOLUTE)
  endif()
  set(page ${page}/zvk-setup-dumper.html)
  if(NOT PAGE)
    message(STATUS "Emscripten not found: ${name} was built without the web page")
  elseif(NOT pages STREQUAL page)
    message(FATAL_ERROR "${name}: the web page should be ${page} alone, not: ${pages}")
  else()
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${PAGE} ${page} RESULT_VARIABLE differs)
    if(differs)
      message(FATAL_ERROR "${name}: ${page} is not the page built, ${PAGE}")
    endif()
  endif()
  if(name MATCHES "\\.(deb|tar\\.gz)$")
    include(${CMAKE_CURRENT_LIST_DIR}/check_desktop.cmake)
  endif()
  if(name MATCHES "\\.deb$" AND NOT LINTIAN)
    message(STATUS "lintian not installed: ${name} not checked against Debian's policy")
  elseif(name MATCHES "\\.deb$")
    execute_process(COMMAND ${LINTIAN} --display-info --fail-on error,warning ${OUT}/${name}
                    RESULT_VARIABLE status OUTPUT_VARIABLE tags)
    message("${tags}")
    if(NOT status EQUAL 0 OR (HARDENED AND tags MATCHES "hardening-"))
      message(FATAL_ERROR "lintian finds fault with ${name}")
    endif()
  endif()
endforeach()

# The Windows installer is installed, run and uninstalled under Wine.
file(GLOB installer ${OUT}/*.exe)
if(installer)
  include(${CMAKE_CURRENT_LIST_DIR}/check_installer.cmake)
endif()
