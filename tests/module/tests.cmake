ms_unit_test(module_tests
  ${CMAKE_CURRENT_LIST_DIR}/module_records_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/element_routines_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gauge_callback_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/log_test.cpp)
