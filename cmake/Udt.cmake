# Debian's libudt-dev ships neither a pkg-config file nor a CMake package.
if(WIN32)
  # The Windows module links against udt.dll, in this order of preference: a
  # udt.dll built here from a UDT 4.11 source folder, a UDT build named by the
  # user, or an import library made from our own list of the functions we call.
  set(MS_UDT_SOURCE_DIR "" CACHE PATH
      "UDT 4.11 source folder (holding src/udt.h): udt.dll is built from a patched copy")
  set(MS_UDT_LIBRARY "" CACHE FILEPATH "Import library of a MinGW build of UDT 4 (udt.dll)")
  include(${CMAKE_CURRENT_LIST_DIR}/WinImportLibs.cmake)
  if(MS_UDT_SOURCE_DIR)
    include(${CMAKE_CURRENT_LIST_DIR}/UdtFromSource.cmake)
    set(UDT_LIBRARY udt)
  elseif(MS_UDT_LIBRARY)
    ms_stage_udt_header(${MS_HOST_UDT_INCLUDE_DIR}/udt/udt.h)
    set(UDT_LIBRARY ${MS_UDT_LIBRARY})
  else()
    message(WARNING "udt.dll: no UDT source folder given (MS_UDT_SOURCE_DIR), so no udt.dll "
                   "is built and no pilots' package made; MultiShared.dll links against an "
                   "import library made from win/udt.def")
    ms_stage_udt_header(${MS_HOST_UDT_INCLUDE_DIR}/udt/udt.h)
    ms_import_library(ms_udt_import ${PROJECT_SOURCE_DIR}/win/udt.def udt.dll)
    set(UDT_LIBRARY ms_udt_import)
  endif()
else()
  # Linux builds the same patched source as Windows does; without it, Debian's
  # libudt-dev serves, which carries none of the project's patches.
  set(MS_UDT_SOURCE_DIR "" CACHE PATH
      "UDT 4.11 source folder (holding src/udt.h): libudt is built from a patched copy")
  if(MS_UDT_SOURCE_DIR)
    include(${CMAKE_CURRENT_LIST_DIR}/UdtFromSource.cmake)
    set(UDT_LIBRARY udt)
  else()
    message(WARNING "UDT: no UDT source folder given (MS_UDT_SOURCE_DIR), so this build links "
                    "Debian's libudt, which is NOT HARDENED: a handshake from anyone can crash "
                    "or exhaust the process (see udt/patches)")
    find_path(UDT_INCLUDE_DIR NAMES udt/udt.h REQUIRED)
    find_library(UDT_LIBRARY NAMES udt REQUIRED)
  endif()
endif()
add_library(udt_lib INTERFACE)
target_include_directories(udt_lib SYSTEM INTERFACE ${UDT_INCLUDE_DIR})
target_link_libraries(udt_lib INTERFACE ${UDT_LIBRARY})
