# Checks a manual page against its program:
#   cmake -DPROGRAM=path/to/program -DPAGE=path/to/program.1 -P check_man_page.cmake
# Every option that `PROGRAM --help` names (long and short) appears in the
# page, and the page's header carries the version `PROGRAM --version` prints.

cmake_minimum_required(VERSION 3.22)

foreach(var PROGRAM PAGE)
  if(NOT ${var})
    message(FATAL_ERROR "check_man_page: ${var} not given")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE help_result)
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE version RESULT_VARIABLE version_result)
if(NOT help_result EQUAL 0 OR NOT version_result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM}: --help or --version failed (${help_result}, ${version_result})")
endif()
file(READ ${PAGE} page)

# The page as text: roff's escaped hyphens and font changes taken out.
string(REPLACE "\\-" "-" page "${page}")
string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")

# The options of a text: long ones anywhere, short ones standing alone.
function(options_of text out)
  string(REGEX MATCHALL "--[A-Za-z0-9][A-Za-z0-9-]*" long "${text}")
  string(REGEX MATCHALL "[\n ,[]-[A-Za-z][\n ,=]" short "${text}")
  list(TRANSFORM short REPLACE "^.(-.).$" "\\1")
  set(all ${long} ${short})
  list(REMOVE_DUPLICATES all)
  set(${out} ${all} PARENT_SCOPE)
endfunction()

options_of("${help}" help_options)
options_of("${page}" page_options)
list(LENGTH help_options count)
if(count EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --help names no option")
endif()
set(missing)
foreach(option ${help_options})
  if(NOT option IN_LIST page_options)
    list(APPEND missing ${option})
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "${PAGE} lacks options of ${PROGRAM} --help: ${missing}")
endif()

# `sphaeron 1.1.0` -> the page header names 1.1.0.
string(REGEX MATCH "[0-9]+\\.[0-9]+(\\.[0-9]+)?" number "${version}")
string(REGEX MATCH "\n\\.TH [^\n]*" header "\n${page}")
string(FIND "${header}" "${number}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${PAGE}: header '${header}' does not name version ${number}")
endif()
message(STATUS "${PAGE}: ${count} options, version ${number}")
