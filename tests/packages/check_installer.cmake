# Included by check_packages.cmake for the Windows installer, ${installer}: run
# under Wine in a prefix of its own, as on a machine where another program
# opens .qdp files. A silent installation into a folder with a blank in its
# name must give the .zip's files, a Start-menu entry, an uninstall entry
# with the tool's icon, size and folder, and the "Show car setup" verb, whose
# command prints what the build's tool prints; a silent uninstallation must
# take all of it away again. An installer or uninstaller that finds another
# at work, or a /D= it cannot install into, must fail and leave the
# installation whole. Then the upgrades: the short spelling of the folder is
# the same folder; one that cannot replace a file puts everything back; one
# into another folder (/D=) leaves one installation, there, also when the old
# one's uninstaller is missing; one without /D= goes where the last one went
# and replaces the executable while the tool waits at its pause, twice; and
# uninstalling while the tools wait leaves nothing once Windows restarts,
# which the uninstaller run in place says by its exit status. The type's own
# program stays the other one's throughout.
#   HOLD: a Windows program that holds a mutex or a file it is given.
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
# batch file, which also keeps Wine from quoting it again, and which gives
# the exit status whole (Wine hands Linux its low byte only). With WAIT,
# waits until every Windows process has ended, as an uninstaller goes on in
# a copy of itself. Fails unless the exit status is one of the given ones (0
# when none is). Standard error goes to a file: a program with windows starts
# Wine's desktop process, which would hold a pipe open until the tool that
# waits at its pause ends.
function(run_windows line output)
  cmake_parse_arguments(PARSE_ARGV 2 run WAIT "" STATUS)
  file(WRITE ${OUT}/run.bat "@${line}\r\n@>status.txt echo %ERRORLEVEL%\r\n")
  file(REMOVE ${OUT}/status.txt)
  execute_process(COMMAND ${EMULATOR} cmd /c run.bat WORKING_DIRECTORY ${OUT} INPUT_FILE ${null_device}
                  OUTPUT_FILE ${output} ERROR_FILE ${OUT}/errors.txt)
  if(run_WAIT)
    execute_process(COMMAND ${WINESERVER} -w)
  endif()
  set(status "(none)")
  if(EXISTS ${OUT}/status.txt)
    file(STRINGS ${OUT}/status.txt status)
  endif()
  if(NOT run_STATUS)
    set(run_STATUS 0)
  endif()
  if(NOT status IN_LIST run_STATUS)
    message(FATAL_ERROR "${line} ended with ${status}")
  endif()
  set(status ${status} PARENT_SCOPE)
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

# The icon is the tool's: the installer holds its largest image.
file(READ ${CMAKE_CURRENT_LIST_DIR}/../../packaging/icon/zvk-setup-dumper-256.png icon HEX)
file(READ ${installer} installer_bytes HEX)
string(FIND "${installer_bytes}" "${icon}" icon_at)
if(icon_at LESS 0)
  message(FATAL_ERROR "${installer} does not show the tool's icon")
endif()

