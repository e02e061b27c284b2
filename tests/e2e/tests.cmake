# End-to-end tests: two simhost processes in two network namespaces. They
# need root; otherwise every test reports itself skipped and why.
if(TARGET simhost AND TARGET MultiShared)
  add_library(e2e_harness STATIC
    ${CMAKE_CURRENT_LIST_DIR}/process.cpp
    ${CMAKE_CURRENT_LIST_DIR}/netns_pair.cpp
    ${CMAKE_CURRENT_LIST_DIR}/shared_flight.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wine_prefixes.cpp)
  target_link_libraries(e2e_harness PUBLIC demo_monitor_trace GTest::gtest)
  target_include_directories(e2e_harness PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_compile_definitions(e2e_harness PRIVATE
    SIMHOST_PATH="$<TARGET_FILE:simhost>"
    MODULE_PATH="$<TARGET_FILE:MultiShared>")

  add_executable(e2e_tests
    ${CMAKE_CURRENT_LIST_DIR}/netns_pair_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/flight_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/close_follow_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cockpit_sync_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/convergence_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/owner_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/thin_uplink_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/master_toggle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/lone_client_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reconnect_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/link_check_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/link_faults_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/receive_load_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/peer_traffic_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/platform_truths_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/router_test.cpp)
  # Only a UDT built here carries the patches that refuse crafted handshakes.
  if(TARGET udt)
    target_sources(e2e_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/hostile_handshake_test.cpp)
  endif()
  target_link_libraries(e2e_tests PRIVATE e2e_harness GTest::gtest_main)
  target_compile_definitions(e2e_tests PRIVATE
    MULTISHARED_CHECK_PATH="$<TARGET_FILE:multishared-check>"
    STRANGER_PATH="$<TARGET_FILE:e2e_stranger>"
    DATAGRAMS_PATH="$<TARGET_FILE:e2e_datagrams>"
    HANDSHAKE_PATH="$<TARGET_FILE:e2e_handshake>"
    HOSTILE_ROUTER_PATH="$<TARGET_FILE:e2e_hostile_router>")
  # A sender on the link that is not the peer (link_faults_test.cpp).
  add_executable(e2e_stranger ${CMAKE_CURRENT_LIST_DIR}/stranger_main.cpp)
  target_link_libraries(e2e_stranger PRIVATE multishared_core)
  # Paced datagram loads on the receive thread (receive_load_test.cpp).
  add_executable(e2e_datagrams ${CMAKE_CURRENT_LIST_DIR}/datagram_sender_main.cpp)
  target_link_libraries(e2e_datagrams PRIVATE multishared_core)
  # Crafted reliable-channel handshakes (hostile_handshake_test.cpp).
  add_executable(e2e_handshake ${CMAKE_CURRENT_LIST_DIR}/handshake_main.cpp)
  # A device on the home network that answers UPnP slowly or hugely (router_test.cpp).
  add_executable(e2e_hostile_router ${CMAKE_CURRENT_LIST_DIR}/hostile_router_main.cpp)
  target_link_libraries(e2e_hostile_router PRIVATE Threads::Threads)
  # The tests run the programs, so building them builds those too.
  add_dependencies(e2e_tests simhost MultiShared multishared-check e2e_stranger e2e_datagrams
                   e2e_handshake e2e_hostile_router)
  # The home router's UPnP daemon, built from its source folder (found by
  # cmake/ThirdParty.cmake) with our one-line patch (router_test.cpp).
  set(ms_miniupnpd ${CMAKE_BINARY_DIR}/miniupnpd/miniupnpd)
  add_custom_command(
    OUTPUT ${ms_miniupnpd}
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-miniupnpd.sh ${MS_MINIUPNPD_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/miniupnpd
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/build-miniupnpd.sh
            ${CMAKE_CURRENT_LIST_DIR}/router/test-wan-address.patch
    COMMENT "Test router daemon miniupnpd"
    VERBATIM)
  add_custom_target(test_miniupnpd DEPENDS ${ms_miniupnpd})
  add_dependencies(e2e_tests test_miniupnpd)
  target_compile_definitions(e2e_tests PRIVATE MINIUPNPD_PATH="${ms_miniupnpd}")
  gtest_discover_tests(e2e_tests PROPERTIES LABELS e2e TIMEOUT 180 DISCOVERY_TIMEOUT 60)

  # The same harness drives the Windows build of the stand-in and the module
  # under wine64. They come from the 64-bit Windows build folder (preset
  # mingw64-tests); without it, or without wine64, the test says it skipped.
  set(MS_WINE_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/mingw64-tests CACHE PATH
      "Build folder of the 64-bit Windows stand-in and module")
  find_program(MS_WINE64 NAMES wine64 wine HINTS /usr/lib/wine)
  set(ms_wine_program "")
  if(MS_WINE64)
    set(ms_wine_program ${MS_WINE64})
  endif()
  add_library(wine_harness STATIC
    ${CMAKE_CURRENT_LIST_DIR}/wine_flight.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wine_cockpit_scenario.cpp)
  target_link_libraries(wine_harness PUBLIC e2e_harness)
  target_compile_definitions(wine_harness PRIVATE
    WINE_PROGRAM="${ms_wine_program}"
    WINDOWS_SIM_DIR="${MS_WINE_BUILD_DIR}/sim"
    WINDOWS_MODULE_PATH="${MS_WINE_BUILD_DIR}/sim/Gauges/MultiShared.dll"
    WINE_PREFIX_ROOT="${CMAKE_BINARY_DIR}/wine-e2e")
  add_executable(wine_e2e_tests ${CMAKE_CURRENT_LIST_DIR}/wine_flight_test.cpp)
  target_link_libraries(wine_e2e_tests PRIVATE wine_harness GTest::gtest_main)
  gtest_discover_tests(wine_e2e_tests PROPERTIES LABELS wine TIMEOUT 600 DISCOVERY_TIMEOUT 60)

  # The pilots' 32-bit package from the mingw32 build and the 32-bit stand-in
  # from mingw32-standin, run in the emulated 32-bit Windows of
  # scripts/win32-env.sh; without any of them the tests say what they skip.
  set(MS_WIN32_BUILD_DIR ${PROJECT_SOURCE_DIR}/build/mingw32 CACHE PATH
      "Build folder of the pilots' 32-bit package")
  set(MS_WIN32_STANDIN_DIR ${PROJECT_SOURCE_DIR}/build/mingw32-standin CACHE PATH
      "Build folder of the 32-bit Windows stand-in")
  set(ms_win32_package_name MultiShared-${PROJECT_VERSION}-win32)
  # MinGW's shared exception runtime, as another add-on would bring it.
  find_program(MS_MINGW32_CXX i686-w64-mingw32-g++-posix)
  set(ms_mingw32_libgcc libgcc_s_dw2-1.dll)
  set(ms_mingw32_winpthread libwinpthread-1.dll)
  if(MS_MINGW32_CXX)
    foreach(dll ms_mingw32_libgcc ms_mingw32_winpthread)
      execute_process(COMMAND ${MS_MINGW32_CXX} -print-file-name=${${dll}}
                      OUTPUT_VARIABLE ${dll} OUTPUT_STRIP_TRAILING_WHITESPACE)
    endforeach()
  endif()
  add_executable(win32_e2e_tests ${CMAKE_CURRENT_LIST_DIR}/win32_flight_test.cpp)
  target_link_libraries(win32_e2e_tests PRIVATE wine_harness GTest::gtest_main)
  target_compile_definitions(win32_e2e_tests PRIVATE
    WIN32_ENV_SCRIPT="${PROJECT_SOURCE_DIR}/scripts/win32-env.sh"
    WIN32_PACKAGE="${MS_WIN32_BUILD_DIR}/package/${ms_win32_package_name}.zip"
    WIN32_PACKAGE_NAME="${ms_win32_package_name}"
    WIN32_STANDIN_DIR="${MS_WIN32_STANDIN_DIR}/sim"
    WIN32_WORK_DIR="${CMAKE_BINARY_DIR}/wine32-e2e"
    CMAKE_COMMAND_PATH="${CMAKE_COMMAND}"
    WIN32_SHARED_LIBGCC="${ms_mingw32_libgcc}"
    WIN32_SHARED_WINPTHREAD="${ms_mingw32_winpthread}")
  gtest_discover_tests(win32_e2e_tests PROPERTIES LABELS wine32 TIMEOUT 900 DISCOVERY_TIMEOUT 60)
endif()
