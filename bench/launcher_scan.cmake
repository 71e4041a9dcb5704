# The launcher scan of a large log, timed beside a plain read of the same file.
add_executable(launcher_scan_bench ${CMAKE_CURRENT_LIST_DIR}/launcher_scan_bench.cpp)
target_link_libraries(launcher_scan_bench PRIVATE lumivex_core)
