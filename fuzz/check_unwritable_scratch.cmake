# A replay whose scratch file cannot be made must fail and say so: passing would claim inputs
# were tested that never reached the reader. Run with -DREPLAY=program -DINPUTS=folder.
set(ENV{TMPDIR} "${CMAKE_CURRENT_BINARY_DIR}/no such folder")
execute_process(COMMAND ${REPLAY} ${INPUTS} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(result EQUAL 0)
  message(FATAL_ERROR "${REPLAY} passed without a scratch file:\n${out}${err}")
endif()
if(NOT err MATCHES "cannot make a scratch file")
  message(FATAL_ERROR "${REPLAY} failed without saying why:\n${err}")
endif()
