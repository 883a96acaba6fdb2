# Cross build for 64-bit Windows with mingw-w64. The program itself is 32-bit;
# this build serves the control benchmark, which Wine runs natively on these
# machines, without the i386 emulator.
set(QUERNWICK_MINGW_TARGET x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
