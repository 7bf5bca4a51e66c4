# Writes the history of CHANGELOG.md (Keep a Changelog) in Debian's changelog
# form, which the .deb carries as changelog.gz:
#   cmake -D INPUT=CHANGELOG.md -D OUTPUT=changelog -D PACKAGE=name
#         -D MAINTAINER="Name <address>" -P debian_changelog.cmake
cmake_minimum_required(VERSION 3.25)
# A CMake list does not split inside square brackets, nor keep a semicolon
# of an item: the history's brackets (`^[`, the version headings) and
# semicolons stand in as control characters until the text is written.
string(ASCII 1 open)
string(ASCII 2 close)
string(ASCII 3 semicolon)
file(READ ${INPUT} history)
string(REPLACE "[" "${open}" history "${history}")
string(REPLACE "]" "${close}" history "${history}")
string(REPLACE ";" "${semicolon}" history "${history}")
string(REPLACE "\n" ";" lines "${history}")
set(text "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## ${open}([^${close}]+)${close} - ([0-9-]+)$")
    set(version ${CMAKE_MATCH_1})
    # RFC 5322 dates, in English whatever the locale.
    execute_process(COMMAND date -u -R -d ${CMAKE_MATCH_2}
                    OUTPUT_VARIABLE date OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND text "${trailer}${PACKAGE} (${version}) unstable; urgency=medium\n\n")
    set(trailer "\n -- ${MAINTAINER}  ${date}\n\n")
  elseif(trailer AND line MATCHES "^- (.*)$")
    string(APPEND text "  * ${CMAKE_MATCH_1}\n")
  elseif(trailer AND line MATCHES "^  (.*)$")
    string(APPEND text "    ${CMAKE_MATCH_1}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n\n$" "\n" trailer "${trailer}")
set(text "${text}${trailer}")
string(REPLACE "${open}" "[" text "${text}")
string(REPLACE "${close}" "]" text "${text}")
string(REPLACE "${semicolon}" ";" text "${text}")
file(WRITE ${OUTPUT} "${text}")
