target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/config_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log_limit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/panel_services.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shared_state.cpp
  ${CMAKE_CURRENT_LIST_DIR}/text_lines.cpp
)
