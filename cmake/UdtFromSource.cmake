# UDT 4.11 built from its source folder with this project's patches (udt/patches,
# applied in the order of ms_udt_patches), compiled as its authors' makefile
# compiles it. The folder is never changed: configuring copies it into the
# build tree and patches the copy. Windows builds udt.dll, which travels beside
# the module; Linux builds libudt.so.0, the name Debian's library has, which
# the ThreadSanitizer suppressions name.
set(ms_udt_files api buffer cache ccc channel common core epoll list md5 packet queue window)
set(ms_udt_patch_dir ${PROJECT_SOURCE_DIR}/udt/patches)
set(ms_udt_patches posix-threads handshake-bounds new-connection-leak accept-without-exception
    peer-record-key failed-connect-leaves-queue repeated-loss-reports)
set(MS_UDT_COPY_DIR ${CMAKE_BINARY_DIR}/udt-4.11)

if(NOT EXISTS ${MS_UDT_SOURCE_DIR}/LICENSE.txt)
  message(FATAL_ERROR "MS_UDT_SOURCE_DIR (${MS_UDT_SOURCE_DIR}) is not a UDT 4.11 source "
                      "folder: LICENSE.txt is missing")
endif()

file(REMOVE_RECURSE ${MS_UDT_COPY_DIR})
file(COPY ${MS_UDT_SOURCE_DIR}/src ${MS_UDT_SOURCE_DIR}/LICENSE.txt
     DESTINATION ${MS_UDT_COPY_DIR} NO_SOURCE_PERMISSIONS)
ms_apply_patches(${MS_UDT_COPY_DIR} ${ms_udt_patch_dir} ${MS_UDT_SOURCE_DIR} "UDT 4.11"
                 ${ms_udt_patches})
foreach(name ${ms_udt_files})
  list(APPEND ms_udt_sources ${MS_UDT_COPY_DIR}/src/${name}.cpp)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${MS_UDT_SOURCE_DIR}/src/${name}.cpp ${MS_UDT_SOURCE_DIR}/src/${name}.h)
endforeach()

add_library(udt SHARED ${ms_udt_sources})
# UDT 4 is written for C++03 (throw lists) and is not ours to keep free of
# warnings, so none of the project's warning options apply to it. It reads
# packet fields through pointers of other types, so, as its own makefile does,
# it is compiled without the strict-aliasing assumption.
set_target_properties(udt PROPERTIES
  CXX_STANDARD 11
  CXX_EXTENSIONS ON
  COMPILE_OPTIONS "-w;-fno-strict-aliasing")
# Its makefile names the processor (arch=IA32, AMD64), which makes UDT's clock
# the processor's cycle counter. Without it the clock counts whole
# microseconds (or, on Windows, the performance counter's ticks), and a
# record's last packet, which asks for an ACK at once by setting the ACK time
# to "now", meets the check "now > ACK time" within the same tick: no ACK is
# sent, and the record, readable only once acknowledged, waits for UDT's next
# timer pass, up to 100 ms later.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86|x86)$")
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    target_compile_definitions(udt PRIVATE AMD64)
  else()
    target_compile_definitions(udt PRIVATE IA32)
  endif()
else()
  message(FATAL_ERROR "UDT: no architecture define for processor ${CMAKE_SYSTEM_PROCESSOR}; "
                      "its clock would count whole microseconds and delay records")
endif()
if(WIN32)
  set_target_properties(udt PROPERTIES PREFIX "")
  target_compile_definitions(udt PRIVATE WIN32 UDT_EXPORTS)
  # Like the module, udt.dll needs no MinGW runtime DLL beside it.
  target_link_options(udt PRIVATE -static -static-libgcc -static-libstdc++
                      $<$<CONFIG:Release>:-s>)
  target_link_libraries(udt PRIVATE ws2_32)
  # As in the module: UDT throws internally, so its frames must stay findable.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_sources(udt PRIVATE ${PROJECT_SOURCE_DIR}/win/own_frame_tables.cpp)
  endif()
else()
  set_target_properties(udt PROPERTIES SOVERSION 0)
  target_compile_definitions(udt PRIVATE LINUX)
  find_package(Threads REQUIRED)
  target_link_libraries(udt PRIVATE Threads::Threads)
  # The ThreadSanitizer build leaves UDT uninstrumented, as Debian's library
  # is: its threads synchronise in ways the tool cannot see (tests/tsan.supp),
  # and instrumented it stalled the reliable channel under load.
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=thread")
    target_compile_options(udt PRIVATE -fno-sanitize=thread)
  endif()
endif()
# The module installs a congestion control of its own, declared in ccc.h.
file(COPY ${MS_UDT_COPY_DIR}/src/udt.h ${MS_UDT_COPY_DIR}/src/ccc.h ${MS_UDT_COPY_DIR}/src/packet.h
     DESTINATION ${CMAKE_BINARY_DIR}/udt-include/udt)
set(UDT_INCLUDE_DIR ${CMAKE_BINARY_DIR}/udt-include)

set(MS_UDT_LICENSE_FILE ${MS_UDT_COPY_DIR}/LICENSE.txt)
string(REPLACE ";" ", " ms_udt_patch_list "${ms_udt_patches}")
message(STATUS "UDT: built from ${MS_UDT_SOURCE_DIR} with udt/patches: ${ms_udt_patch_list}")
