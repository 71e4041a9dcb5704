# A Refresh benchmark leaves nothing behind: run on the sample with its launcher chosen (so the
# workbench writes its launcher copy), in a temporary folder of its own that must be empty
# afterwards.
#   cmake -DBENCH=<refresh_bench> -DLOG=<sample log> -DSCRATCH=<folder> -P bench_leftovers.cmake
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")
file(READ "${LOG}" text)
string(FIND "${text}" "\"invoice_0419.exe\",\"3120\",\"Process Start\"" at)
string(SUBSTRING "${text}" 0 ${at} before)
string(FIND "${before}" "\n" line REVERSE)
math(EXPR position "${line} + 1")
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
