# On Windows the program is the native win32 one.
if(WIN32)
  include(${PROJECT_SOURCE_DIR}/stage/platform/win32/program.cmake)
  return()
endif()
# The program itself, on the desktop backend; it lands at build/birthday-show.
add_executable(birthday-show ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
set_target_properties(birthday-show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(birthday-show PRIVATE show_program stage_sdl show_warnings)
