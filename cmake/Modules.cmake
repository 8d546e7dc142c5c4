# The project's own warnings, on its own targets only (never on third-party code).
function(si_target_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast
    -Wnon-virtual-dtor -Woverloaded-virtual)
  if(SI_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Adds a GoogleTest executable for one module: si_add_test(NAME SOURCES ... LIBS ...)
# Tests get QT_QPA_PLATFORM=offscreen and the source folder of the test data.
function(si_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  si_target_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main GTest::gmock)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  target_compile_definitions(${name} PRIVATE
    SI_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    SI_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    SI_BINARY_DIR="${CMAKE_BINARY_DIR}")
  if(NOT T_LABELS)
    set(T_LABELS unit)
  endif()
  gtest_discover_tests(${name}
    # one variable per property: a ";" inside a value would split the property list
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" ENVIRONMENT_MODIFICATION "LC_ALL=set:C.UTF-8"
               LABELS "${T_LABELS}"
    DISCOVERY_TIMEOUT 60)
endfunction()
