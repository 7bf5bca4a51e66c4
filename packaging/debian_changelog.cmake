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
# Releases made on one day: Debian's changelog needs each entry later than
# the one before, so the later ones of a day are dated a second apart from
# its midnight, in their order.
file(STRINGS ${INPUT} release_dates REGEX "^## \\[.*\\] - ")
list(TRANSFORM release_dates REPLACE "^.* - " "")
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
    set(day ${CMAKE_MATCH_2})
    list(POP_FRONT release_dates)
    set(earlier_that_day 0)
    foreach(earlier IN LISTS release_dates)
      if(earlier STREQUAL day)
        math(EXPR earlier_that_day "${earlier_that_day} + 1")
      endif()
    endforeach()
    # RFC 5322 dates, in English whatever the locale.
    execute_process(COMMAND date -u -R -d "${day} 00:00:00 UTC + ${earlier_that_day} seconds"
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
