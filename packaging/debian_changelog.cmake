# Writes the history of CHANGELOG.md (Keep a Changelog) in Debian's changelog
# form, which the .deb carries as changelog.gz:
#   cmake -D INPUT=CHANGELOG.md -D OUTPUT=changelog -D PACKAGE=name
#         -D MAINTAINER="Name <address>" -P debian_changelog.cmake
cmake_minimum_required(VERSION 3.25)
file(STRINGS ${INPUT} lines)
set(text "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^## \\[([^]]+)\\] - ([0-9-]+)$")
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
file(WRITE ${OUTPUT} "${text}${trailer}")
