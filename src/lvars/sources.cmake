target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/entry_ops.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fixed_ids.cpp
  ${CMAKE_CURRENT_LIST_DIR}/fixed_variables.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lvar_file.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lvar_table.cpp
  ${CMAKE_CURRENT_LIST_DIR}/table_compare.cpp
)
