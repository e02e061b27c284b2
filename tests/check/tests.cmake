# The checker, run as pilots run it.
add_executable(check_tests ${CMAKE_CURRENT_LIST_DIR}/check_files_test.cpp)
target_link_libraries(check_tests PRIVATE GTest::gtest GTest::gtest_main)
target_compile_definitions(check_tests PRIVATE
  MULTISHARED_CHECK_PATH="$<TARGET_FILE:multishared-check>")
add_dependencies(check_tests multishared-check)
gtest_discover_tests(check_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
