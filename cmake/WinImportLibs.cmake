# Import libraries for DLLs the Windows module links against but that the
# build machine does not have: SimConnect.dll (part of the simulator) and, when
# no UDT source is given, udt.dll. Each is made at build time with dlltool from
# our own list of the functions the module calls.

# Without a UDT source folder the UDT header comes from Debian's libudt-dev
# (the same file as UDT 4.11's). It is copied into a folder of its own:
# pointing the cross compiler at the host's whole include folder would put the
# host's C library headers before MinGW's.
find_path(MS_HOST_UDT_INCLUDE_DIR NAMES udt/udt.h NO_CMAKE_FIND_ROOT_PATH)

# ms_stage_udt_header(FILE): makes FILE the module's <udt/udt.h>.
function(ms_stage_udt_header header)
  set(staged ${CMAKE_BINARY_DIR}/udt-include)
  file(COPY ${header} DESTINATION ${staged}/udt)
  set(UDT_INCLUDE_DIR ${staged} CACHE PATH "Folder holding udt/udt.h" FORCE)
endfunction()

find_program(MS_DLLTOOL NAMES ${CMAKE_DLLTOOL} dlltool REQUIRED)

# ms_import_library(TARGET DEF_FILE DLL_NAME [KILL_AT]): an imported static
# library target whose file is made from DEF_FILE. KILL_AT strips the stdcall
# @n suffix from the names the DLL is asked for.
function(ms_import_library target def dll)
  cmake_parse_arguments(arg "KILL_AT" "" "" ${ARGN})
  set(library ${CMAKE_BINARY_DIR}/import-libs/lib${target}.a)
  set(flags)
  if(arg_KILL_AT)
    list(APPEND flags --kill-at)
  endif()
  add_custom_command(
    OUTPUT ${library}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/import-libs
    COMMAND ${MS_DLLTOOL} ${flags} --input-def ${def} --dllname ${dll} --output-lib ${library}
    DEPENDS ${def}
    COMMENT "Import library for ${dll}"
    VERBATIM)
  add_custom_target(${target}_file DEPENDS ${library})
  add_library(${target} STATIC IMPORTED GLOBAL)
  set_target_properties(${target} PROPERTIES IMPORTED_LOCATION ${library})
  add_dependencies(${target} ${target}_file)
endfunction()

ms_import_library(ms_simconnect_import ${PROJECT_SOURCE_DIR}/win/SimConnect.def SimConnect.dll
                  KILL_AT)
