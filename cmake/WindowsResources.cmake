# kavr_windows_resources(<target> DESCRIPTION <text> [PRODUCT <name>]): the
# program's icon and version information, as Windows users expect them; the
# product name is kavrtest unless named. Does nothing elsewhere.

# The stand-in library's product name: how the Windows installer tells our
# KAVRVBDLL.dll from the maker's, which it must never replace. Keep it: under
# another name, a newer installer would take the stand-ins already installed
# for the maker's library and leave them in place.
set(KAVR_STAND_IN_PRODUCT "kavrtest stand-in controller library")

function(kavr_windows_resources target)
  if(NOT WIN32)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 resource "" "DESCRIPTION;PRODUCT" "")
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(KAVR_RC_FILE_TYPE VFT_APP)
    set(KAVR_RC_FILE_NAME ${name}.exe)
  else()
    set(KAVR_RC_FILE_TYPE VFT_DLL)
    set(KAVR_RC_FILE_NAME ${name}.dll)
  endif()
  set(KAVR_RC_NAME ${name})
  set(KAVR_RC_DESCRIPTION "${resource_DESCRIPTION}")
  set(KAVR_RC_PRODUCT kavrtest)
  if(resource_PRODUCT)
    set(KAVR_RC_PRODUCT "${resource_PRODUCT}")
  endif()
  set(KAVR_RC_ICON ${PROJECT_SOURCE_DIR}/packaging/windows/kavrtest.ico)
  string(REPLACE "." "," KAVR_RC_VERSION_COMMAS "${KAVR_VERSION},0")
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${script} @ONLY)
  target_sources(${target} PRIVATE ${script})
endfunction()
