# Runs one GoogleTest program and judges it by its own summary, not by its
# exit code alone: wine can end a crashed program with exit code 0.
#   cmake -DPROGRAM=... [-DEMULATOR=...] [-DARGUMENTS=...] -DREPORT=name.xml -P RunGoogleTest.cmake
# The report goes to the current folder under a relative name, which a
# Windows program under wine resolves as well as a native one.
foreach(required PROGRAM REPORT)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "RunGoogleTest.cmake needs -D${required}=...")
  endif()
endforeach()

# Wine's client can lose its server while connecting ("wine client error:
# ... Connection reset by peer"), before the program runs a line of its own.
# That is wine's failure, not the program's: it is started once more.
foreach(attempt 1 2)
  file(REMOVE ${REPORT})
  execute_process(
    COMMAND ${EMULATOR} ${PROGRAM} --gtest_output=xml:${REPORT} ${ARGUMENTS}
    RESULT_VARIABLE exit_code
    OUTPUT_VARIABLE output ECHO_OUTPUT_VARIABLE
    ERROR_VARIABLE errors ECHO_ERROR_VARIABLE)
  if(output MATCHES "\\[==========\\]" OR NOT errors MATCHES "wine client error" OR attempt EQUAL 2)
    break()
  endif()
  message(STATUS "${PROGRAM}: wine lost its server before the program started; starting it again")
endforeach()

# A program that never got as far as GoogleTest's first line did not start
# (wine could not run it, say): what wine said is the reason.
if(NOT output MATCHES "\\[==========\\]")
  string(STRIP "${errors}" reason)
  if(reason STREQUAL "")
    set(reason "no message")
  endif()
  message(FATAL_ERROR "${PROGRAM} could not start (exit code ${exit_code}): ${reason}")
endif()
# GoogleTest writes the report once every test has run, so a program that
# crashed on the way leaves none.
if(NOT EXISTS ${REPORT})
  message(FATAL_ERROR "${PROGRAM} ended (exit code ${exit_code}) without its test report: it did not finish")
endif()
file(READ ${REPORT} report)
if(NOT report MATCHES "<testsuites tests=\"([0-9]+)\" failures=\"([0-9]+)\" disabled=\"[0-9]+\" errors=\"([0-9]+)\"")
  message(FATAL_ERROR "${REPORT} holds no test summary")
endif()
set(tests ${CMAKE_MATCH_1})
set(failures ${CMAKE_MATCH_2})
set(errors ${CMAKE_MATCH_3})
if(tests EQUAL 0 OR NOT failures EQUAL 0 OR NOT errors EQUAL 0 OR NOT exit_code STREQUAL "0")
  message(FATAL_ERROR
    "${PROGRAM}: ${tests} tests, ${failures} failed, ${errors} errors, exit code ${exit_code}")
endif()
if(NOT output MATCHES "\\[  PASSED  \\] [0-9]+ test")
  message(FATAL_ERROR "${PROGRAM} did not print its closing summary")
endif()
