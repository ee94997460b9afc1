# Fails when a catch block of the program's sources (the tests aside) is
# empty: a failure is said, logged, passed on, or the block says in a comment
# why it is a deliberate fall-back.
file(GLOB_RECURSE sources
  ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
  ${SOURCE_DIR}/platform/*.cpp ${SOURCE_DIR}/platform/*.h
  ${SOURCE_DIR}/store/*.cpp ${SOURCE_DIR}/store/*.h
  ${SOURCE_DIR}/reports/*.cpp ${SOURCE_DIR}/reports/*.h
  ${SOURCE_DIR}/card/*.cpp ${SOURCE_DIR}/card/*.h
  ${SOURCE_DIR}/trees/*.cpp ${SOURCE_DIR}/trees/*.h
  ${SOURCE_DIR}/lists/*.cpp ${SOURCE_DIR}/lists/*.h
  ${SOURCE_DIR}/costing/*.cpp ${SOURCE_DIR}/costing/*.h
  ${SOURCE_DIR}/gis/*.cpp ${SOURCE_DIR}/gis/*.h
  ${SOURCE_DIR}/bench/*.cpp ${SOURCE_DIR}/bench/*.h)
# "catch (...) {}", "catch (const X& e) { }" over lines: nothing but blanks
# between the braces.
set(empty "catch[ \t\r\n]*\\([^)]*\\)[ \t\r\n]*{[ \t\r\n]*}")
set(offenders "")
foreach(source IN LISTS sources)
  file(READ ${source} text)
  string(REGEX MATCHALL "${empty}" found "${text}")
  foreach(block IN LISTS found)
    string(REGEX REPLACE "[ \t\r\n]+" " " block "${block}")
    message(STATUS "Empty catch block in ${source}: ${block}")
    list(APPEND offenders "${source}")
  endforeach()
endforeach()
if(offenders)
  list(LENGTH offenders found)
  message(FATAL_ERROR "${found} empty catch blocks: say the failure, log it, pass it on, or say why it is left")
endif()
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "No sources found under ${SOURCE_DIR}")
endif()
message(STATUS "Checked ${count} files: no catch block is empty")
