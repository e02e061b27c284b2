# Debian's libudt-dev ships neither a pkg-config file nor a CMake package.
if(WIN32)
  # Stages the header for the cross compiler and makes the import libraries.
  include(${CMAKE_CURRENT_LIST_DIR}/WinImportLibs.cmake)
endif()
find_path(UDT_INCLUDE_DIR NAMES udt/udt.h REQUIRED)
if(WIN32)
  # The Windows module links against udt.dll: either a UDT build named by the
  # user or an import library made from our own list of the functions we call.
  set(MS_UDT_LIBRARY "" CACHE FILEPATH "Import library of a MinGW build of UDT 4 (udt.dll)")
  if(MS_UDT_LIBRARY)
    set(UDT_LIBRARY ${MS_UDT_LIBRARY})
  else()
    set(UDT_LIBRARY ms_udt_import)
  endif()
else()
  find_library(UDT_LIBRARY NAMES udt REQUIRED)
endif()
add_library(udt_lib INTERFACE)
target_include_directories(udt_lib SYSTEM INTERFACE ${UDT_INCLUDE_DIR})
target_link_libraries(udt_lib INTERFACE ${UDT_LIBRARY})
