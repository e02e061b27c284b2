# The reliable channel's library: UDT 4.11 built here from its source with the
# project's patches (udt.dll on Windows, libudt.so.0 on Linux), or, only when
# asked for by name on Linux, Debian's unpatched libudt.
if(MS_UNHARDENED_DEBIAN_LIBUDT)
  message(WARNING "UDT: MS_UNHARDENED_DEBIAN_LIBUDT is on, so this build links Debian's libudt, "
                  "which is NOT HARDENED: a handshake from anyone can crash or exhaust the "
                  "process (see udt/patches)")
  # Debian's libudt-dev ships neither a pkg-config file nor a CMake package.
  find_path(UDT_INCLUDE_DIR NAMES udt/udt.h REQUIRED)
  find_library(UDT_LIBRARY NAMES udt REQUIRED)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/UdtFromSource.cmake)
  set(UDT_LIBRARY udt)
endif()
add_library(udt_lib INTERFACE)
target_include_directories(udt_lib SYSTEM INTERFACE ${UDT_INCLUDE_DIR})
target_link_libraries(udt_lib INTERFACE ${UDT_LIBRARY})
