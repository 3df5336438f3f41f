# kavr_forbid_links(TARGETS <target>... FORBIDDEN <target>...)
#
# Fails the configuration when any of TARGETS reaches any of FORBIDDEN
# through its links, directly or through other targets (LINK_LIBRARIES and
# INTERFACE_LINK_LIBRARIES, followed to the end), or has one of FORBIDDEN's
# include folders on its own include path. The stand-in library must build
# against the contract alone: were it to reach the binding or the program's
# core, a binding header would compile there, and the stand-in would no
# longer show that the contract suffices.
#
# Call it once every target exists.

# The targets an entry of a link list names: generator expressions of the
# form $<LINK_ONLY:x> (a static library's private links) are unwrapped, the
# folder markers CMake adds (::@(...)) dropped, aliases resolved.
function(kavr_linked_target entry out)
  set(name "${entry}")
  if(name MATCHES "^\\$<LINK_ONLY:(.*)>$")
    set(name "${CMAKE_MATCH_1}")
  endif()
  string(REGEX REPLACE "::@\\(.*\\)$" "" name "${name}")
  set(resolved "")
  if(name AND TARGET "${name}")
    get_target_property(aliased "${name}" ALIASED_TARGET)
    if(aliased)
      set(resolved "${aliased}")
    else()
      set(resolved "${name}")
    endif()
  endif()
  set(${out} "${resolved}" PARENT_SCOPE)
endfunction()

# Every target `target` links, itself included, in `out`; for each, the
# target it was first reached from in `<out>_via_<name>`.
function(kavr_link_closure target out)
  set(closure "")
  set(pending "${target}")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST closure)
      continue()
    endif()
    list(APPEND closure "${current}")
    set(links "")
    get_target_property(type "${current}" TYPE)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct "${current}" LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface "${current}" INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(entry IN LISTS links)
      kavr_linked_target("${entry}" linked)
      if(linked AND NOT DEFINED via_${linked} AND NOT linked STREQUAL target)
        set(via_${linked} "${current}")
        set(${out}_via_${linked} "${current}" PARENT_SCOPE)
        list(APPEND pending "${linked}")
      endif()
    endforeach()
  endwhile()
  set(${out} "${closure}" PARENT_SCOPE)
endfunction()

function(kavr_forbid_links)
  cmake_parse_arguments(PARSE_ARGV 0 graph "" "" "TARGETS;FORBIDDEN")
  foreach(target IN LISTS graph_TARGETS)
    kavr_link_closure("${target}" closure)
    foreach(forbidden IN LISTS graph_FORBIDDEN)
      if(forbidden IN_LIST closure)
        # The chain of links from the target to the forbidden one.
        set(chain "${forbidden}")
        set(step "${forbidden}")
        while(NOT step STREQUAL target)
          set(step "${closure_via_${step}}")
          string(PREPEND chain "${step} -> ")
        endwhile()
        message(FATAL_ERROR
          "${target} reaches ${forbidden} through its links (${chain}). "
          "The stand-in library builds on the contract (kavr_contract) and the "
          "targets that link only it: link what it needs from those instead.")
      endif()
    endforeach()
    # Include folders come with links, but one may be added by hand too.
    get_target_property(folders "${target}" INCLUDE_DIRECTORIES)
    foreach(linked IN LISTS closure)
      get_target_property(interface "${linked}" INTERFACE_INCLUDE_DIRECTORIES)
      if(interface)
        list(APPEND folders ${interface})
      endif()
    endforeach()
    foreach(forbidden IN LISTS graph_FORBIDDEN)
      get_target_property(forbiddenFolders "${forbidden}" INTERFACE_INCLUDE_DIRECTORIES)
      foreach(folder IN LISTS forbiddenFolders)
        if(folder IN_LIST folders)
          message(FATAL_ERROR
            "${target} has ${folder}, the include folder of ${forbidden}, on "
            "its include path. The stand-in library includes the contract and "
            "the targets that link only it, nothing else.")
        endif()
      endforeach()
    endforeach()
  endforeach()
endfunction()
