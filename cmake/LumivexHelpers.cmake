# One place that says how a test executable is made: GoogleTest, discovered by CTest,
# with the shared data folder beside the project handed in as an environment variable.
# The real logs and captures live beside the project only; where they are missing, the tests
# that need them skip with a message.
get_filename_component(_shared_data "${PROJECT_SOURCE_DIR}/../shared/data" ABSOLUTE)
set(LUMIVEX_SHARED_DATA "${_shared_data}" CACHE PATH "Real input data beside the project")

function(lumivex_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  # Helpers shared by the test executables (tests/scoped_env.h).
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    LUMIVEX_SHARED_DATA="${LUMIVEX_SHARED_DATA}"
    LUMIVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "LUMIVEX_TEST_BINARY_DIR=${CMAKE_CURRENT_BINARY_DIR}")
endfunction()
