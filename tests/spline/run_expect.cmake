# cmake -DCOMMAND="prog;args" -DEXPECT_RESULT=ok|fail -DEXPECT_REGEX=... -P run_expect.cmake
# Runs the command; checks its exit status and that its output (both streams) matches.
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE result OUTPUT_VARIABLE out
                ERROR_VARIABLE err)
message("${out}${err}")
if(EXPECT_RESULT STREQUAL "fail" AND result EQUAL 0)
  message(FATAL_ERROR "expected a non-zero exit status")
endif()
if(EXPECT_RESULT STREQUAL "ok" AND NOT result EQUAL 0)
  message(FATAL_ERROR "expected success, got ${result}")
endif()
if(DEFINED EXPECT_REGEX AND NOT "${out}${err}" MATCHES "${EXPECT_REGEX}")
  message(FATAL_ERROR "output does not match ${EXPECT_REGEX}")
endif()
