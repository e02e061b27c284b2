# The third-party sources every build compiles, taken from one folder beside
# the checkout (../shared/third_party): UDT 4.11, the reliable channel's
# library, built with the project's patches; miniupnpc 2.3.3, the UPnP client
# that opens the module's ports in the home router; and, for the Linux
# end-to-end tests, miniupnpd 2.3.1, their test router's daemon. The
# repository holds only what this project writes about them. Without a folder
# that is needed, configuring stops with one message naming each missing one.
set(MS_THIRD_PARTY_DIR ${PROJECT_SOURCE_DIR}/../shared/third_party CACHE PATH
    "Folder holding udt-4.11, miniupnpc-2.3.3 and miniupnpd-2.3.1")
get_filename_component(MS_THIRD_PARTY_DIR ${MS_THIRD_PARTY_DIR} ABSOLUTE)

# Debian's libudt lacks the project's patches: a crafted handshake from anyone
# can crash or exhaust the process. Only ever by this explicit choice, on Linux.
option(MS_UNHARDENED_DEBIAN_LIBUDT
       "Link Debian's libudt instead of the patched UDT (NOT HARDENED; Linux only)" OFF)
if(MS_UNHARDENED_DEBIAN_LIBUDT AND WIN32)
  message(FATAL_ERROR "MS_UNHARDENED_DEBIAN_LIBUDT is for Linux only: the Windows builds "
                      "always make udt.dll from UDT's source with the project's patches")
endif()

# ms_third_party_folder(VAR NAME FILE): VAR, a cache path defaulting to NAME in
# the third-party folder, and whether it holds FILE. A path left empty by an
# older configuration, or the default of a third-party folder named before,
# takes the default.
function(ms_third_party_folder var name file)
  set(${var} ${MS_THIRD_PARTY_DIR}/${name} CACHE PATH "${name} source folder")
  if(NOT ${var} OR "${${var}}" STREQUAL "${MS_THIRD_PARTY_DIR_BEFORE}/${name}")
    set(${var} ${MS_THIRD_PARTY_DIR}/${name} CACHE PATH "${name} source folder" FORCE)
  endif()
  get_filename_component(folder ${${var}} ABSOLUTE)
  set(${var} ${folder} PARENT_SCOPE)
  if(EXISTS ${folder}/${file})
    set(${var}_FOUND ON PARENT_SCOPE)
  else()
    set(${var}_FOUND OFF PARENT_SCOPE)
  endif()
endfunction()

# ms_apply_patches(COPY PATCH_DIR WHAT VERSION PATCHES...): applies each
# PATCH_DIR/NAME.patch to the copy COPY of a third-party source, stopping with
# a message that names WHAT and the VERSION expected when one does not apply;
# a changed patch configures again.
function(ms_apply_patches copy patch_dir what version)
  find_program(MS_PATCH NAMES patch REQUIRED)
  foreach(name ${ARGN})
    set(patch_file ${patch_dir}/${name}.patch)
    execute_process(COMMAND ${MS_PATCH} -p1 --forward --batch -i ${patch_file}
                    WORKING_DIRECTORY ${copy}
                    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "${patch_file} does not apply to the copy of ${what}; "
                          "is it ${version}?\n${output}")
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${patch_file})
  endforeach()
endfunction()

set(ms_missing "")
if(NOT MS_UNHARDENED_DEBIAN_LIBUDT)
  ms_third_party_folder(MS_UDT_SOURCE_DIR udt-4.11 src/udt.h)
  if(NOT MS_UDT_SOURCE_DIR_FOUND)
    string(APPEND ms_missing "\n  ${MS_UDT_SOURCE_DIR} (MS_UDT_SOURCE_DIR): UDT 4.11, the "
           "reliable channel's library, built with the patches in udt/patches")
  endif()
endif()
ms_third_party_folder(MS_MINIUPNPC_SOURCE_DIR miniupnpc-2.3.3 include/miniupnpc.h)
if(NOT MS_MINIUPNPC_SOURCE_DIR_FOUND)
  string(APPEND ms_missing "\n  ${MS_MINIUPNPC_SOURCE_DIR} (MS_MINIUPNPC_SOURCE_DIR): "
         "miniupnpc 2.3.3, the UPnP client that opens the module's ports in the home router")
endif()
# Only the Linux end-to-end tests run a router.
if(NOT WIN32 AND MS_BUILD_TESTS AND MS_BUILD_STANDIN)
  ms_third_party_folder(MS_MINIUPNPD_SOURCE_DIR miniupnpd-2.3.1 miniupnpd.c)
  if(NOT MS_MINIUPNPD_SOURCE_DIR_FOUND)
    string(APPEND ms_missing "\n  ${MS_MINIUPNPD_SOURCE_DIR} (MS_MINIUPNPD_SOURCE_DIR): "
           "miniupnpd 2.3.1, the home router's daemon in the router end-to-end tests")
  endif()
endif()
set(MS_THIRD_PARTY_DIR_BEFORE ${MS_THIRD_PARTY_DIR} CACHE INTERNAL "")
if(ms_missing)
  message(FATAL_ERROR "Third-party sources missing. Every build compiles them from "
                      "../shared/third_party beside the checkout (MS_THIRD_PARTY_DIR); "
                      "not found:${ms_missing}\nPut the folders there or name them with "
                      "-DMS_THIRD_PARTY_DIR=... or the variables above.")
endif()
