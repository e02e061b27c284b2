# The demo monitor's matching of what travelled between two traces.
if(TARGET demo_monitor_trace)
  add_executable(demo_monitor_tests ${CMAKE_CURRENT_LIST_DIR}/demo_monitor_match_test.cpp)
  target_link_libraries(demo_monitor_tests PRIVATE demo_monitor_trace GTest::gtest
                        GTest::gtest_main)
  gtest_discover_tests(demo_monitor_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
endif()
