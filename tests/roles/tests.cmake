ms_unit_test(roles_tests
  ${CMAKE_CURRENT_LIST_DIR}/role_start_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/send_pass_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/role_loops_test.cpp)
target_include_directories(roles_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../net)
