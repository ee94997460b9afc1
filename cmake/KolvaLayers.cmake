# The layers of the program, lowest first:
#   platform core < store < reports, card, trees, lists, costing, gis core
#   < windows (platform's windows and each folder's windows) < app.
# A library made with kolva_core_library is one of the first three: it needs
# no window, links no Qt Widgets (directly or through another library) and
# includes no widget header; the command line, the jobs and the fuzz target
# are built from such libraries. tests/check_layers.cmake checks both.
function(kolva_core_library name)
  add_library(${name} STATIC ${ARGN})
  set_property(GLOBAL APPEND PROPERTY KOLVA_CORE_LIBRARIES ${name})
endfunction()

# Every library a target links, directly or through the libraries it links
# (imported Qt targets included), in out_var.
function(kolva_linked_closure target out_var)
  set(seen "")
  set(pending ${target})
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      list(APPEND pending ${aliased})
      continue()
    endif()
    set(links "")
    get_target_property(imported ${current} IMPORTED)
    if(NOT imported)
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      # A private dependency of a static library shows as $<LINK_ONLY:name>.
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(NOT link MATCHES "^\\$<" AND NOT link IN_LIST seen)
        list(APPEND pending ${link})
      endif()
    endforeach()
  endwhile()
  list(REMOVE_ITEM seen ${target})
  set(${out_var} ${seen} PARENT_SCOPE)
endfunction()
