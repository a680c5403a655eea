# Runs the layering check on a fixture tree and compares its verdict:
#
#   cmake -DCHECKER=<check_layers.cmake> -DFIXTURE=<tree> -P check_fixture.cmake
#
# A tree with expected.txt must fail with exactly those lines (in that order); a tree without
# must pass with no violation printed.
cmake_minimum_required(VERSION 3.20)
execute_process(
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${FIXTURE}/src -P ${CHECKER}
  RESULT_VARIABLE code
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err)
# The violations are the lines of the form "<folder>/...: ..." on stderr.
string(REPLACE "\n" ";" lines "${err}")
set(found "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[a-z]+/[^ ]*:")
    string(APPEND found "${line}\n")
  endif()
endforeach()
if(EXISTS ${FIXTURE}/expected.txt)
  file(READ ${FIXTURE}/expected.txt expected)
  if(code EQUAL 0)
    message(FATAL_ERROR "the check accepted ${FIXTURE}:\n${out}${err}")
  endif()
  if(NOT found STREQUAL expected)
    message(FATAL_ERROR "violations differ.\nexpected:\n${expected}found:\n${found}\nfull output:\n${err}")
  endif()
else()
  if(NOT code EQUAL 0 OR NOT found STREQUAL "")
    message(FATAL_ERROR "the check refused ${FIXTURE}:\n${out}${err}")
  endif()
endif()
