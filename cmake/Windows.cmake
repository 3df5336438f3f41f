# Windows builds: the oldest Windows the programs must start on, and, in a
# cross build, wine to run the tests and anything else built here.

# Windows 7 (with KB2533623, for the loader flags the binding passes): the
# headers then hide every function that a newer Windows added.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)

# The compiler's run-time libraries linked in, so that no DLL of theirs has to
# travel beside the programs and the library.
if(MINGW)
  add_link_options(-static)
endif()

if(CMAKE_CROSSCOMPILING)
  include(${CMAKE_CURRENT_LIST_DIR}/HostHeaderPackages.cmake)
endif()

if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  # Each loader by its own path: Debian's `wine` script picks the 32-bit
  # loader whenever wine32 is installed, even where the kernel cannot run it.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    find_program(KAVR_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
    set(KAVR_WINEARCH win64)
  else()
    find_program(KAVR_WINE wine PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
    set(KAVR_WINEARCH win32)
  endif()
  # A wine prefix of the build's own, so that no test touches the user's.
  set(KAVR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE @ONLY)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
endif()
