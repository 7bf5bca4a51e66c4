# Included by check_packages.cmake for a Linux package unpacked in ${dir}:
# it holds a desktop entry that desktop-file-validate accepts, that runs
# the package's executable in a terminal and shows the tool's icon; and from
# a copy of its share/, the databases that Debian's triggers build know the
# lap's type by its name (*.qdp) and by its signature at offset 0, and the
# entry as a program that opens it.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate REQUIRED) # Debian: desktop-file-utils
find_program(UPDATE_DESKTOP_DATABASE update-desktop-database REQUIRED)
find_program(UPDATE_MIME_DATABASE update-mime-database REQUIRED) # Debian: shared-mime-info
set(type application/x-zvk-hotlap)
file(GLOB_RECURSE entry ${dir}/*/share/applications/zvk-setup-dumper.desktop)
file(GLOB_RECURSE definition ${dir}/*/share/mime/packages/zvk-setup-dumper.xml)
if(NOT entry OR NOT definition)
  message(FATAL_ERROR "${name}: desktop entry [${entry}], MIME type [${definition}]")
endif()
set(share ${dir}-share)
get_filename_component(applications ${entry} DIRECTORY)
get_filename_component(mime ${definition} DIRECTORY)
get_filename_component(mime ${mime} DIRECTORY)
file(COPY ${applications} ${mime} DESTINATION ${share})
# Only the copy is searched, and messages are in English.
set(env ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 XDG_DATA_HOME=${share} XDG_DATA_DIRS=${share})
execute_process(COMMAND ${env} ${DESKTOP_FILE_VALIDATE} ${entry} RESULT_VARIABLE status
                OUTPUT_VARIABLE complaints ERROR_VARIABLE complaints)
if(NOT status EQUAL 0 OR complaints)
  message(FATAL_ERROR "${name}: desktop-file-validate ${entry}:\n${complaints}")
endif()
# It runs the package's executable on one file, in a terminal: the report
# is text, and the tool waits there for a key.
get_filename_component(program ${executables} NAME)
file(STRINGS ${entry} keys)
if(NOT "Exec=${program} %f" IN_LIST keys OR NOT "Terminal=true" IN_LIST keys)
  message(FATAL_ERROR "${name}: ${entry} does not run ${program} on a file in a terminal")
endif()
# Its icon, found by the name the entry gives in the desktop's icon theme:
# the committed drawing and its PNGs, each at the size its folder says.
set(icons ${applications}/../icons/hicolor)
set(icon_source ${CMAKE_CURRENT_LIST_DIR}/../../packaging/icon/zvk-setup-dumper)
if(NOT "Icon=zvk-setup-dumper" IN_LIST keys)
  message(FATAL_ERROR "${name}: ${entry} names no icon zvk-setup-dumper")
endif()
foreach(icon 16x16/apps/zvk-setup-dumper.png:-16.png 32x32/apps/zvk-setup-dumper.png:-32.png
             48x48/apps/zvk-setup-dumper.png:-48.png 256x256/apps/zvk-setup-dumper.png:-256.png
             scalable/apps/zvk-setup-dumper.svg:.svg)
  string(REPLACE ":" ";" icon ${icon})
  list(GET icon 0 installed)
  list(GET icon 1 suffix)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${icons}/${installed}
                          ${icon_source}${suffix} RESULT_VARIABLE differs)
  if(differs)
    message(FATAL_ERROR "${name}: ${icons}/${installed} is not ${icon_source}${suffix}")
  endif()
endforeach()
execute_process(COMMAND ${env} ${UPDATE_MIME_DATABASE} ${share}/mime COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${env} ${UPDATE_DESKTOP_DATABASE} ${share}/applications
                COMMAND_ERROR_IS_FATAL ANY)
file(READ ${share}/mime/globs2 globs)
# The magic file: the type's section, then ">0=" (at offset 0), the value's
# length in two bytes and the value.
file(READ ${share}/mime/magic magic HEX)
string(HEX "${type}]\n>0=" offset_0)
string(HEX "ZKVQDP" signature)
file(READ ${share}/applications/mimeinfo.cache openers)
if(NOT globs MATCHES "\n[0-9]+:${type}:\\*\\.qdp\n" OR NOT magic MATCHES "${offset_0}0006${signature}"
   OR NOT openers MATCHES "\n${type}=zvk-setup-dumper\\.desktop;")
  message(FATAL_ERROR "${name}: the databases made from ${share} do not know ${type} "
                      "by name, by signature or as opened by the tool")
endif()
message(STATUS "${name}: the desktop entry and the MIME type")
