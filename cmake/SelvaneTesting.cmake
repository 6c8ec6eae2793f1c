# selvane_add_test(NAME SOURCES ... LIBS ...): one GoogleTest binary and two CTest entries, one
# under the environment's locale and NAME.de_DE under a locale whose decimal point is a comma.
find_package(GTest REQUIRED)
function(selvane_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest selvane_test_main)
  target_compile_definitions(${name} PRIVATE
    SELVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}" SELVANE_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  selvane_add_locale_run(${name} ${name})
endfunction()

# selvane_add_locale_run(TEST COMMAND...): runs COMMAND once more as TEST.de_DE, under the
# de_DE.UTF-8 locale (scripts/install-deps.sh generates it).
function(selvane_add_locale_run name)
  add_test(NAME ${name}.de_DE COMMAND ${ARGN})
  set_tests_properties(${name}.de_DE PROPERTIES TIMEOUT 600
    ENVIRONMENT "LC_ALL=de_DE.UTF-8;LANG=de_DE.UTF-8")
endfunction()
