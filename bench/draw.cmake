# Drawing through the window-system layer timed against raw QPainter in the same run. It
# draws with QPainter itself, so it links Qt on purpose.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(draw_bench ${CMAKE_CURRENT_LIST_DIR}/draw_bench.cpp)
target_link_libraries(draw_bench PRIVATE platform Qt6::Widgets)
