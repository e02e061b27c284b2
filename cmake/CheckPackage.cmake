# cmake -DPACKAGE=zip -DNAME=folder -DCHECKER=check_module_dll -DWORK_DIR=dir
#       -P CheckPackage.cmake
# Unpacks the pilots' package, requires each file a pilot needs, and runs the
# module checker on the unpacked MultiShared.dll and udt.dll.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${PACKAGE} WORKING_DIRECTORY ${WORK_DIR}
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${PACKAGE}")
endif()
set(root ${WORK_DIR}/${NAME})
set(files MultiShared.dll udt.dll multishared-check.exe UDT-LICENSE.txt MINIUPNPC-LICENSE.txt
          windows.md pilots.md samples/SharedConfig.cfg samples/LVars.cfg)
foreach(file ${files})
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "the package lacks ${file}")
  endif()
endforeach()
file(READ ${root}/UDT-LICENSE.txt licence)
if(NOT licence MATCHES "University of Illinois")
  message(FATAL_ERROR "UDT-LICENSE.txt is not UDT's licence")
endif()
file(READ ${root}/MINIUPNPC-LICENSE.txt licence)
if(NOT licence MATCHES "Thomas BERNARD")
  message(FATAL_ERROR "MINIUPNPC-LICENSE.txt is not miniupnpc's licence")
endif()
execute_process(COMMAND ${CHECKER} ${root}/MultiShared.dll ${root}/udt.dll RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the packaged MultiShared.dll and udt.dll fail their checks")
endif()
