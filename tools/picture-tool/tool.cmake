add_executable(picture-tool ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(picture-tool PRIVATE stage_picture show_warnings)
