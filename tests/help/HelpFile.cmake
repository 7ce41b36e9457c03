# Lists the CHM's directory and extracts the topics the Windows desktop opens
# by name ("Getting Started.htm" from the Help menu, "Results.htm" from the
# results window), comparing each with its source page.
execute_process(COMMAND ${CHMLS} -p -n list ${CHM} OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "chmls could not list ${CHM}: ${status}")
endif()
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
foreach(topic "Getting Started.htm" "Results.htm")
  string(FIND "${listing}" "\n/${topic}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${CHM} has no topic \"${topic}\"; it lists:\n${listing}")
  endif()
  execute_process(COMMAND ${CHMLS} extract ${CHM} "/${topic}" "${SCRATCH}/${topic}" RESULT_VARIABLE status
    OUTPUT_QUIET)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${SCRATCH}/${topic}" "${PAGES}/${topic}"
    RESULT_VARIABLE differs)
  if(NOT status EQUAL 0 OR NOT differs EQUAL 0)
    message(FATAL_ERROR "\"${topic}\" in ${CHM} is not the page help/${topic}")
  endif()
endforeach()
message(STATUS "${CHM} holds both topics, each as its page")
