// picture-tool decode IN OUT.ppm: decodes a picture file with the stage's decoder and writes
// its screen bitmap as a binary PPM. Icons and cursors are written over white, which is how
// the picture buttons show them.

#include <cstdio>
#include <cstring>
#include <string>

#include "stage/picture/picture.h"

namespace {

const char* FormatName(stage::PictureFormat format) {
  switch (format) {
    case stage::PictureFormat::Jpeg:
      return "jpeg";
    case stage::PictureFormat::Bmp:
      return "bmp";
    case stage::PictureFormat::IconFile:
      return "icon";
    case stage::PictureFormat::CursorFile:
      return "cursor";
    case stage::PictureFormat::Gif:
      return "gif";
    case stage::PictureFormat::Pcx8:
      return "pcx8";
    case stage::PictureFormat::Pcx1:
      return "pcx1";
    case stage::PictureFormat::None:
      break;
  }
  return "none";
}

bool WritePpm(const stage::ScreenBitmap& bitmap, const char* path) {
  std::FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", bitmap.width, bitmap.height);
  std::string row(std::size_t(bitmap.width) * 3, '\0');
  for (std::int32_t y = 0; y < bitmap.height; ++y) {
    for (std::int32_t x = 0; x < bitmap.width; ++x) {
      const std::size_t i = std::size_t(y) * std::size_t(bitmap.width) + std::size_t(x);
      std::uint32_t pixel = bitmap.pixels[i];
      if (!bitmap.mask.empty() && bitmap.mask[i] != 0) pixel = 0x00FFFFFF;
      row[3 * std::size_t(x)] = char(pixel >> 16);
      row[3 * std::size_t(x) + 1] = char(pixel >> 8);
      row[3 * std::size_t(x) + 2] = char(pixel);
    }
    std::fwrite(row.data(), 1, row.size(), file);
  }
  const bool ok = !std::ferror(file);
  return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || std::strcmp(argv[1], "decode") != 0) {
    std::fprintf(stderr, "usage: picture-tool decode IN OUT.ppm\n");
    return 2;
  }
  const char* in = argv[2];
  const char* out = argv[3];
  std::FILE* file = std::fopen(in, "rb");
  if (file == nullptr) {
    std::fprintf(stderr, "picture-tool: cannot read %s\n", in);
    return 1;
  }
  std::uint8_t head[6] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, file);
  std::fclose(file);
  const stage::PictureFormat format = stage::DetectPictureFormat(head, std::int32_t(got));
  if (format == stage::PictureFormat::None) {
    std::fprintf(stderr, "picture-tool: %s is not a recognised picture file\n", in);
    return 1;
  }
  const std::optional<stage::DecodedPicture> picture = stage::DecodePictureFile(in);
  if (!picture) {
    std::fprintf(stderr, "picture-tool: %s is a %s file that does not decode\n", in,
                 FormatName(format));
    return 1;
  }
  if (!WritePpm(stage::MakeScreenBitmap(*picture), out)) {
    std::fprintf(stderr, "picture-tool: cannot write %s\n", out);
    return 1;
  }
  std::printf("%s %d %d\n", FormatName(picture->format()), picture->width(), picture->height());
  return 0;
}
