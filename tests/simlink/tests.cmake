ms_unit_test(simlink_tests
  ${CMAKE_CURRENT_LIST_DIR}/close_follow_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/data_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/easing_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/events_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/key_event_relay_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simconnect_link_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simconnect_end_test.cpp)
