# A Refresh benchmark leaves nothing behind: run on the sample with its launcher chosen (so the
# workbench writes its launcher copy), in a temporary folder of its own that must be empty
# afterwards.
#   cmake -DBENCH=<refresh_bench> -DLOG=<sample log> -DSCRATCH=<folder> -P bench_leftovers.cmake
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
# The byte where the sample's own start begins, as scripts/sample.sh finds it (file(READ)
# would count the text without its carriage returns).
execute_process(
  COMMAND grep -b -m1 -F "\"invoice_0419.exe\",\"3120\",\"Process Start\"" "${LOG}"
  OUTPUT_VARIABLE found COMMAND_ERROR_IS_FATAL ANY)
string(REGEX REPLACE ":.*" "" position "${found}")
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TMPDIR=${SCRATCH} XDG_RUNTIME_DIR=${SCRATCH}
          QT_QPA_PLATFORM=offscreen "${BENCH}" "${LOG}" "${position}|3120|invoice_0419.exe"
  RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 120)
if(NOT result EQUAL 0 OR NOT output MATCHES "status=OK")
  message(FATAL_ERROR "refresh_bench failed (${result}): ${output}${errors}")
endif()
file(GLOB_RECURSE left LIST_DIRECTORIES true "${SCRATCH}/*")
file(REMOVE_RECURSE "${SCRATCH}")
if(left)
  message(FATAL_ERROR "left behind: ${left}")
endif()
