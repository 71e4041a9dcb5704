# Full redraws of a laid-out graph through node and edge drawing, offscreen. It starts the
# application itself, so it links Qt on purpose.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(graph_draw_bench ${CMAKE_CURRENT_LIST_DIR}/graph_draw_bench.cpp)
target_link_libraries(graph_draw_bench PRIVATE graphview platform Qt6::Widgets)
