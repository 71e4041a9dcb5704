# One whole Refresh offscreen with the time of each phase. It lives beside the converter in
# bin/, where the workbench looks for it.
add_executable(refresh_bench ${CMAKE_CURRENT_LIST_DIR}/refresh_bench.cpp)
target_link_libraries(refresh_bench PRIVATE lumivex_core)
# The quiet home the workbench tests start in.
target_include_directories(refresh_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests)
set_target_properties(refresh_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
add_dependencies(refresh_bench evtweave)
