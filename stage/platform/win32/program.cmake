# The program on Windows: build/birthday-show.exe, one statically linked file with the media
# inside and the rose icon in its resources. Included by show/program.cmake on Windows.
set(win32_dir ${PROJECT_SOURCE_DIR}/stage/platform/win32)
set(show_icon ${PROJECT_SOURCE_DIR}/media/AppIcon.ico)
configure_file(${win32_dir}/birthday-show.rc.in ${CMAKE_CURRENT_BINARY_DIR}/birthday-show.rc @ONLY)
set_source_files_properties(${CMAKE_CURRENT_BINARY_DIR}/birthday-show.rc PROPERTIES
                            OBJECT_DEPENDS ${show_icon})

add_executable(birthday-show WIN32 ${PROJECT_SOURCE_DIR}/show/main_win32.cpp
                                   ${CMAKE_CURRENT_BINARY_DIR}/birthday-show.rc)
set_target_properties(birthday-show PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(birthday-show PRIVATE show_program stage_win32 show_warnings)
# The shipped file carries no debugging symbols.
target_link_options(birthday-show PRIVATE -s)

# The same program with hooks for the end-to-end tests (a fatal report on request); never
# shipped.
add_executable(birthday-show-test WIN32 ${PROJECT_SOURCE_DIR}/show/main_win32.cpp
                                        ${CMAKE_CURRENT_BINARY_DIR}/birthday-show.rc)
set_target_properties(birthday-show-test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_compile_definitions(birthday-show-test PRIVATE SHOW_TEST_HOOKS)
target_link_libraries(birthday-show-test PRIVATE show_program stage_win32 show_warnings)
