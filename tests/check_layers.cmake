# The layers of the program (cmake/KolvaLayers.cmake):
#   platform core (0) < store (1) < the folders' core libraries (2)
#   < windows (3) < app (4)
# The sources of a core library in app/ (the command line) are of layer 2:
# the windows may use them, they use no window.
#
#   cmake -DSOURCE_DIR=... -DMANIFEST=... -DMODE=core|includes -P check_layers.cmake
#
# MANIFEST (written by tests/CMakeLists.txt) names the core libraries, the
# libraries each of them links (KOLVA_LINKS_<library>), their sources
# relative to SOURCE_DIR (KOLVA_CORE_SOURCES), the names of the widget
# headers (KOLVA_WIDGET_HEADERS) and the libraries that must be core
# libraries (KOLVA_REQUIRED_CORE_LIBRARIES: the command line's).
#
# MODE core: fails when a core library links Qt Widgets or Qt Print Support
# (which brings Widgets), directly or through another library, when a
# source of a core library includes a widget header, or when a library that
# must be a core library is not one.
# MODE includes: fails when a file includes a header of a higher layer.
cmake_minimum_required(VERSION 3.25)
include(${MANIFEST})

set(folders platform store reports card trees lists costing gis app)
set(sources "")
foreach(folder IN LISTS folders)
  file(GLOB found RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  list(APPEND sources ${found})
endforeach()
list(LENGTH sources count)
if(count EQUAL 0)
  message(FATAL_ERROR "No sources found under ${SOURCE_DIR}")
endif()

function(layer_of file out_var)
  string(REGEX MATCH "^[^/]+" folder "${file}")
  if(folder STREQUAL "store")
    set(layer 1)
  elseif(file IN_LIST KOLVA_CORE_SOURCES)
    if(folder STREQUAL "platform")
      set(layer 0)
    else()
      set(layer 2)
    endif()
  elseif(folder STREQUAL "app")
    set(layer 4)
  else()
    set(layer 3)
  endif()
  set(${out_var} ${layer} PARENT_SCOPE)
endfunction()

set(offenders "")
if(MODE STREQUAL "core")
  foreach(library IN LISTS KOLVA_REQUIRED_CORE_LIBRARIES)
    if(NOT library IN_LIST KOLVA_CORE_LIBRARIES)
      list(APPEND offenders "${library} is not a core library (made with kolva_core_library)")
    endif()
  endforeach()
  foreach(library IN LISTS KOLVA_CORE_LIBRARIES)
    foreach(linked IN LISTS KOLVA_LINKS_${library})
      if(linked MATCHES "^Qt6?::(Widgets|PrintSupport)$")
        list(APPEND offenders "${library} links ${linked}")
      endif()
    endforeach()
  endforeach()
  foreach(source IN LISTS KOLVA_CORE_SOURCES)
    if(NOT EXISTS ${SOURCE_DIR}/${source})
      continue()
    endif()
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*<[^>]+>")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*<([^>]+)>.*" "\\1" header "${line}")
      if(header IN_LIST KOLVA_WIDGET_HEADERS OR header MATCHES "^Qt(Widgets|PrintSupport)(/|$)")
        list(APPEND offenders "${source} includes <${header}>")
      endif()
    endforeach()
  endforeach()
  set(what "Core libraries that need windows")
  list(LENGTH KOLVA_CORE_LIBRARIES checked)
  set(done "Checked ${checked} core libraries: none links Qt Widgets or includes a widget header")
elseif(MODE STREQUAL "includes")
  foreach(source IN LISTS sources)
    layer_of(${source} from)
    file(STRINGS ${SOURCE_DIR}/${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" header "${line}")
      if(NOT EXISTS ${SOURCE_DIR}/${header})
        continue()
      endif()
      layer_of(${header} to)
      if(to GREATER from)
        list(APPEND offenders "${source} (layer ${from}) includes ${header} (layer ${to})")
      endif()
    endforeach()
  endforeach()
  set(what "Includes of a higher layer")
  set(done "Checked ${count} files: no file includes a header of a higher layer")
else()
  message(FATAL_ERROR "MODE is core or includes, not '${MODE}'")
endif()

if(offenders)
  string(REPLACE ";" "\n" report "${offenders}")
  message(FATAL_ERROR "${what}:\n${report}")
endif()
message(STATUS "${done}")
