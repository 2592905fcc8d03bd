# Writes a man page from a program's own --help output, so that the two never drift:
#   cmake -DPROGRAM=path -DNAME=pintora-cli -DSUMMARY="..." -DVERSION=0.1.0
#         -DCOMMANDS="info;export;capture" -DSEE_ALSO=pintora -DOUT=file.1 -P ManPage.cmake
# The page holds the program's help, then a section for each command with that command's help.
foreach(variable PROGRAM NAME SUMMARY VERSION OUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "ManPage.cmake needs -D${variable}=")
  endif()
endforeach()

set(ENV{QT_QPA_PLATFORM} offscreen)
function(help_of out)
  execute_process(COMMAND "${PROGRAM}" ${ARGN} --help OUTPUT_VARIABLE text
    ERROR_QUIET RESULT_VARIABLE result)
  if(NOT result EQUAL 0 OR text STREQUAL "")
    message(FATAL_ERROR "${PROGRAM} ${ARGN} --help failed: ${result}")
  endif()
  # The usage line names the program as it was run: by its name in the page.
  string(REPLACE "${PROGRAM}" "${NAME}" text "${text}")
  # roff: backslashes escaped, and no line may start with a control character.
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" title)
help_of(main)
set(page ".TH ${title} 1 \"\" \"Pintora ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
.nf
${main}.fi
")
foreach(command IN LISTS COMMANDS)
  help_of(text ${command})
  string(TOUPPER "${command}" heading)
  string(APPEND page ".SH \"${heading}\"\n.nf\n${text}.fi\n")
endforeach()
if(DEFINED SEE_ALSO)
  string(APPEND page ".SH \"SEE ALSO\"\n.BR ${SEE_ALSO} (1)\n")
endif()
file(WRITE "${OUT}" "${page}")
