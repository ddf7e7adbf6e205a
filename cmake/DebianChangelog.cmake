# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the Debian changelog (gzip -9n) from the repository's CHANGELOG:
#   cmake -DCHANGELOG=... -DOUTPUT=....gz -DPACKAGE=pelmora -DMAINTAINER="Name <address>" -P DebianChangelog.cmake
# A CHANGELOG entry is a line "VERSION (YYYY-MM-DD)" followed by its indented "  * " lines.
file(STRINGS "${CHANGELOG}" lines)
set(text "")
set(trailer "")
foreach(line IN LISTS lines)
  if(line MATCHES "^([0-9][0-9A-Za-z.+~-]*) \\(([0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9])\\)$")
    set(version ${CMAKE_MATCH_1})
    execute_process(COMMAND date -u -R -d "${CMAKE_MATCH_2}" OUTPUT_VARIABLE date
                    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    string(APPEND text "${trailer}${PACKAGE} (${version}) unstable; urgency=medium\n\n")
    set(trailer "\n -- ${MAINTAINER}  ${date}\n\n")
  elseif(trailer AND line MATCHES "^  ")
    string(APPEND text "${line}\n")
  endif()
endforeach()
if(NOT trailer)
  message(FATAL_ERROR "${CHANGELOG} has no entry \"VERSION (YYYY-MM-DD)\"")
endif()
string(APPEND text "${trailer}")
string(REGEX REPLACE "\n\n$" "\n" text "${text}")
get_filename_component(dir "${OUTPUT}" DIRECTORY)
set(plain "${dir}/changelog")
file(WRITE "${plain}" "${text}")
execute_process(COMMAND gzip -9n -f "${plain}" COMMAND_ERROR_IS_FATAL ANY)
file(RENAME "${plain}.gz" "${OUTPUT}")
