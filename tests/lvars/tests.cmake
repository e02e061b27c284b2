ms_unit_test(lvars_tests
  ${CMAKE_CURRENT_LIST_DIR}/lvar_file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lvar_table_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fixed_variables_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lvar_poll_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/identifiers_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_compare_test.cpp)
