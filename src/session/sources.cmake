target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/config_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/converge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/correction_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log_limit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_lookup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_finish.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_send.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_start.cpp
  ${CMAKE_CURRENT_LIST_DIR}/router_mapping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session_config.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stoppable_thread.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_lines.cpp
)
