target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/globals.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gauge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module.cpp
  ${CMAKE_CURRENT_LIST_DIR}/panel_services.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shared_state.cpp
)
