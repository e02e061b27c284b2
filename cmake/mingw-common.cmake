# What both MinGW-w64 toolchains share; the including file sets
# MS_MINGW_TRIPLET first. The posix thread flavour of the compilers has
# std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
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
