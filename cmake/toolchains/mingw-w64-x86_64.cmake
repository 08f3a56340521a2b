# Cross build for 64-bit Windows with Debian's MinGW-w64 (POSIX threads
# flavour); the programs it makes run here under Wine.
set(OSTREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(OSTREL_WINE_LOADER wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
