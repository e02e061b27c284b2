find_package(nlohmann_json 3 REQUIRED)

# The stand-in simulator in this process.
ms_unit_test(standin_tests
  ${CMAKE_CURRENT_LIST_DIR}/aircraft_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module_fixture_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/panel_services_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/record_reader_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/script_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/simconnect_test.cpp)
target_include_directories(standin_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})

# Module libraries that do nothing: one sound, one for each fault in the
# records that simhost must refuse.
foreach(variant sound gauge_list_pointer header_version late_image_flags)
  add_library(test_module_${variant} SHARED ${CMAKE_CURRENT_LIST_DIR}/test_module.cpp)
  string(TOUPPER ${variant} macro)
  target_compile_definitions(test_module_${variant} PRIVATE FAULT_${macro})
  set_target_properties(test_module_${variant} PROPERTIES CXX_VISIBILITY_PRESET hidden)
endforeach()

# simhost as a program, running the module library.
add_executable(simhost_tests ${CMAKE_CURRENT_LIST_DIR}/simhost_test.cpp)
target_include_directories(simhost_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(simhost_tests PRIVATE nlohmann_json::nlohmann_json GTest::gtest
                      GTest::gtest_main)
target_compile_definitions(simhost_tests PRIVATE SIMHOST_PATH="$<TARGET_FILE:simhost>"
                           MODULE_PATH="$<TARGET_FILE:MultiShared>"
                           TEST_MODULE_SOUND="$<TARGET_FILE:test_module_sound>"
                           TEST_MODULE_GAUGE_LIST_POINTER="$<TARGET_FILE:test_module_gauge_list_pointer>"
                           TEST_MODULE_HEADER_VERSION="$<TARGET_FILE:test_module_header_version>"
                           TEST_MODULE_LATE_IMAGE_FLAGS="$<TARGET_FILE:test_module_late_image_flags>")
add_dependencies(simhost_tests simhost MultiShared test_module_sound test_module_gauge_list_pointer
                 test_module_header_version test_module_late_image_flags)
gtest_discover_tests(simhost_tests PROPERTIES LABELS simhost DISCOVERY_TIMEOUT 60)
