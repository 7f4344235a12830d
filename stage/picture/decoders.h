#pragma once
// The per-format decoders behind DecodePicture, and what BMP and icon images share.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "stage/picture/byte_reader.h"
#include "stage/picture/picture.h"

namespace stage::picture_detail {

std::optional<DecodedPicture> DecodeGif(const std::uint8_t* data, std::size_t size);
std::optional<DecodedPicture> DecodeBmp(const std::uint8_t* data, std::size_t size);
std::optional<DecodedPicture> DecodeJpeg(const std::uint8_t* data, std::size_t size);
// format is IconFile or CursorFile.
std::optional<DecodedPicture> DecodeIcon(const std::uint8_t* data, std::size_t size,
                                         PictureFormat format);
// format is Pcx8 or Pcx1.
std::optional<DecodedPicture> DecodePcx(const std::uint8_t* data, std::size_t size,
                                        PictureFormat format);

inline bool FitsPixelLimit(std::int64_t width, std::int64_t height) {
  return width >= 0 && height >= 0 && (width == 0 || height <= kMaxPicturePixels / width);
}

// Bytes per row of a device-independent bitmap: rows are padded to a multiple of 4 bytes.
inline std::size_t DibStride(std::int64_t width, int bits) {
  return std::size_t((width * bits + 31) / 32 * 4);
}

// Reads the rows of an uncompressed device-independent bitmap of 1, 4, 8, 16 (5-5-5), 24 or 32
// bits per pixel whose first stored row starts at `offset`. Calls put(x, y, argb) for every
// pixel with y counted from the top; argb is 0xAARRGGBB, the alpha byte being the fourth byte
// of a 32-bit pixel and 0 for every other depth. Indices past the colour table give black.
// False if the data ends before the last row's pixels.
// Whether the rows of such a bitmap fit in the data. The last row needs only its pixels: some
// writers leave out its padding.
inline bool DibRowsFit(std::size_t size, std::size_t offset, std::int32_t width,
                       std::int32_t height, int bits) {
  if (height <= 0) return offset <= size;
  const std::size_t used = std::size_t((std::int64_t{width} * bits + 7) / 8);
  const std::size_t need = DibStride(width, bits) * std::size_t(height - 1) + used;
  return offset <= size && size - offset >= need;
}

template <class Put>
bool ReadDibRows(const std::uint8_t* data, std::size_t size, std::size_t offset, std::int32_t width,
                 std::int32_t height, bool top_down, int bits, const std::uint32_t* table,
                 std::size_t table_count, Put&& put) {
  if (!DibRowsFit(size, offset, width, height, bits)) return false;
  const std::size_t stride = DibStride(width, bits);
  for (std::int32_t stored = 0; stored < height; ++stored) {
    const std::uint8_t* row = data + offset + stride * std::size_t(stored);
    const std::int32_t y = top_down ? stored : height - 1 - stored;
    switch (bits) {
      case 1:
      case 4:
      case 8: {
        const int per_byte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        for (std::int32_t x = 0; x < width; ++x) {
          const int shift = 8 - bits * (x % per_byte + 1);
          const unsigned index = (row[x / per_byte] >> shift) & mask;
          put(x, y, index < table_count ? table[index] : 0u);
        }
        break;
      }
      case 16:
        for (std::int32_t x = 0; x < width; ++x) {
          const unsigned v = unsigned(row[2 * x]) | unsigned(row[2 * x + 1]) << 8;
          // Widen 5 bits to 8 by repeating the top bits, so 31 becomes 255.
          const auto widen = [](unsigned c) { return (c << 3) | (c >> 2); };
          put(x, y, widen((v >> 10) & 31) << 16 | widen((v >> 5) & 31) << 8 | widen(v & 31));
        }
        break;
      case 24:
        for (std::int32_t x = 0; x < width; ++x) {
          const std::uint8_t* p = row + 3 * std::size_t(x);
          put(x, y, std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0]);
        }
        break;
      case 32:
        for (std::int32_t x = 0; x < width; ++x) {
          const std::uint8_t* p = row + 4 * std::size_t(x);
          put(x, y,
              std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 |
                  p[0]);
        }
        break;
      default:
        return false;
    }
  }
  return true;
}

// Reads `count` colour-table entries of four bytes (blue, green, red, reserved) and keeps the
// first `capacity` of them as 0x00RRGGBB; a table longer than the pixels can index is legal.
inline bool ReadDibColorTable(ByteReader& reader, std::size_t count, std::uint32_t* out,
                              std::size_t capacity) {
  const std::uint8_t* p = reader.Take(count * 4);
  if (p == nullptr) return false;
  for (std::size_t i = 0; i < count && i < capacity; ++i, p += 4) {
    out[i] = std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
  }
  return true;
}

}  // namespace stage::picture_detail
