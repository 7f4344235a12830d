#include <cstring>

#include "stage/picture/picture.h"

namespace stage {

PictureFormat DetectPictureFormat(const std::uint8_t* bytes, std::int32_t length) {
  if (bytes == nullptr || length < 6) return PictureFormat::None;
  const auto word = [bytes](int at) { return unsigned(bytes[at]) | unsigned(bytes[at + 1]) << 8; };
  if (bytes[0] == 'B' && bytes[1] == 'M') return PictureFormat::Bmp;
  if (bytes[0] == 0xFF && bytes[1] == 0xD8) return PictureFormat::Jpeg;
  const bool has_images = word(4) > 0;
  if (word(0) == 0 && word(2) == 1 && has_images) return PictureFormat::IconFile;
  if (word(0) == 0 && word(2) == 2 && has_images) return PictureFormat::CursorFile;
  if (std::memcmp(bytes, "GIF87a", 6) == 0 || std::memcmp(bytes, "GIF89a", 6) == 0) {
    return PictureFormat::Gif;
  }
  if (bytes[0] == 10 && bytes[1] <= 5 && bytes[2] == 1 && bytes[3] == 8) return PictureFormat::Pcx8;
  if (bytes[0] == 10 && bytes[1] == 3 && bytes[2] == 1 && bytes[3] == 1) return PictureFormat::Pcx1;
  return PictureFormat::None;
}

}  // namespace stage
