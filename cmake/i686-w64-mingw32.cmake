# Cross build for 32-bit Windows with Debian's MinGW-w64, the only kind of
# process that can load the maker's 32-bit library:
#   cmake -S . -B build-win --toolchain cmake/i686-w64-mingw32.cmake
# The -posix compilers, since the default win32 thread model lacks std::mutex.
# cmake/Windows.cmake links everything -static and runs the tests through
# wine (cmake/wine-run.in), so ctest works unchanged.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(KAVR_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${KAVR_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAVR_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KAVR_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KAVR_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
