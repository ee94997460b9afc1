# Fails when code outside platform/ (and the tests) uses QMessageBox,
# QInputDialog or QFileDialog directly instead of the prompter, or the print
# dialogs instead of platform/printdialog.h.
file(GLOB_RECURSE sources
  ${SOURCE_DIR}/app/*.cpp ${SOURCE_DIR}/app/*.h
  ${SOURCE_DIR}/store/*.cpp ${SOURCE_DIR}/store/*.h
  ${SOURCE_DIR}/reports/*.cpp ${SOURCE_DIR}/reports/*.h
  ${SOURCE_DIR}/card/*.cpp ${SOURCE_DIR}/card/*.h
  ${SOURCE_DIR}/trees/*.cpp ${SOURCE_DIR}/trees/*.h
  ${SOURCE_DIR}/lists/*.cpp ${SOURCE_DIR}/lists/*.h
  ${SOURCE_DIR}/costing/*.cpp ${SOURCE_DIR}/costing/*.h)
set(offenders "")
foreach(source IN LISTS sources)
  file(STRINGS ${source} lines REGEX "QMessageBox|QInputDialog|QFileDialog|QPrintDialog|QPageSetupDialog")
  if(lines)
    list(APPEND offenders "${source}: ${lines}")
  endif()
endforeach()
if(offenders)
  string(REPLACE ";" "\n" report "${offenders}")
  message(FATAL_ERROR "Dialogs used outside platform/:\n${report}")
endif()
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "No sources found under ${SOURCE_DIR}")
endif()
message(STATUS "Checked ${count} files: every prompt goes through the prompter")
