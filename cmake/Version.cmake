# KAVR_VERSION: the programs' version, as --version prints it, read from the
# one place it is written (app/include/app/version.h).
file(STRINGS ${PROJECT_SOURCE_DIR}/app/include/app/version.h kavr_version_line REGEX "kVersion = \"[0-9.]+\"")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" KAVR_VERSION "${kavr_version_line}")
if(NOT KAVR_VERSION)
  message(FATAL_ERROR "No version found in app/include/app/version.h")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/app/include/app/version.h)
