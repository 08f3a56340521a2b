# Cross build for 32-bit Windows with Debian's MinGW-w64 (POSIX threads
# flavour); the programs it makes run here under Wine's 32-bit loader.
set(OSTREL_MINGW_TRIPLE i686-w64-mingw32)
set(OSTREL_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
