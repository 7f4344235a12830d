add_executable(show-headless ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(show-headless PRIVATE show_program stage_headless show_warnings)
