target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/server_game.cpp
  ${CMAKE_CURRENT_LIST_DIR}/server_loops.cpp
)
