# udt.dll built from a UDT 4.11 source folder with this build's MinGW-w64
# compiler. The folder is never changed: configuring copies it into the build
# tree and applies our patches there. The module then
# links against this udt.dll's own import library, so that the names it asks
# for are the names this udt.dll exports.
set(ms_udt_files api buffer cache ccc channel common core epoll list md5 packet queue window)
set(ms_udt_patches ${PROJECT_SOURCE_DIR}/win/udt/posix-threads.patch
    ${PROJECT_SOURCE_DIR}/udt/patches/failed-connect-leaves-queue.patch)
set(MS_UDT_COPY_DIR ${CMAKE_BINARY_DIR}/udt-4.11)

if(NOT EXISTS ${MS_UDT_SOURCE_DIR}/src/udt.h OR NOT EXISTS ${MS_UDT_SOURCE_DIR}/LICENSE.txt)
  message(FATAL_ERROR "MS_UDT_SOURCE_DIR (${MS_UDT_SOURCE_DIR}) is not a UDT 4.11 source "
                      "folder: src/udt.h or LICENSE.txt is missing")
endif()
find_program(MS_PATCH NAMES patch REQUIRED)

file(REMOVE_RECURSE ${MS_UDT_COPY_DIR})
file(COPY ${MS_UDT_SOURCE_DIR}/src ${MS_UDT_SOURCE_DIR}/LICENSE.txt
     DESTINATION ${MS_UDT_COPY_DIR} NO_SOURCE_PERMISSIONS)
foreach(ms_udt_patch ${ms_udt_patches})
  execute_process(COMMAND ${MS_PATCH} -p1 --forward --batch -i ${ms_udt_patch}
                  WORKING_DIRECTORY ${MS_UDT_COPY_DIR}
                  RESULT_VARIABLE ms_udt_patch_result OUTPUT_VARIABLE ms_udt_patch_output
                  ERROR_VARIABLE ms_udt_patch_output)
  if(NOT ms_udt_patch_result EQUAL 0)
    message(FATAL_ERROR "${ms_udt_patch} does not apply to ${MS_UDT_SOURCE_DIR}; is it UDT 4.11?\n"
                        "${ms_udt_patch_output}")
  endif()
  # Configure again when a patch changes.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ms_udt_patch})
endforeach()
foreach(name ${ms_udt_files})
  list(APPEND ms_udt_sources ${MS_UDT_COPY_DIR}/src/${name}.cpp)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${MS_UDT_SOURCE_DIR}/src/${name}.cpp ${MS_UDT_SOURCE_DIR}/src/${name}.h)
endforeach()

add_library(udt SHARED ${ms_udt_sources})
# As in the module: UDT throws internally, so its frames must stay findable.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  target_sources(udt PRIVATE ${PROJECT_SOURCE_DIR}/win/own_frame_tables.cpp)
endif()
# UDT 4 is written for C++03 (throw lists) and is not ours to keep free of
# warnings, so none of the project's warning options apply to it.
set_target_properties(udt PROPERTIES
  PREFIX ""
  CXX_STANDARD 11
  CXX_EXTENSIONS ON
  COMPILE_OPTIONS "-w")
target_compile_definitions(udt PRIVATE WIN32 UDT_EXPORTS)
# Like the module, udt.dll needs no MinGW runtime DLL beside it.
target_link_options(udt PRIVATE -static -static-libgcc -static-libstdc++ $<$<CONFIG:Release>:-s>)
target_link_libraries(udt PRIVATE ws2_32)

ms_stage_udt_header(${MS_UDT_COPY_DIR}/src/udt.h)
set(MS_UDT_LICENSE_FILE ${MS_UDT_COPY_DIR}/LICENSE.txt)
message(STATUS "udt.dll: built from ${MS_UDT_SOURCE_DIR} with our patches")
