# Writes OUT, a help2man include file for vescor-cli: a COMMANDS section with
# the --help of every command (the commands as `CLI --help` lists them) and an
# EXIT STATUS section with the overview's own line on them, then the hand-kept
# sections of EXTRA (synopsis, examples). The manual page so says what the
# program says, every option of every command included.
function(roff_text out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REPLACE "-" "\\-" text "${text}")
  # A line that starts with a dot or an apostrophe would be read as a request.
  string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

execute_process(COMMAND ${CLI} --help OUTPUT_VARIABLE overview RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${CLI} --help: код выхода ${status}")
endif()
string(REGEX MATCHALL "\n  [a-z]+\n" command_lines "${overview}")
set(sections "[COMMANDS]\n")
foreach(line ${command_lines})
  string(STRIP "${line}" command)
  execute_process(COMMAND ${CLI} ${command} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${CLI} ${command} --help: код выхода ${status}")
  endif()
  roff_text(help "${help}")
  string(APPEND sections ".SS ${command}\n.nf\n${help}.fi\n")
endforeach()
string(REGEX MATCH "Код выхода:[^\n]*" exit_statuses "${overview}")
if(NOT exit_statuses)
  message(FATAL_ERROR "${CLI} --help не называет кодов выхода")
endif()
roff_text(exit_statuses "${exit_statuses}")
string(APPEND sections "\n[EXIT STATUS]\n${exit_statuses}\n\n")
file(READ ${EXTRA} extra)
file(WRITE ${OUT} "${sections}${extra}")
