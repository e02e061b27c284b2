# The Windows module: MultiShared.dll, which the simulator loads. It exports
# exactly ImportTable and Linkage, carries its manifest and version record, and
# needs no MinGW runtime DLL beside it.
enable_language(RC)

set(MS_MANIFEST_FILE ${PROJECT_SOURCE_DIR}/win/MultiShared.manifest)
configure_file(${PROJECT_SOURCE_DIR}/win/MultiShared.rc.in
               ${CMAKE_CURRENT_BINARY_DIR}/MultiShared.rc @ONLY)

target_sources(MultiShared PRIVATE
  ${PROJECT_SOURCE_DIR}/win/MultiShared.def
  ${CMAKE_CURRENT_BINARY_DIR}/MultiShared.rc)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/MultiShared.rc PROPERTIES
  OBJECT_DEPENDS ${MS_MANIFEST_FILE})
set_target_properties(MultiShared PROPERTIES PREFIX "" SUFFIX ".dll")

# The simulator's process has no MinGW runtime: the C++ runtime, libgcc and
# winpthreads are linked in. A release DLL leaves their symbols out.
target_link_options(MultiShared PRIVATE -static -static-libgcc -static-libstdc++
                    $<$<CONFIG:Release>:-s>)
target_link_libraries(MultiShared PRIVATE ws2_32 shell32)
# 32-bit x86 unwinds through tables that another add-on's MinGW runtime could
# otherwise take over.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_sources(MultiShared PRIVATE ${PROJECT_SOURCE_DIR}/win/own_frame_tables.cpp)
endif()
# With the stand-in built, the module imports its SimConnect functions from
# the stand-in's SimConnect.dll; otherwise from the simulator's, by our list.
# It then lies in the stand-in's Gauges folder, away from the DLLs it needs,
# as in the simulator.
if(MS_BUILD_STANDIN)
  target_link_libraries(MultiShared PRIVATE $<TARGET_LINKER_FILE:standin>)
  add_dependencies(MultiShared standin)
  set_target_properties(MultiShared PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sim/Gauges)
else()
  target_link_libraries(MultiShared PRIVATE ms_simconnect_import)
endif()

# Checks of the DLL file, run by CTest: the checker is a program for the build
# machine, so it is built by the host compiler in a project of its own.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  include(ExternalProject)
  set(ms_host_tools_dir ${CMAKE_BINARY_DIR}/host-tools)
  ExternalProject_Add(ms_host_tools
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/dll_check
    BINARY_DIR ${ms_host_tools_dir}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMS_WARNINGS_AS_ERRORS=${MS_WARNINGS_AS_ERRORS}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON)
  # The checks also hold the module's imports against udt.dll's exports.
  set(ms_udt_dll $<TARGET_FILE:udt>)
  add_test(NAME module_dll_check
           COMMAND ${ms_host_tools_dir}/check_module_dll $<TARGET_FILE:MultiShared> ${ms_udt_dll})
  add_test(NAME module_dll_checker_tests
           COMMAND ${ms_host_tools_dir}/check_module_dll_tests $<TARGET_FILE:MultiShared>
                   ${ms_udt_dll})
  set_tests_properties(module_dll_check module_dll_checker_tests PROPERTIES LABELS windows)
endif()
