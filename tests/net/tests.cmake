ms_unit_test(net_tests
  ${CMAKE_CURRENT_LIST_DIR}/wire_records_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ports_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_name_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/receive_messages_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hostile_input_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reliable_link_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_network_test.cpp)
