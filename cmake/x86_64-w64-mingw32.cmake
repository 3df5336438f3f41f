# Cross build for 64-bit Windows, for testing only: on a machine that cannot
# run 32-bit programs, 64-bit wine still runs the Windows code paths (the
# loader, code pages, the decimal separator, file locking, paths). No 64-bit
# program can load the maker's 32-bit library, so nothing of it is shipped.
#   cmake -S . -B build-win64 --toolchain cmake/x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KAVR_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MinGW.cmake)
