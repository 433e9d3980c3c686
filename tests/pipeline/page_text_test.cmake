# Runs page_text_test in one Windows language, set through the locale Wine takes it from, then
# has Node.js evaluate the configuration script that the test's page received.
# -DTEST=executable -DEMULATOR=runner|args -DLOCALE=ll_CC.UTF-8 -DCODE_PAGE=n -DCHECK=script.js
# -DWORK=folder for the page's script
string(REPLACE "|" ";" emulator "${EMULATOR}")
set(script "${WORK}/page_text_cp${CODE_PAGE}.js")
file(REMOVE "${script}")

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "LC_ALL=${LOCALE}" "BRIMWELL_TEST_CODE_PAGE=${CODE_PAGE}"
          "BRIMWELL_PAGE_SCRIPT=Z:${script}" ${emulator} ${TEST}
  RESULT_VARIABLE code)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "page_text_test failed in ${LOCALE} (code page ${CODE_PAGE}): ${code}")
endif()
if(NOT EXISTS "${script}")
  message(FATAL_ERROR "page_text_test wrote no page script to ${script}")
endif()

find_program(NODE node)
if(NOT NODE)
  message(WARNING "node is not installed: the script engine check is skipped")
  return()
endif()
execute_process(COMMAND ${NODE} ${CHECK} ${script}
  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the page's script in code page ${CODE_PAGE}:\n${out}${err}")
endif()
message(STATUS "${out}")
