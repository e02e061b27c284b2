ms_unit_test(net_tests
  ${CMAKE_CURRENT_LIST_DIR}/wire_records_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/extension_names_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/extension_records_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pass_batch_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_talk_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ports_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_name_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/receive_messages_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hostile_input_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reliable_link_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_network_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/udt_pace_test.cpp)

# Only a UDT built here carries the patch that lets a non-blocking accept
# report "nothing pending" without throwing. Sanitizers intercept the runtime's
# throw themselves, so the count is taken in plain builds only.
if(TARGET udt AND NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
  ms_unit_test(quiet_accept_tests ${CMAKE_CURRENT_LIST_DIR}/quiet_accept_test.cpp)
  target_link_libraries(quiet_accept_tests PRIVATE ${CMAKE_DL_LIBS})
endif()
