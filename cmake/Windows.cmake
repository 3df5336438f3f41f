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
    find_program(KAVR_WINE wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
    set(KAVR_WINEARCH win64)
    set(wine_package wine64)
  else()
    find_program(KAVR_WINE wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
    set(KAVR_WINEARCH win32)
    set(wine_package wine32:i386)
  endif()
  if(KAVR_WINE)
    # A wine prefix of the build's own, so that no test touches the user's.
    set(KAVR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                    WORLD_READ WORLD_EXECUTE @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
  elseif(KAVR_BUILD_TESTS)
    message(FATAL_ERROR "The Windows test programs run under wine, and ${wine_package} is not installed: "
                        "install it, or configure with -DKAVR_BUILD_TESTS=OFF to build the programs only.")
  else()
    # Where this machine runs no 32-bit program, 32-bit wine may not even be
    # installable; the programs and libraries are still built and their
    # exports read back on the build machine.
    message(STATUS "No ${wine_package}: the Windows programs are built, not run.")
  endif()
endif()
