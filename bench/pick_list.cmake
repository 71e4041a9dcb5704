# The pick list's search over thousands of checked rows, offscreen.
find_package(Qt6 REQUIRED COMPONENTS Test Widgets)
add_executable(pick_list_bench ${CMAKE_CURRENT_LIST_DIR}/pick_list_bench.cpp)
target_link_libraries(pick_list_bench PRIVATE tolvek_gui Qt6::Test Qt6::Widgets)
