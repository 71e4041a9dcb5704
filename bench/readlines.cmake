# Line-by-line reading of a large text, timed against `wc -l` by readlines.sh.
add_executable(readlines_bench ${CMAKE_CURRENT_LIST_DIR}/readlines_bench.cpp)
target_link_libraries(readlines_bench PRIVATE tolvek_notrace)
