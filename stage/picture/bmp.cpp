// Uncompressed Windows bitmaps of 1, 4, 8, 24 and 32 bits per pixel, bottom-up or (negative
// height) top-down. Run-length and bit-field compression and 16-bit pixels are refused.

#include <climits>

#include "stage/picture/decoders.h"

namespace stage::picture_detail {

std::optional<DecodedPicture> DecodeBmp(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeadersSize = 54;  // file header and the classic information header
  if (size < kHeadersSize) return std::nullopt;
  ByteReader r(data, size);
  r.Seek(10);
  const std::uint32_t pixel_offset = r.U32();
  const std::uint32_t info_size = r.U32();
  const std::int32_t width = r.I32();
  const std::int32_t stored_height = r.I32();
  r.Skip(2);  // planes
  const int bits = r.U16();
  const std::uint32_t compression = r.U32();
  r.Skip(12);  // image size and resolution
  const std::uint32_t colors_used = r.U32();
  r.Seek(kHeadersSize);

  if (compression != 0) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return std::nullopt;
  if (width <= 0 || stored_height == 0 || stored_height == INT_MIN) return std::nullopt;
  const bool top_down = stored_height < 0;
  const std::int32_t height = top_down ? -stored_height : stored_height;
  if (!FitsPixelLimit(width, height)) return std::nullopt;

  std::uint32_t table[256] = {};
  std::size_t table_count = 0;
  if (bits <= 8) {
    // Newer information headers (V4, V5) are longer; their colour table follows them, not the
    // first 40 bytes.
    if (info_size > 40 && !r.Seek(14 + std::size_t(info_size))) return std::nullopt;
    const std::size_t entries = colors_used != 0 ? colors_used : std::size_t{1} << bits;
    if (!ReadDibColorTable(r, entries, table, 256)) return std::nullopt;
    table_count = entries < 256 ? entries : 256;
  }
  if (pixel_offset < r.position()) return std::nullopt;
  if (!DibRowsFit(size, pixel_offset, width, height, bits)) return std::nullopt;

  RgbImage image;
  image.width = width;
  image.height = height;
  image.rgb.resize(std::size_t(width) * std::size_t(height) * 3);
  std::uint8_t* out = image.rgb.data();
  const bool complete =
      ReadDibRows(data, size, pixel_offset, width, height, top_down, bits, table, table_count,
                  [out, width](std::int32_t x, std::int32_t y, std::uint32_t argb) {
                    std::uint8_t* p = out + (std::size_t(y) * std::size_t(width) + x) * 3;
                    p[0] = std::uint8_t(argb >> 16);
                    p[1] = std::uint8_t(argb >> 8);
                    p[2] = std::uint8_t(argb);
                  });
  if (!complete) return std::nullopt;
  return DecodedPicture(PictureFormat::Bmp, width, height, std::move(image));
}

}  // namespace stage::picture_detail
