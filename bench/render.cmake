# Redraws of a laid-out graph through the renderer, offscreen. It starts the application
# itself, so it links Qt on purpose.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(render_bench ${CMAKE_CURRENT_LIST_DIR}/render_bench.cpp)
target_link_libraries(render_bench PRIVATE graphview platform Qt6::Widgets)
