# The media generator: draws and encodes every picture and clip of media/ from code.
find_package(Freetype REQUIRED)
find_package(ZLIB REQUIRED)
find_library(MP3LAME_LIBRARY mp3lame REQUIRED)
find_path(MP3LAME_INCLUDE_DIR lame/lame.h REQUIRED)

add_executable(mediagen
  ${CMAKE_CURRENT_LIST_DIR}/main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/art.cpp
  ${CMAKE_CURRENT_LIST_DIR}/canvas.cpp
  ${CMAKE_CURRENT_LIST_DIR}/clips.cpp
  ${CMAKE_CURRENT_LIST_DIR}/gif_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/glyph.cpp
  ${CMAKE_CURRENT_LIST_DIR}/picture.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sheet.cpp)
target_include_directories(mediagen PRIVATE ${MP3LAME_INCLUDE_DIR})
target_link_libraries(mediagen PRIVATE show_warnings Freetype::Freetype ZLIB::ZLIB ${MP3LAME_LIBRARY})
# The pictures must come out the same on every machine: no fused or reordered float maths.
target_compile_options(mediagen PRIVATE -ffp-contract=off)
