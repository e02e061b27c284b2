# Cross build for 64-bit Windows with MinGW-w64. Used for the platform layer's
# tests, which run under wine64 on the build machine.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MS_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# Test programs run under Wine; CTest puts the emulator before each of them.
find_program(MS_WINE64 NAMES wine64 wine HINTS /usr/lib/wine)
if(MS_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MS_WINE64})
endif()
