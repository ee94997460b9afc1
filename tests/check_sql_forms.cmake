# Fails when a form of SQL that only this engine knows appears in a source
# outside store/ (the tests and the benchmarks aside): GLOB, rowid, PRAGMA,
# strftime, substr, INSERT OR IGNORE / REPLACE, last_insert_rowid,
# sqlite_master. Those are built by named functions in store/ (sqlforms.h,
# database.h), so that a second engine changes only the store.
#
#   cmake -DSOURCE_DIR=... -P check_sql_forms.cmake
cmake_minimum_required(VERSION 3.25)
# Every folder of the program but the store, the tests, the benchmarks and
# build folders.
file(GLOB folders LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
list(FILTER folders EXCLUDE REGEX "^(store|tests|bench|build.*|\\..*)$")
set(sources "")
foreach(folder IN LISTS folders)
  if(NOT IS_DIRECTORY ${SOURCE_DIR}/${folder})
    continue()
  endif()
  file(GLOB_RECURSE found RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  list(APPEND sources ${found})
endforeach()
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "No sources found under ${SOURCE_DIR}")
endif()

# Keywords in capitals as statements are written here; functions and names in
# any case ("substr" not after "." or "::", which is C++).
set(keywords "[^A-Za-z_]GLOB[^A-Za-z_]|PRAGMA[ \t]|INSERT[ \t]+OR[ \t]+(IGNORE|REPLACE)")
set(names "(^|[^a-z_])rowid([^a-z_]|$)|strftime[ \t]*\\(|(^|[^a-z_.:])substr[ \t]*\\(|last_insert_rowid|sqlite_master")
set(offenders "")
foreach(source IN LISTS sources)
  # One list item a line: the characters that would split or join items
  # are kept out of the list.
  file(READ ${SOURCE_DIR}/${source} text)
  string(REPLACE ";" "<semicolon>" text "${text}")
  string(REPLACE "[" "<" text "${text}")
  string(REPLACE "]" ">" text "${text}")
  string(REPLACE "\\" "/" text "${text}")
  string(REPLACE "\n" ";" lines "${text}")
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    string(TOLOWER "${line}" lower)
    if(line MATCHES "${keywords}" OR lower MATCHES "${names}")
      string(STRIP "${line}" shown)
      string(REPLACE "<semicolon>" "" shown "${shown}")
      list(APPEND offenders "${source}:${number}: ${shown}")
    endif()
  endforeach()
endforeach()
if(offenders)
  string(REPLACE ";" "\n" report "${offenders}")
  message(FATAL_ERROR "SQL of this engine only, outside store/:\n${report}")
endif()
message(STATUS "Checked ${count} files: the engine's own SQL forms are only in store/")
