# One function registers a test executable with ctest: every test case runs
# in its own process, offscreen, in a fixed locale, with the sanitizers'
# leak check off (Qt keeps some allocations for the life of the process).
include(GoogleTest)
find_package(GTest REQUIRED)
find_package(Qt6 REQUIRED COMPONENTS Test)

set(KOLVA_TEST_ENVIRONMENT
  "QT_QPA_PLATFORM=offscreen"
  "LC_ALL=C.UTF-8"
  "LANG=C.UTF-8"
  "TZ=America/New_York"
  "ASAN_OPTIONS=detect_leaks=0"
  "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
  "KOLVA_TEST_DATA=${CMAKE_SOURCE_DIR}/tests/data")

function(kolva_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kolva_testsupport ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ENVIRONMENT "${KOLVA_TEST_ENVIRONMENT}" TIMEOUT 300)
endfunction()
