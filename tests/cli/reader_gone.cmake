# The converter's reader goes away before the first progress line (as the workbench's Cancel
# does): the run must still end normally and write its files.
#   -DCONVERTER=... -DGENERATOR=python3;hostile_log.py;CASE -DWORK_DIR=...
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
execute_process(COMMAND ${GENERATOR} "${WORK_DIR}/input.csv" RESULT_VARIABLE generated)
if(NOT generated EQUAL 0)
  message(FATAL_ERROR "the input generator failed: ${generated}")
endif()
# The reader exits at once; the converter works on a log of 300,000 rows for a while, so its
# progress lines meet a closed pipe.
execute_process(COMMAND "${CONVERTER}" input.csv out.dot lumivex ""
                COMMAND ${CMAKE_COMMAND} -E true
                WORKING_DIRECTORY "${WORK_DIR}" RESULTS_VARIABLE results)
list(GET results 0 converter_result)
if(NOT converter_result STREQUAL "0")
  message(FATAL_ERROR "the converter ended with '${converter_result}'")
endif()
foreach(output out.dot out.dot.lumivex)
  file(SIZE "${WORK_DIR}/${output}" size)
  if(NOT size GREATER 0)
    message(FATAL_ERROR "${output} was not written")
  endif()
endforeach()
