target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/gauge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/module.cpp
)
