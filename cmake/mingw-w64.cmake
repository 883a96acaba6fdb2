# Cross build for Windows with mingw-w64, for the target that the including
# toolchain file names in QUERNWICK_MINGW_TARGET (i686 or x86_64); its test
# programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QUERNWICK_MINGW_TARGET})

# The posix threading variant: GoogleTest's headers need std::mutex.
set(CMAKE_C_COMPILER ${QUERNWICK_MINGW_TARGET}-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUERNWICK_MINGW_TARGET}-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER ${QUERNWICK_MINGW_TARGET}-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUERNWICK_MINGW_TARGET}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# No mingw runtime DLL beside the programs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-prefix.sh;run")
