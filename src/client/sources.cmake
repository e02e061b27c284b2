target_sources(multishared_objects PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/client_game.cpp
  ${CMAKE_CURRENT_LIST_DIR}/client_loops.cpp
)
