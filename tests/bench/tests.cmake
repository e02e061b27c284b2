# The end-to-end suite's own arithmetic and its offline follower.
if(TARGET ms_e2e_bench)
  ms_unit_test(bench_tests
    ${CMAKE_CURRENT_LIST_DIR}/suite_figures_test.cpp
    ${PROJECT_SOURCE_DIR}/bench/bench_module.cpp
    ${PROJECT_SOURCE_DIR}/bench/e2e/follower_lag.cpp
    ${PROJECT_SOURCE_DIR}/bench/e2e/stats.cpp)
  target_link_libraries(bench_tests PRIVATE demo_monitor_trace nlohmann_json::nlohmann_json)
  target_include_directories(bench_tests PRIVATE
    ${PROJECT_SOURCE_DIR}/bench ${PROJECT_SOURCE_DIR}/bench/e2e)
endif()
