# kavr_library_exports(<target> [LEAVE_OUT <Entry>...])
#
# A library exports the controller library's entries and nothing else, the
# names taken from the one list in kavr/entries.h (less any left out).
# On Linux a version script keeps everything else, the C++ runtime pulled in
# by the library included, local.
#
# On Windows it exports the controller library's entries as the
# maker's DLL does: under their undecorated names (_KAVRVB_Init, never
# _KAVRVB_Init@20) and nothing else. A .def file names the entries, taken
# from the one list in kavr/entries.h (less any left out); the linker
# ties each name to its __stdcall symbol (stdcall fix-up) and --kill-at keeps
# the decorated names out. Nothing in the sources is marked dllexport, which
# would export every entry a second time.
#
# A Windows cross build also gets a test that reads the built library's export
# table on the build machine (objdump), so the exports are checked even where
# no Windows program can run.
set(KAVR_ENTRY_LIST_HEADER ${CMAKE_CURRENT_LIST_DIR}/../contract/include/contract/entries.h)
set(KAVR_CHECK_EXPORTS_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/CheckExports.cmake)

function(kavr_library_exports target)
  cmake_parse_arguments(PARSE_ARGV 1 export "" "" "LEAVE_OUT")
  # The body of the KAVR_FOR_EACH_ENTRY macro: its lines up to the first one
  # not continued by a backslash, each entry's row starting X(Name, .
  file(READ ${KAVR_ENTRY_LIST_HEADER} header)
  string(REGEX MATCH "#define KAVR_FOR_EACH_ENTRY\\(X\\)([^\n]*\\\\\n)+[^\n]*" body "${header}")
  string(REGEX MATCHALL "X\\([A-Za-z0-9]+," calls "${body}")
  set(names "")
  foreach(call IN LISTS calls)
    string(REGEX REPLACE "X\\(([A-Za-z0-9]+)," "\\1" entry "${call}")
    if(NOT entry IN_LIST export_LEAVE_OUT)
      list(APPEND names _KAVRVB_${entry})
    endif()
  endforeach()
  if(NOT names)
    message(FATAL_ERROR "No entries found in ${KAVR_ENTRY_LIST_HEADER}")
  endif()

  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${KAVR_ENTRY_LIST_HEADER})
  if(WIN32)
    list(JOIN names "\n  " exports)
    get_target_property(name ${target} OUTPUT_NAME)
    if(NOT name)
      set(name ${target})
    endif()
    set(definition ${CMAKE_CURRENT_BINARY_DIR}/${target}.def)
    file(CONFIGURE OUTPUT ${definition} CONTENT "LIBRARY ${name}\nEXPORTS\n  ${exports}\n")
    target_sources(${target} PRIVATE ${definition})
    target_link_options(${target} PRIVATE "LINKER:--kill-at,--enable-stdcall-fixup")
    if(CMAKE_CROSSCOMPILING)
      add_test(NAME ${target}_exports
               COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DLIBRARY=$<TARGET_FILE:${target}>
                       "-DEXPECTED=${names}" -P ${KAVR_CHECK_EXPORTS_SCRIPT})
      set_tests_properties(${target}_exports PROPERTIES LABELS host)
    endif()
  else()
    list(JOIN names ";\n    " exports)
    set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.map)
    file(CONFIGURE OUTPUT ${script} CONTENT "{\n  global:\n    ${exports};\n  local:\n    *;\n};\n")
    target_link_options(${target} PRIVATE "LINKER:--version-script=${script}")
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
  endif()
endfunction()
