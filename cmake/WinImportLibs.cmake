# The import library for SimConnect.dll, which the Windows module links against
# but the build machine does not have (it is part of the simulator): made at
# build time with dlltool from our own list of the functions the module calls.
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
