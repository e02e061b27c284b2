find_package(nlohmann_json 3 REQUIRED)

# The stand-in simulator in this process.
ms_unit_test(standin_tests
  ${CMAKE_CURRENT_LIST_DIR}/aircraft_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module_fixture_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/panel_services_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simconnect_test.cpp)
target_include_directories(standin_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})

# simhost as a program, running the module library.
add_executable(simhost_tests ${CMAKE_CURRENT_LIST_DIR}/simhost_test.cpp)
target_include_directories(simhost_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(simhost_tests PRIVATE nlohmann_json::nlohmann_json GTest::gtest
                      GTest::gtest_main)
target_compile_definitions(simhost_tests PRIVATE SIMHOST_PATH="$<TARGET_FILE:simhost>"
                           MODULE_PATH="$<TARGET_FILE:MultiShared>")
add_dependencies(simhost_tests simhost MultiShared)
gtest_discover_tests(simhost_tests PROPERTIES LABELS simhost DISCOVERY_TIMEOUT 60)
