# Runs one example script on PostgreSQL as a user runs it: a demo shop (seed 1, 300 orders,
# reference date 2012-06-15, the shop every example is written for) in a database of its own
# on the server WS_PG_URL names, then `ws script` on it. Prints "SKIPPED" and ends when no
# server is configured (scripts/with_postgres.sh sets WS_PG_URL).
# Usage: cmake -DWS=<ws> -DSCRIPT=<file.wss> -DWORK=<folder> -P postgres_example_script.cmake
if(NOT DEFINED ENV{WS_PG_URL} OR "$ENV{WS_PG_URL}" STREQUAL "")
  message("SKIPPED: WS_PG_URL is not set")
  return()
endif()
get_filename_component(name "${SCRIPT}" NAME_WE)
# A parameter after the path names the database, whatever the URL's own path says.
set(url "$ENV{WS_PG_URL}")
if(url MATCHES "\\?")
  set(url "${url}&dbname=ws_example_${name}")
else()
  set(url "${url}?dbname=ws_example_${name}")
endif()
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(
  COMMAND "${WS}" demo --db "${url}" --seed 1 --orders 300 --date 2012-06-15 --force
  RESULT_VARIABLE demo_status OUTPUT_VARIABLE demo_out ERROR_VARIABLE demo_err)
if(NOT demo_status EQUAL 0)
  message(FATAL_ERROR "ws demo failed (${demo_status}):\n${demo_out}${demo_err}")
endif()
execute_process(
  COMMAND "${WS}" script --db "${url}" "${SCRIPT}"
  WORKING_DIRECTORY "${WORK}"
  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
message("${out}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "ws script ${SCRIPT} exited ${status} on PostgreSQL:\n${err}")
endif()
