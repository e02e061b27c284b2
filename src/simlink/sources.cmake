target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/close_follow.cpp
  ${CMAKE_CURRENT_LIST_DIR}/definitions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dispatch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/eased_values.cpp
  ${CMAKE_CURRENT_LIST_DIR}/easing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_event_relay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simconnect_health.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sim_data.cpp
)
