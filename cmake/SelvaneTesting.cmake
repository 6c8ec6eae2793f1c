# selvane_add_test(NAME SOURCES ... LIBS ...): one GoogleTest binary, one CTest entry.
find_package(GTest REQUIRED)
function(selvane_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    SELVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}" SELVANE_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
endfunction()
