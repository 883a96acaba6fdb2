# Cross build for 32-bit Windows with mingw-w64: the program's own build.
set(QUERNWICK_MINGW_TARGET i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
