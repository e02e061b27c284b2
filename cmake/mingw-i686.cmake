# Cross build of the 32-bit Windows module with MinGW-w64 (Debian's
# g++-mingw-w64-i686-posix: the posix thread flavour has std::thread).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(MS_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_C_COMPILER ${MS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MS_MINGW_TRIPLET}-windres)
set(CMAKE_DLLTOOL ${MS_MINGW_TRIPLET}-dlltool)

# Libraries and headers come from the MinGW tree only, never from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
