# Cross build for 32-bit Windows with Debian's MinGW-w64, the only kind of
# process that can load the maker's 32-bit library:
#   cmake -S . -B build-win --toolchain cmake/i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KAVR_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
