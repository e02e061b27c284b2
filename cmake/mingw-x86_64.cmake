# Cross build for 64-bit Windows with MinGW-w64 (posix thread flavour). Used
# for the platform layer's tests, which run under wine64 on the build machine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(MS_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MS_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${MS_MINGW_TRIPLET}-dlltool)

set(CMAKE_FIND_ROOT_PATH /usr/${MS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine; CTest puts the emulator before each of them.
find_program(MS_WINE64 NAMES wine64 wine HINTS /usr/lib/wine)
if(MS_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MS_WINE64})
endif()
