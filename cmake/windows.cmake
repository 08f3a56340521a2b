# The Windows cross build (see cmake/toolchains/): the engine, its tests and
# the command line. Debian has no Qt, no benchmark library, no libtsk and
# no prebuilt GoogleTest for MinGW: the front end and the benchmarks are
# left out, images are read as plain bytes, and GoogleTest is built from
# Debian's source package.
set(OSTREL_FRONTEND OFF CACHE BOOL "" FORCE)
# Programs and DLLs in one folder, where Windows looks for a program's DLLs.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(OSTREL_BENCH OFF CACHE BOOL "" FORCE)
# Nor libtsk and libewf: no file is read as an image container.
set(OSTREL_IMAGE_FORMATS OFF CACHE BOOL "" FORCE)

if(OSTREL_TESTS)
  set(OSTREL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's sources (Debian's googletest package)")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(${OSTREL_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endif()

# MinGW-w64's C library offers gmtime_r and localtime_r when asked.
add_compile_definitions(_POSIX_THREAD_SAFE_FUNCTIONS)

# Windows keeps the stack aligned to 16 bytes only, and GCC still spills
# 32- and 64-byte vectors with aligned moves (GCC bug 54412): the assembler
# makes every vector move an unaligned one.
add_compile_options(-Wa,-muse-unaligned-vector-move)
