# One function registers a test executable with ctest: its cases run in a
# few processes (see below), offscreen, in a fixed locale, with the sanitizers'
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

# kolva_add_test(name SOURCES ... LIBS ... [BOTH_ENGINES]): with BOTH_ENGINES
# the cases run a second time with their databases on the throwaway
# PostgreSQL server (tests named name.pg.shard...; TestContext then makes its
# database there, and KOLVA_SQLITE_FILE_ONLY() skips a test of the file).
function(kolva_add_test name)
  cmake_parse_arguments(T "BOTH_ENGINES" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE kolva_testsupport ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  # One process per test file rather than per test case: the executable's
  # cases are split into as many GoogleTest shards as it has test files, so
  # every case runs exactly once and ctest can still spread them over cores.
  set(shards 0)
  foreach(source ${T_SOURCES})
    if(source MATCHES "_test\\.cpp$")
      math(EXPR shards "${shards} + 1")
    endif()
  endforeach()
  if(shards LESS 1)
    set(shards 1)
  endif()
  math(EXPR last "${shards} - 1")
  foreach(index RANGE ${last})
    add_test(NAME ${name}.shard${index}of${shards} COMMAND ${name})
    set_tests_properties(${name}.shard${index}of${shards} PROPERTIES
      ENVIRONMENT "${KOLVA_TEST_ENVIRONMENT};GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index}"
      TIMEOUT 600)
    if(T_BOTH_ENGINES)
      add_test(NAME ${name}.pg.shard${index}of${shards} COMMAND ${name})
      set_tests_properties(${name}.pg.shard${index}of${shards} PROPERTIES
        ENVIRONMENT "${KOLVA_TEST_ENVIRONMENT};GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${index};KOLVA_TEST_ENGINE=postgresql;KOLVA_TEST_PG_URI=${KOLVA_PG_URI}"
        FIXTURES_REQUIRED kolva_pg
        TIMEOUT 600)
    endif()
  endforeach()
endfunction()

# Tests of the server database run against a throwaway PostgreSQL cluster that
# one test starts before them and another stops after
# (tests/support/pgcluster.sh); KOLVA_TEST_PG_URI names its maintenance
# database. kolva_needs_pg_server(executable) makes every shard of a test
# executable from kolva_add_test wait for it.
set(KOLVA_PG_FOLDER ${CMAKE_BINARY_DIR}/pgcluster)
set(KOLVA_PG_URI "postgresql:///postgres?host=${KOLVA_PG_FOLDER}/socket&user=kolva")
add_test(NAME pg_cluster_start COMMAND ${CMAKE_SOURCE_DIR}/tests/support/pgcluster.sh start ${KOLVA_PG_FOLDER})
add_test(NAME pg_cluster_stop COMMAND ${CMAKE_SOURCE_DIR}/tests/support/pgcluster.sh stop ${KOLVA_PG_FOLDER})
set_tests_properties(pg_cluster_start PROPERTIES FIXTURES_SETUP kolva_pg TIMEOUT 120)
set_tests_properties(pg_cluster_stop PROPERTIES FIXTURES_CLEANUP kolva_pg TIMEOUT 120)

function(kolva_needs_pg_server name)
  get_property(tests DIRECTORY PROPERTY TESTS)
  foreach(test ${tests})
    if(test MATCHES "^${name}\\.shard")
      set_tests_properties(${test} PROPERTIES FIXTURES_REQUIRED kolva_pg)
      set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
        "KOLVA_TEST_PG_URI=${KOLVA_PG_URI}")
    endif()
  endforeach()
endfunction()
