# A short run of the tablets against a fresh demo shop: passes when no request failed (the
# tester exits 1 on any error). Nothing here is timed.
# Usage: cmake -DWS=<ws> -DLOAD=<floor_load> -DWORK=<folder> -P floor_load_short.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(
  COMMAND "${WS}" demo --db "${WORK}/shop.db" --seed 1 --orders 2000 --date 2012-06-15
  RESULT_VARIABLE demo_status OUTPUT_VARIABLE demo_out ERROR_VARIABLE demo_err)
if(NOT demo_status EQUAL 0)
  message(FATAL_ERROR "ws demo failed (${demo_status}):\n${demo_out}${demo_err}")
endif()
execute_process(
  COMMAND "${LOAD}" --ws "${WS}" --db "${WORK}/shop.db" --date 2012-06-15 --seconds 20
          --photos "${WORK}/photos"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "floor_load exited ${status}:\n${err}")
endif()
