target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/client_network.cpp
  ${CMAKE_CURRENT_LIST_DIR}/converge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/correction_log.cpp
  ${CMAKE_CURRENT_LIST_DIR}/datagram_socket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/extension_records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/extension_names.cpp
  ${CMAKE_CURRENT_LIST_DIR}/format_number.cpp
  ${CMAKE_CURRENT_LIST_DIR}/owner_rule.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_address.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_filter.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_lookup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/peer_talk.cpp
  ${CMAKE_CURRENT_LIST_DIR}/receive_messages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reliable_link.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_sends.cpp
  ${CMAKE_CURRENT_LIST_DIR}/router_port_list.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send_rules.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_network.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wire_records.cpp
)
# Without miniupnpc's source the router is never asked and the log says why.
if(MS_WITH_UPNP)
  target_sources(multishared_objects PRIVATE ${CMAKE_CURRENT_LIST_DIR}/router_ports.cpp)
else()
  target_sources(multishared_objects PRIVATE ${CMAKE_CURRENT_LIST_DIR}/router_ports_absent.cpp)
endif()
