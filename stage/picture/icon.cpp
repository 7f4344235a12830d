// Windows icon and cursor files: a directory of images, of which one is chosen and decoded as
// a device-independent bitmap followed by its AND mask. PNG-compressed entries are refused.

#include <cstring>

#include "stage/picture/decoders.h"

namespace stage::picture_detail {
namespace {

constexpr std::size_t kEntrySize = 16;

// The first 32-pixel-wide entry with at least 16 colours, else the last entry.
std::size_t ChooseEntry(const std::uint8_t* directory, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* entry = directory + i * kEntrySize;
    if (entry[0] == 32 && entry[2] >= 16) return i;
  }
  return count - 1;
}

std::optional<IconImage> DecodeIconImage(const std::uint8_t* data, std::size_t size) {
  if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return std::nullopt;
  ByteReader r(data, size);
  const std::uint32_t header_size = r.U32();
  const std::int32_t width = r.I32();
  const std::int32_t stored_height = r.I32();  // colour image and mask together
  r.Skip(2);                                   // planes
  const int bits = r.U16();
  const std::uint32_t compression = r.U32();
  r.Skip(12);  // image size and resolution
  const std::uint32_t colors_used = r.U32();
  if (r.failed() || header_size < 40 || compression != 0) return std::nullopt;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    return std::nullopt;
  }
  const std::int32_t height = stored_height / 2;
  if (width <= 0 || height <= 0 || !FitsPixelLimit(width, height)) return std::nullopt;

  if (!r.Seek(header_size)) return std::nullopt;
  std::uint32_t table[256] = {};
  std::size_t table_count = 0;
  if (bits <= 8) {
    const std::size_t entries = colors_used != 0 ? colors_used : std::size_t{1} << bits;
    if (!ReadDibColorTable(r, entries, table, 256)) return std::nullopt;
    table_count = entries < 256 ? entries : 256;
  }
  const std::size_t color_offset = r.position();
  const std::size_t mask_offset = color_offset + DibStride(width, bits) * std::size_t(height);
  if (!DibRowsFit(size, color_offset, width, height, bits) ||
      !DibRowsFit(size, mask_offset, width, height, 1)) {
    return std::nullopt;
  }

  IconImage icon;
  icon.width = width;
  icon.height = height;
  const std::size_t count = std::size_t(width) * std::size_t(height);
  icon.pixels.resize(count);
  icon.mask.resize(count);
  bool any_alpha = false;
  std::uint32_t* pixels = icon.pixels.data();
  ReadDibRows(data, size, color_offset, width, height, false, bits, table, table_count,
              [&](std::int32_t x, std::int32_t y, std::uint32_t argb) {
                pixels[std::size_t(y) * std::size_t(width) + x] = argb;
                any_alpha |= (argb >> 24) != 0;
              });
  std::uint8_t* mask = icon.mask.data();
  const std::uint32_t mask_table[2] = {0, 1};
  ReadDibRows(data, size, mask_offset, width, height, false, 1, mask_table, 2,
              [mask, width](std::int32_t x, std::int32_t y, std::uint32_t bit) {
                mask[std::size_t(y) * std::size_t(width) + x] = std::uint8_t(bit);
              });
  // A 32-bit image whose alpha is all zero predates alpha; otherwise alpha 0 is see-through.
  for (std::size_t i = 0; i < count; ++i) {
    if (any_alpha && (pixels[i] >> 24) == 0) mask[i] = 1;
    pixels[i] &= 0x00FFFFFF;
  }
  return icon;
}

}  // namespace

std::optional<DecodedPicture> DecodeIcon(const std::uint8_t* data, std::size_t size,
                                         PictureFormat format) {
  ByteReader r(data, size);
  r.Skip(4);
  const std::size_t count = r.U16();
  const std::uint8_t* directory = r.Take(count * kEntrySize);
  if (count == 0 || directory == nullptr) return std::nullopt;
  const std::uint8_t* entry = directory + ChooseEntry(directory, count) * kEntrySize;
  ByteReader fields(entry, kEntrySize);
  fields.Seek(8);
  const std::size_t image_size = fields.U32();
  const std::size_t image_offset = fields.U32();
  if (image_offset > size || size - image_offset < image_size) return std::nullopt;
  std::optional<IconImage> icon = DecodeIconImage(data + image_offset, image_size);
  if (!icon) return std::nullopt;
  const std::int32_t width = icon->width;
  const std::int32_t height = icon->height;
  return DecodedPicture(format, width, height, std::move(*icon));
}

}  // namespace stage::picture_detail
