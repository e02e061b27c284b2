ms_unit_test(session_tests ${CMAKE_CURRENT_LIST_DIR}/config_file_test.cpp)
