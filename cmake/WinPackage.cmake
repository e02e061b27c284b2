# The pilots' package: one zip with everything a pilot copies onto a Windows
# computer, made with every Windows build.

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ms_package_name MultiShared-${PROJECT_VERSION}-win32)
else()
  set(ms_package_name MultiShared-${PROJECT_VERSION}-win64)
endif()
set(ms_package_dir ${CMAKE_BINARY_DIR}/package/${ms_package_name})
set(MS_PACKAGE_FILE ${CMAKE_BINARY_DIR}/package/${ms_package_name}.zip)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

# With the checker pilots run beside the module.
set(ms_package_programs $<TARGET_FILE:MultiShared> $<TARGET_FILE:udt>
                        $<TARGET_FILE:multishared-check>)
set(ms_package_samples
  ${PROJECT_SOURCE_DIR}/samples/SharedConfig.cfg
  ${PROJECT_SOURCE_DIR}/samples/LVars.cfg)
set(ms_package_texts ${PROJECT_SOURCE_DIR}/docs/windows.md ${PROJECT_SOURCE_DIR}/docs/pilots.md)

add_custom_command(
  OUTPUT ${MS_PACKAGE_FILE}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ms_package_dir} ${MS_PACKAGE_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ms_package_dir}/samples
  COMMAND ${CMAKE_COMMAND} -E copy ${ms_package_programs} ${ms_package_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${ms_package_samples} ${ms_package_dir}/samples
  COMMAND ${CMAKE_COMMAND} -E copy ${ms_package_texts} ${ms_package_dir}
  COMMAND ${CMAKE_COMMAND} -E copy ${MS_UDT_LICENSE_FILE} ${ms_package_dir}/UDT-LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E copy ${MS_MINIUPNPC_LICENSE_FILE}
          ${ms_package_dir}/MINIUPNPC-LICENSE.txt
  COMMAND ${CMAKE_COMMAND} -E tar cf ${MS_PACKAGE_FILE} --format=zip ${ms_package_name}
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/package
  DEPENDS ${ms_package_programs} ${ms_package_samples} ${ms_package_texts} ${MS_UDT_LICENSE_FILE} ${MS_MINIUPNPC_LICENSE_FILE}
  COMMENT "Pilots' package ${ms_package_name}.zip"
  VERBATIM)
add_custom_target(pilots_package ALL DEPENDS ${MS_PACKAGE_FILE})

# The package as a pilot unpacks it: every file in place, and the module's
# imports from udt.dll all exported by the udt.dll beside it.
if(TARGET ms_host_tools)
  add_test(NAME pilots_package_check
           COMMAND ${CMAKE_COMMAND} -DPACKAGE=${MS_PACKAGE_FILE} -DNAME=${ms_package_name}
                   -DCHECKER=${CMAKE_BINARY_DIR}/host-tools/check_module_dll
                   -DWORK_DIR=${CMAKE_BINARY_DIR}/package-check
                   -P ${PROJECT_SOURCE_DIR}/cmake/CheckPackage.cmake)
  set_tests_properties(pilots_package_check PROPERTIES LABELS windows)
endif()
