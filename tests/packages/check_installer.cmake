# Included by check_packages.cmake for the Windows installer, ${installer}: run
# under Wine in a prefix of its own, as on a machine where another program
# opens .qdp files. A silent installation into a folder with a blank in its
# name must give the .zip's files, a Start-menu entry, an uninstall entry and
# the "Show car setup" verb, whose command prints what the build's tool
# prints; a silent uninstallation must take all of it away again. The
# type's own program stays the other one's throughout.
include(${BUILD}/CPackConfig.cmake)
list(GET EMULATOR -1 wine)
get_filename_component(wine_dir ${wine} DIRECTORY)
find_program(WINESERVER wineserver HINTS ${wine_dir} REQUIRED)
set(prefix ${OUT}/wine-prefix)
set(ENV{WINEPREFIX} ${prefix})
set(ENV{WINEDEBUG} -all)
# No Gecko or Mono to install, and no menu entries on the Linux desktop for
# the shortcuts the installer makes.
set(ENV{WINEDLLOVERRIDES} "mscoree,mshtml=;winemenubuilder.exe=d")
set(ENV{LC_ALL} C.UTF-8)

# Runs a Windows command line as Explorer would hand it over, unsplit: from a
# batch file, which also keeps Wine from quoting it again. Waits until every
# Windows process has ended, as an uninstaller goes on in a copy of itself.
function(run_windows line output)
  file(WRITE ${OUT}/run.bat "@${line}\r\n")
  execute_process(COMMAND ${EMULATOR} cmd /c run.bat WORKING_DIRECTORY ${OUT} INPUT_FILE ${null_device}
                  OUTPUT_FILE ${output} RESULT_VARIABLE status)
  execute_process(COMMAND ${WINESERVER} -w)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${line} ended with ${status}")
  endif()
endfunction()
# The default value of a registry key, or "(none)" where the key is missing.
function(registry_default key variable)
  execute_process(COMMAND ${EMULATOR} reg query ${key} /ve OUTPUT_VARIABLE text ERROR_QUIET)
  set(value "(none)")
  if(text MATCHES "REG_SZ +([^\r\n]*)")
    set(value "${CMAKE_MATCH_1}")
  endif()
  set(${variable} "${value}" PARENT_SCOPE)
endfunction()
# Every line of the software hives that names the tool, its vendor or .qdp.
function(registry_traces variable)
  set(traces "")
  foreach(hive HKLM HKCU)
    execute_process(COMMAND ${EMULATOR} reg export ${hive}\\Software ${hive}.reg /y
                    WORKING_DIRECTORY ${OUT} OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
    file(STRINGS ${OUT}/${hive}.reg lines ENCODING UTF-16LE
         REGEX "zvk|qdp|SystemFileAssociations")
    list(APPEND traces ${lines})
  endforeach()
  set(${variable} "${traces}" PARENT_SCOPE)
endfunction()
function(windows_path path variable)
  string(REPLACE "/" "\\" path "Z:${path}")
  set(${variable} "${path}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${EMULATOR} reg add HKCR\\.qdp /ve /d OtherViewer.Lap /f
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
registry_traces(traces_before)
set(instdir "${OUT}/Setup Dumper")
windows_path(${installer} installer_path)
windows_path(${instdir} instdir_path)
run_windows("\"${installer_path}\" /S /D=${instdir_path}" ${OUT}/install.txt)

# The .zip's files, and the uninstaller.
file(GLOB_RECURSE zipped ${OUT}/unpacked/*.zip/*)
set(expected Uninstall.exe)
foreach(file IN LISTS zipped)
  get_filename_component(file ${file} NAME)
  list(APPEND expected ${file})
endforeach()
file(GLOB installed RELATIVE ${instdir} ${instdir}/*)
list(SORT expected)
list(SORT installed)
if(NOT installed STREQUAL expected)
  message(FATAL_ERROR "The installer put [${installed}] into ${instdir}, not [${expected}]")
endif()
set(menu "${prefix}/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/${CPACK_NSIS_PACKAGE_NAME}")
file(STRINGS ${menu}/zvk-setup-dumper.lnk link REGEX "zvk-setup-dumper\\.exe")
if(NOT link)
  message(FATAL_ERROR "No Start-menu entry for the tool in ${menu}")
endif()
set(uninstall_key
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}")
execute_process(COMMAND ${EMULATOR} reg query ${uninstall_key} OUTPUT_VARIABLE entry)
foreach(value "DisplayName +REG_SZ +${CPACK_NSIS_DISPLAY_NAME}\r?\n"
              "DisplayVersion +REG_SZ +${CPACK_PACKAGE_VERSION}\r?\n"
              "Publisher +REG_SZ +${CPACK_PACKAGE_VENDOR}\r?\n"
              "UninstallString +REG_SZ +([^\r\n]+)")
  if(NOT entry MATCHES "${value}")
    message(FATAL_ERROR "The uninstall entry lacks ${value}:\n${entry}")
  endif()
endforeach()
set(uninstaller "${CMAKE_MATCH_1}")

# The verb, run on a lap whose name has a blank, as Explorer runs it: with
# the file's path in place of %1. Its console input is empty: no key to wait for.
set(verb HKCR\\SystemFileAssociations\\.qdp\\shell\\${CPACK_PACKAGE_NAME})
registry_default(${verb} title)
registry_default(${verb}\\command command)
if(NOT title STREQUAL "Show car setup" OR NOT command MATCHES "^\"[^\"]+\" \"%1\"$")
  message(FATAL_ERROR "The verb is \"${title}\", its command ${command}")
endif()
file(COPY_FILE ${SAMPLE} "${OUT}/my lap.qdp")
windows_path("${OUT}/my lap.qdp" lap)
string(REPLACE "%1" "${lap}" command "${command}")
run_windows("${command}" ${OUT}/verb.txt)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/expected.txt ${OUT}/verb.txt
                RESULT_VARIABLE differs)
registry_default(HKCR\\.qdp owner)
if(differs OR NOT owner STREQUAL "OtherViewer.Lap")
  message(FATAL_ERROR "${command} prints what ${TOOL} does not (see ${OUT}/verb.txt), "
                      "or .qdp's program is now ${owner}")
endif()
message(STATUS "${installer}: the files, the menu entry, the uninstall entry and the verb")

run_windows("${uninstaller} /S" ${OUT}/uninstall.txt)
registry_traces(traces_after)
if(EXISTS ${instdir} OR EXISTS ${menu} OR NOT traces_after STREQUAL traces_before)
  list(JOIN traces_after "\n" traces_after)
  message(FATAL_ERROR "The uninstaller left ${instdir} or ${menu}, or in the registry:\n"
                      "${traces_after}")
endif()
message(STATUS "${installer}: uninstalled without a trace")
execute_process(COMMAND ${WINESERVER} -k)
