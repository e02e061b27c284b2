# miniupnpc, the UPnP client that opens the module's ports in a home router,
# built as a static library from its 2.3.3 source folder, for Linux and for
# both Windows widths alike, from the folder ThirdParty.cmake found. The
# folder is never changed: configuring copies the files we build into the
# build tree, and the project's changes (miniupnpc/patches) go to the copy.
set(ms_upnpc_patches bounded-http-answer)

set(ms_upnpc_files addr_is_reserved connecthostport igd_desc_parse minissdpc miniupnpc miniwget
                   minisoap minixml portlistingparse receivedata upnpcommands upnpdev upnperrors
                   upnpreplyparse)
set(MS_MINIUPNPC_COPY_DIR ${CMAKE_BINARY_DIR}/miniupnpc-2.3.3)
file(REMOVE_RECURSE ${MS_MINIUPNPC_COPY_DIR})
file(COPY ${MS_MINIUPNPC_SOURCE_DIR}/src ${MS_MINIUPNPC_SOURCE_DIR}/include
          ${MS_MINIUPNPC_SOURCE_DIR}/LICENSE
     DESTINATION ${MS_MINIUPNPC_COPY_DIR} NO_SOURCE_PERMISSIONS)
# The library's own template, filled as its CMake build fills it.
set(ms_saved_version ${PROJECT_VERSION})
set(PROJECT_VERSION 2.3.3)
configure_file(${MS_MINIUPNPC_SOURCE_DIR}/miniupnpcstrings.h.cmake
               ${MS_MINIUPNPC_COPY_DIR}/src/miniupnpcstrings.h)
set(PROJECT_VERSION ${ms_saved_version})

ms_apply_patches(${MS_MINIUPNPC_COPY_DIR} ${PROJECT_SOURCE_DIR}/miniupnpc/patches
                 ${MS_MINIUPNPC_SOURCE_DIR} "miniupnpc 2.3.3" ${ms_upnpc_patches})

set(ms_upnpc_sources "")
foreach(name ${ms_upnpc_files})
  list(APPEND ms_upnpc_sources ${MS_MINIUPNPC_COPY_DIR}/src/${name}.c)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               ${MS_MINIUPNPC_SOURCE_DIR}/src/${name}.c)
endforeach()

add_library(miniupnpc STATIC ${ms_upnpc_sources})
# Not ours to keep free of warnings.
set_target_properties(miniupnpc PROPERTIES COMPILE_OPTIONS "-w" C_STANDARD 99)
target_include_directories(miniupnpc SYSTEM PUBLIC ${MS_MINIUPNPC_COPY_DIR}/include)
target_include_directories(miniupnpc PRIVATE ${MS_MINIUPNPC_COPY_DIR}/src)
target_compile_definitions(miniupnpc PUBLIC MINIUPNP_STATICLIB)
if(WIN32)
  target_compile_definitions(miniupnpc PRIVATE _WIN32_WINNT=0x0501)
  target_link_libraries(miniupnpc PUBLIC ws2_32 iphlpapi)
else()
  # The socket time-outs bound the connect and the send of every HTTP
  # exchange with the router; the patch bounds the whole answer.
  target_compile_definitions(miniupnpc PRIVATE MINIUPNPC_SET_SOCKET_TIMEOUT
                             MINIUPNPC_GET_SRC_ADDR _BSD_SOURCE _DEFAULT_SOURCE _XOPEN_SOURCE=600)
endif()
set(MS_MINIUPNPC_LICENSE_FILE ${MS_MINIUPNPC_COPY_DIR}/LICENSE)
