# A new shop fed from the sample files as a shop moving in would feed it: `ws init`, then
# `ws import` of every examples/import/NN_TABLE.csv in the files' order, then the script that
# saves and checks the first repair order. With -DPG=ON the shop is a database of its own on
# the server WS_PG_URL names ("SKIPPED" when none is configured).
# Usage: cmake -DWS=<ws> -DEXAMPLES=<examples/import> -DWORK=<folder> [-DPG=ON] -P ...
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
if(PG)
  if(NOT DEFINED ENV{WS_PG_URL} OR "$ENV{WS_PG_URL}" STREQUAL "")
    message("SKIPPED: WS_PG_URL is not set")
    return()
  endif()
  set(db "$ENV{WS_PG_URL}")
  if(db MATCHES "\\?")
    set(db "${db}&dbname=ws_example_import")
  else()
    set(db "${db}?dbname=ws_example_import")
  endif()
else()
  set(db "${WORK}/shop.db")
endif()

function(run)
  execute_process(COMMAND "${WS}" ${ARGN} WORKING_DIRECTORY "${EXAMPLES}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  message("${out}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "ws ${ARGN} exited ${status}:\n${out}${err}")
  endif()
endfunction()

run(init --db "${db}" --date 2012-06-15 --force)
file(GLOB files RELATIVE "${EXAMPLES}" "${EXAMPLES}/*.csv")
list(SORT files)
foreach(file ${files})
  string(REGEX REPLACE "^[0-9]+_(.*)\\.csv$" "\\1" table "${file}")
  run(import --db "${db}" "${table}" "${file}")
endforeach()
run(script --db "${db}" first_order.wss)
