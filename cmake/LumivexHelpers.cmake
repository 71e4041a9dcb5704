# One place that says how a test executable is made: GoogleTest, discovered by CTest,
# with the shared data folder beside the project handed in as an environment variable.
# The real logs and captures live beside the project only; where they are missing, the tests
# that need them skip with a message.
get_filename_component(_shared_data "${PROJECT_SOURCE_DIR}/../shared/data" ABSOLUTE)
set(LUMIVEX_SHARED_DATA "${_shared_data}" CACHE PATH "Real input data beside the project")

# Every test fails after this many seconds instead of holding the run up; a test that needs
# longer sets its own TIMEOUT beside a comment saying why.
set(LUMIVEX_TEST_TIMEOUT 120)

function(lumivex_add_test name)
  cmake_parse_arguments(ARG "WHOLE" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  # Helpers shared by the test executables (tests/scoped_env.h).
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    LUMIVEX_SHARED_DATA="${LUMIVEX_SHARED_DATA}"
    LUMIVEX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "LUMIVEX_TEST_BINARY_DIR=${CMAKE_CURRENT_BINARY_DIR}"
               TIMEOUT ${LUMIVEX_TEST_TIMEOUT})
  # WHOLE: the program also runs all its tests in one process, with the platform variable
  # set, so that nothing one test leaves behind reaches the next and no test depends on
  # how it is started. All of them at once take longer than one.
  if(ARG_WHOLE)
    add_test(NAME ${name}.whole COMMAND ${name})
    set_tests_properties(${name}.whole PROPERTIES TIMEOUT 600
      ENVIRONMENT "LUMIVEX_TEST_BINARY_DIR=${CMAKE_CURRENT_BINARY_DIR};QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# A test that is a command rather than a GoogleTest program.
# Arguments are parsed from ARGV so that one holding a ";" stays one argument.
function(lumivex_add_command_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "")
  add_test(NAME ${name} COMMAND ${ARG_UNPARSED_ARGUMENTS})
  set_tests_properties(${name} PROPERTIES TIMEOUT ${LUMIVEX_TEST_TIMEOUT})
endfunction()
