# Makes the manual page OUTPUT (compressed) from the program's own help, so
# that the two say the same: help2man turns "kolva --help" and
# "kolva --version" into the page, and the help of each command the general
# help lists follows, word for word, in COMMANDS. SECTIONS adds the files.
#
# cmake -DKOLVA=... -DHELP2MAN=... -DGZIP=... -DSECTIONS=... -DOUTPUT=...
#       -DDATA_DIR=... -DDOC_DIR=... -P manpage.cmake

cmake_minimum_required(VERSION 3.25)

foreach(var KOLVA HELP2MAN GZIP SECTIONS OUTPUT DATA_DIR DOC_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "manpage.cmake: ${var} is not given")
  endif()
endforeach()
set(ENV{LC_ALL} C.UTF-8)

function(run_kolva result)
  execute_process(COMMAND ${KOLVA} ${ARGN} OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "kolva ${ARGN}: exit status ${status}\n${errors}")
  endif()
  set(${result} "${text}" PARENT_SCOPE)
endfunction()

# The help as verbatim roff text: backslashes and minus signs written as
# roff wants them, no line taken for a request.
function(roff_verbatim result text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  string(REGEX REPLACE "\n+$" "" text "${text}")
  set(${result} ".nf\n${text}\n.fi\n" PARENT_SCOPE)
endfunction()

run_kolva(general --help)
# The commands are the lines "  NAME   what it does" under "Commands".
string(REGEX MATCH "\nCommands[^:]*:\n(.*)" block "${general}")
string(REGEX REPLACE "\n\n.*" "" block "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "(^|\n)  [a-z][-a-z]*  " names "${block}")
if(NOT names)
  message(FATAL_ERROR "manpage.cmake: \"kolva --help\" lists no command")
endif()

get_filename_component(dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${dir})
set(commands "[COMMANDS]\n")
foreach(name ${names})
  string(STRIP "${name}" name)
  if(name STREQUAL "help")
    continue() # "kolva help COMMAND" is the commands' own help, below
  endif()
  run_kolva(help ${name} --help)
  roff_verbatim(verbatim "${help}")
  string(APPEND commands ".SS \"kolva ${name}\"\n${verbatim}")
endforeach()
file(WRITE ${OUTPUT}.commands.h2m "${commands}")

file(READ ${SECTIONS} sections)
string(REPLACE "@DATA_DIR@" "${DATA_DIR}" sections "${sections}")
string(REPLACE "@DOC_DIR@" "${DOC_DIR}" sections "${sections}")
file(WRITE ${OUTPUT}.sections.h2m "${sections}")

execute_process(
  COMMAND ${HELP2MAN} --no-info --section=1 "--name=street tree risk assessment and inventory"
          --include=${OUTPUT}.commands.h2m --include=${OUTPUT}.sections.h2m --output=${OUTPUT}.tmp ${KOLVA}
  RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man: ${errors}")
endif()
execute_process(COMMAND ${GZIP} -9nc INPUT_FILE ${OUTPUT}.tmp OUTPUT_FILE ${OUTPUT}.gz.tmp RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip: ${status}")
endif()
file(RENAME ${OUTPUT}.gz.tmp ${OUTPUT})
file(REMOVE ${OUTPUT}.tmp ${OUTPUT}.commands.h2m ${OUTPUT}.sections.h2m)
