# Runs one example script as a user runs it: a fresh demo shop (seed 1, 300 orders, reference
# date 2012-06-15, the shop every example is written for), then `ws script` on it. The test
# passes when the script exits 0, i.e. every check of the script passed.
# Usage: cmake -DWS=<ws> -DSCRIPT=<file.wss> -DWORK=<folder> -P run_example_script.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(
  COMMAND "${WS}" demo --db "${WORK}/shop.db" --seed 1 --orders 300 --date 2012-06-15
  RESULT_VARIABLE demo_status OUTPUT_VARIABLE demo_out ERROR_VARIABLE demo_err)
if(NOT demo_status EQUAL 0)
  message(FATAL_ERROR "ws demo failed (${demo_status}):\n${demo_out}${demo_err}")
endif()
execute_process(
  COMMAND "${WS}" script --db "${WORK}/shop.db" "${SCRIPT}"
  WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ws script ${SCRIPT} exited ${status}:\n${err}")
endif()
