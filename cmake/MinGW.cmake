# What both Windows cross builds share; the toolchain files
# cmake/i686-w64-mingw32.cmake and cmake/x86_64-w64-mingw32.cmake set
# KAVR_MINGW_TRIPLET and the processor, then include this.
# The -posix compilers, since the default win32 thread model lacks std::mutex.
# cmake/Windows.cmake links everything -static and runs the tests through
# wine (cmake/wine-run.in), so ctest works unchanged.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KAVR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVR_MINGW_TRIPLET})
# A Qt built for Windows is found through CMAKE_PREFIX_PATH, which the root
# path would otherwise hide.
if(CMAKE_PREFIX_PATH)
  list(APPEND CMAKE_FIND_ROOT_PATH ${CMAKE_PREFIX_PATH})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
