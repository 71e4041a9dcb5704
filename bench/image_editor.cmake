# The image editor's repaints on a large picture with many objects, offscreen.
find_package(Qt6 REQUIRED COMPONENTS Widgets)
add_executable(image_editor_bench ${CMAKE_CURRENT_LIST_DIR}/image_editor_bench.cpp)
target_link_libraries(image_editor_bench PRIVATE imageeditor Qt6::Widgets)
target_include_directories(image_editor_bench PRIVATE ${PROJECT_SOURCE_DIR}/imageeditor/src)