execute_process(COMMAND ${EMULATOR} reg add HKCR\\.qdp /ve /d OtherViewer.Lap /f
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
registry_traces(traces_before)
windows_path(${installer} installer_path)
file(COPY_FILE ${SAMPLE} "${OUT}/my lap.qdp")
windows_path("${OUT}/my lap.qdp" lap)
set(menu "${prefix}/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/${CPACK_NSIS_PACKAGE_NAME}")
set(program_files "${prefix}/drive_c/Program Files/${CPACK_PACKAGE_INSTALL_DIRECTORY}")
file(GLOB_RECURSE zipped ${OUT}/unpacked/*.zip/*)
set(zipped_exe ${zipped})
list(FILTER zipped_exe INCLUDE REGEX "/zvk-setup-dumper\\.exe$")

# ${instdir} holds the .zip's files, the uninstaller and whatever else is
# named (an executable an upgrade renamed), and nothing else.
function(check_files instdir)
  set(expected Uninstall.exe ${ARGN})
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
endfunction()
# The one installation is in ${instdir}: its files, the .zip's executable, the
# menu entry, the uninstall entry with the tool's icon, and the verb, which
# prints the report of the build's tool.
function(check_installation instdir)
  check_files(${instdir} ${ARGN})
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${zipped_exe}
                          ${instdir}/zvk-setup-dumper.exe RESULT_VARIABLE differs)
  if(differs OR (EXISTS ${program_files} AND NOT instdir STREQUAL program_files))
    message(FATAL_ERROR "${instdir} keeps an executable that is not the new one, "
                        "or another installation is in ${program_files}")
  endif()
  file(STRINGS ${menu}/zvk-setup-dumper.lnk link REGEX "zvk-setup-dumper\\.exe")
  if(NOT link)
    message(FATAL_ERROR "No Start-menu entry for the tool in ${menu}")
  endif()
  windows_path(${instdir} instdir_path)
  string(REGEX REPLACE "([][\\.+*?^$()|])" "\\\\\\1" instdir_pattern "${instdir_path}")
  set(uninstall_key
      "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}")
  execute_process(COMMAND ${EMULATOR} reg query ${uninstall_key} OUTPUT_VARIABLE entry)
  foreach(value "DisplayName +REG_SZ +${CPACK_NSIS_DISPLAY_NAME}\r?\n"
                "DisplayVersion +REG_SZ +${CPACK_PACKAGE_VERSION}\r?\n"
                "Publisher +REG_SZ +${CPACK_PACKAGE_VENDOR}\r?\n"
                "DisplayIcon +REG_SZ +${instdir_pattern}\\\\zvk-setup-dumper\\.exe\r?\n"
                "UninstallString +REG_SZ +\"${instdir_pattern}\\\\Uninstall\\.exe\"\r?\n"
                "InstallLocation +REG_SZ +${instdir_pattern}\r?\n"
                "EstimatedSize +REG_DWORD +0x0*[1-9a-f][0-9a-f]*\r?\n")
    if(NOT entry MATCHES "${value}")
      message(FATAL_ERROR "The uninstall entry lacks ${value}:\n${entry}")
    endif()
  endforeach()

  # The verb, run on a lap whose name has a blank, as Explorer runs it: with
  # the file's path in place of %1. Its console input is empty: no key to wait for.
  set(verb HKCR\\SystemFileAssociations\\.qdp\\shell\\${CPACK_PACKAGE_NAME})
  registry_default(${verb} title)
  registry_default(${verb}\\command command)
  if(NOT title STREQUAL "Show car setup"
     OR NOT command STREQUAL "\"${instdir_path}\\zvk-setup-dumper.exe\" \"%1\"")
    message(FATAL_ERROR "The verb is \"${title}\", its command ${command}")
  endif()
  string(REPLACE "%1" "${lap}" command "${command}")
  run_windows("${command}" ${OUT}/verb.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT}/expected.txt ${OUT}/verb.txt
                  RESULT_VARIABLE differs)
  registry_default(HKCR\\.qdp owner)
  if(differs OR NOT owner STREQUAL "OtherViewer.Lap")
    message(FATAL_ERROR "${command} prints what ${TOOL} does not (see ${OUT}/verb.txt), "
                        "or .qdp's program is now ${owner}")
  endif()
  message(STATUS "${installer}: the files, the menu entry, the uninstall entry and the verb "
                 "in ${instdir}")
endfunction()
# Nothing of the tool is left: no folder, no menu entry, no registry key.
function(check_nothing_left what)
  registry_traces(traces_after)
  if(ARGN OR EXISTS ${menu} OR NOT traces_after STREQUAL traces_before)
    list(JOIN traces_after "\n" traces_after)
    message(FATAL_ERROR "${what} left [${ARGN}] or ${menu}, or in the registry:\n${traces_after}")
  endif()
  message(STATUS "${installer}: ${what} without a trace")
endfunction()

# Starts ${ARGN} under Wine in the background, its input a named pipe that a
# `sleep` holds open, and waits until its output in ${output} shows ${shown}.
# stop_waiting ends the sleep, and with it every program that waits for
# input: the tool at its pause, hold.
function(start_waiting shown output)
  if(NOT EXISTS ${OUT}/key.pid)
    # Opened for reading and writing, the pipe does not wait for a reader.
    # The sleep must not hold this call's output, nor the test's.
    execute_process(COMMAND sh -c [[mkfifo key && { sleep 600 1<>key 2>/dev/null </dev/null &
                                    echo $! >key.pid; }]]
                    WORKING_DIRECTORY ${OUT} COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE ${output})
  execute_process(COMMAND sh -c [[output=$1; shift; "$@" <key >"$output" 2>&1 &]] sh ${output}
                          ${EMULATOR} ${ARGN}
                  WORKING_DIRECTORY ${OUT} INPUT_FILE ${null_device} COMMAND_ERROR_IS_FATAL ANY)
  string(HEX "${shown}" shown) # the report holds zero bytes: read as hex
  foreach(second RANGE 60)
    if(EXISTS ${output})
      file(READ ${output} text HEX)
      if(text MATCHES "${shown}")
        return()
      endif()
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E sleep 1)
  endforeach()
  message(FATAL_ERROR "${ARGN} did not show \"${shown}\": see ${output}")
endfunction()
function(stop_waiting)
  file(STRINGS ${OUT}/key.pid sleep)
  execute_process(COMMAND kill ${sleep})
  execute_process(COMMAND ${WINESERVER} -w)
  file(REMOVE ${OUT}/key ${OUT}/key.pid)
endfunction()
# The tool from ${exe}, on the lap, waiting at its pause.
function(start_tool exe output)
  start_waiting("Press any key" ${output} ${exe} ${lap})
endfunction()

set(first "${OUT}/Setup Dumper")
set(second "${OUT}/Moved Dumper")
windows_path(${first} first_path)
windows_path(${second} second_path)
run_windows("\"${installer_path}\" /S /D=${first_path}" ${OUT}/install.txt)
check_installation(${first})
execute_process(COMMAND ${EMULATOR} reg query
                HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\${CPACK_PACKAGE_INSTALL_REGISTRY_KEY}
                /v UninstallString OUTPUT_VARIABLE entry)
string(REGEX MATCH "\"[^\r\n]+\"" uninstaller "${entry}")
# As Apps & features runs it: the uninstaller goes on in a copy of itself.
run_windows("${uninstaller} /S" ${OUT}/uninstall.txt WAIT)
check_nothing_left("uninstalled")

# While another installer works (here a program that holds its mutex), an
# installer and an uninstaller say so by 1618 and change nothing.
run_windows("\"${installer_path}\" /S /D=${first_path}" ${OUT}/install.txt)
start_waiting("held" ${OUT}/hold.txt ${HOLD} mutex ${CPACK_ZVK_SETUP_MUTEX})
run_windows("\"${installer_path}\" /S /D=${second_path}" ${OUT}/install.txt STATUS 1618)
run_windows("\"${first_path}\\Uninstall.exe\" /S _?=${first_path}" ${OUT}/uninstall.txt STATUS 1618)
stop_waiting()
if(EXISTS ${second})
  message(FATAL_ERROR "An installer made ${second} while another held the mutex")
endif()
message(STATUS "${installer}: no installing or uninstalling while another installer works")

# A /D= that cannot be installed into fails, leaves the installation whole
# and makes nothing: a folder that cannot be made, one under a device name, a
# name too long, a file, a drive that does not exist, a drive's root, a
# relative path. NSIS itself would have installed into the recorded folder.
string(REPEAT "d" 300 long_name)
windows_path(${OUT}/${long_name} long_path)
foreach(folder [[Z:\proc\zvk]] [[C:\Tools\nul]] [[C:\con\zvk]] ${long_path} ${lap} [[Q:\nodrive\zvk]]
               [[C:\]] zvk-setup-dumper)
  run_windows("\"${installer_path}\" /S /D=${folder}" ${OUT}/install.txt STATUS 2)
endforeach()
if(EXISTS ${prefix}/drive_c/Tools OR EXISTS ${OUT}/${long_name} OR EXISTS ${prefix}/drive_c/README.md
   OR EXISTS ${OUT}/zvk-setup-dumper)
  message(FATAL_ERROR "A failed installation left a folder or a file behind")
endif()
message(STATUS "${installer}: no installing into a folder it cannot use")
check_installation(${first})

# The short 8.3 spelling of the folder (as %~sI gives it) is the same folder:
# an upgrade in place, which records the long one.
run_windows("for %%I in (\"${first_path}\") do @echo %%~sI" ${OUT}/short.txt)
file(STRINGS ${OUT}/short.txt short_path)
if(short_path STREQUAL first_path)
  message(FATAL_ERROR "Wine gives ${first_path} no short spelling")
endif()
run_windows("\"${installer_path}\" /S /D=${short_path}" ${OUT}/install.txt)
check_installation(${first})

# A file that cannot be replaced (README.md held open without leave to
# rename it, as an editor may): the upgrade fails and puts back the files it
# had set aside, the executable (here a byte longer) among them.
file(APPEND ${first}/zvk-setup-dumper.exe "x")
file(SHA256 ${first}/zvk-setup-dumper.exe old_exe)
start_waiting("held" ${OUT}/hold.txt ${HOLD} file "${first_path}\\README.md")
run_windows("\"${installer_path}\" /S" ${OUT}/install.txt STATUS 2)
stop_waiting()
check_files(${first})
file(SHA256 ${first}/zvk-setup-dumper.exe exe)
if(NOT exe STREQUAL old_exe)
  message(FATAL_ERROR "A failed upgrade did not put back ${first}/zvk-setup-dumper.exe")
endif()
message(STATUS "${installer}: a failed upgrade put back the installation it found")

# Into another folder: the old installation goes, and so it does without its
# uninstaller.
run_windows("\"${installer_path}\" /S /D=${second_path}" ${OUT}/install.txt)
if(EXISTS ${first})
  message(FATAL_ERROR "An installation into ${second} left ${first}")
endif()
check_installation(${second})
file(REMOVE ${second}/Uninstall.exe)
run_windows("\"${installer_path}\" /S /D=${first_path}" ${OUT}/install.txt)
if(EXISTS ${second})
  file(GLOB left ${second}/*)
  message(FATAL_ERROR "An installation into ${first} left ${second}: [${left}]")
endif()
check_installation(${first})

# Without /D=, while the tool runs from the installation: an executable that
# differs from the package's (a byte more) makes way for the new one, renamed
# for the next restart to delete. Then again while the tool runs from that
# one too, the first one's renamed executable still in use.
file(APPEND ${first}/zvk-setup-dumper.exe "x")
start_tool(${first}/zvk-setup-dumper.exe ${OUT}/tool.txt)
run_windows("\"${installer_path}\" /S" ${OUT}/upgrade.txt)
check_installation(${first} zvk-setup-dumper.exe.old)
file(APPEND ${first}/zvk-setup-dumper.exe "x")
start_tool(${first}/zvk-setup-dumper.exe ${OUT}/tool2.txt)
run_windows("\"${installer_path}\" /S" ${OUT}/upgrade.txt)
check_installation(${first} zvk-setup-dumper.exe.old zvk-setup-dumper.exe.old2)
message(STATUS "${installer}: upgrades while the tool runs replaced it, twice")

# Uninstalling while the tools run, as the README says to for the exit
# status: in place (_?=), which leaves the uninstaller and the folder. What
# is left must go when Windows restarts, and the uninstaller says so (3010).
run_windows("\"${first_path}\\Uninstall.exe\" /S _?=${first_path}" ${OUT}/uninstall.txt STATUS 3010)
stop_waiting()
file(REMOVE ${first}/Uninstall.exe)
execute_process(COMMAND ${EMULATOR} wineboot --restart OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND ${WINESERVER} -w)
execute_process(COMMAND rmdir ${first} ERROR_QUIET) # its folder, when empty
set(left "")
if(EXISTS ${first})
  file(GLOB_RECURSE left ${first}/*)
  list(APPEND left ${first})
endif()
check_nothing_left("uninstalled while the tools ran, then restarted," ${left})
execute_process(COMMAND ${WINESERVER} -k)
