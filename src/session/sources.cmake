target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/role_finish.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_send.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_start.cpp
  ${CMAKE_CURRENT_LIST_DIR}/router_mapping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/session_config.cpp
)
