# End-to-end tests: two simhost processes in two network namespaces. They
# need root; otherwise every test reports itself skipped and why.
if(TARGET simhost AND TARGET MultiShared)
  add_executable(e2e_tests
    ${CMAKE_CURRENT_LIST_DIR}/process.cpp
    ${CMAKE_CURRENT_LIST_DIR}/netns_pair.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shared_flight.cpp
    ${CMAKE_CURRENT_LIST_DIR}/netns_pair_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flight_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cockpit_sync_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/master_toggle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lone_client_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reconnect_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/link_check_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/link_faults_test.cpp)
  target_link_libraries(e2e_tests PRIVATE demo_monitor_trace GTest::gtest GTest::gtest_main)
  target_include_directories(e2e_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(e2e_tests PRIVATE
    SIMHOST_PATH="$<TARGET_FILE:simhost>"
    MODULE_PATH="$<TARGET_FILE:MultiShared>"
    MULTISHARED_CHECK_PATH="$<TARGET_FILE:multishared-check>"
    STRANGER_PATH="$<TARGET_FILE:e2e_stranger>")
  # A sender on the link that is not the peer (link_faults_test.cpp).
  add_executable(e2e_stranger ${CMAKE_CURRENT_LIST_DIR}/stranger_main.cpp)
  target_link_libraries(e2e_stranger PRIVATE multishared_core)
  # The tests run the programs, so building them builds those too.
  add_dependencies(e2e_tests simhost MultiShared multishared-check e2e_stranger)
  gtest_discover_tests(e2e_tests PROPERTIES LABELS e2e TIMEOUT 180 DISCOVERY_TIMEOUT 60)
endif()
