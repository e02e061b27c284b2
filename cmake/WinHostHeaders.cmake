# The header-only libraries of the build machine that the Windows stand-in
# uses (Debian's nlohmann-json3-dev and libcli11-dev), copied into a folder of
# their own: pointing the cross compiler at the host's whole include folder
# would put the host's C library headers before MinGW's.
find_path(MS_HOST_JSON_INCLUDE_DIR NAMES nlohmann/json.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
find_path(MS_HOST_CLI11_INCLUDE_DIR NAMES CLI/CLI.hpp NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(ms_host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(COPY ${MS_HOST_JSON_INCLUDE_DIR}/nlohmann DESTINATION ${ms_host_headers})
file(COPY ${MS_HOST_CLI11_INCLUDE_DIR}/CLI DESTINATION ${ms_host_headers})
foreach(library nlohmann_json::nlohmann_json CLI11::CLI11)
  add_library(${library} INTERFACE IMPORTED)
  target_include_directories(${library} SYSTEM INTERFACE ${ms_host_headers})
endforeach()
