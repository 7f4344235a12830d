// PCX, run-length encoded, one plane of 8 bits (with the 256-colour table after the pixels)
// or of 1 bit. An 8-bit file without that table is shown in shades of grey.

#include <algorithm>

#include "stage/picture/decoders.h"

namespace stage::picture_detail {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::uint8_t kPaletteMarker = 12;
constexpr std::size_t kPaletteSize = 768;

// Expands the run-length stream: a byte above 192 repeats the next byte (byte - 192) times,
// any other byte stands for itself. Runs may cross the end of a line.
class RunReader {
 public:
  RunReader(const std::uint8_t* data, std::size_t size, std::size_t pos)
      : data_(data), size_(size), pos_(pos) {}

  // Fills `n` bytes; false if the data ends first.
  bool Read(std::uint8_t* out, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
      if (run_ == 0) {
        if (pos_ >= size_) return false;
        const std::uint8_t b = data_[pos_++];
        if (b > 192) {
          if (pos_ >= size_) return false;
          run_ = b - 192u;
          value_ = data_[pos_++];
        } else {
          run_ = 1;
          value_ = b;
        }
      }
      const std::size_t take = run_ < n - done ? run_ : n - done;
      for (std::size_t i = 0; i < take; ++i) out[done + i] = value_;
      done += take;
      run_ -= take;
    }
    return true;
  }
  std::size_t position() const { return pos_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_;
  std::size_t run_ = 0;
  std::uint8_t value_ = 0;
};

void ReadPalette(const std::uint8_t* p, std::array<std::uint32_t, 256>& colors) {
  for (std::size_t i = 0; i < 256; ++i, p += 3) {
    colors[i] = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
  }
}

}  // namespace

std::optional<DecodedPicture> DecodePcx(const std::uint8_t* data, std::size_t size,
                                        PictureFormat format) {
  if (size <= kHeaderSize) return std::nullopt;
  ByteReader r(data, size);
  const std::uint8_t manufacturer = r.U8();
  const std::uint8_t version = r.U8();
  const std::uint8_t encoding = r.U8();
  const std::uint8_t bits = r.U8();
  const std::int32_t x_min = r.I16();
  const std::int32_t y_min = r.I16();
  const std::int32_t x_max = r.I16();
  const std::int32_t y_max = r.I16();
  r.Seek(65);
  const std::uint8_t planes = r.U8();
  const std::size_t bytes_per_line = r.U16();
  if (manufacturer != 10 || version > 5 || encoding != 1) return std::nullopt;
  if (x_min > x_max || y_min > y_max) return std::nullopt;
  const std::int32_t width = x_max - x_min + 1;
  const std::int32_t height = y_max - y_min + 1;
  const int want_bits = format == PictureFormat::Pcx8 ? 8 : 1;
  if (bits != want_bits || planes != 1) return std::nullopt;
  if (bytes_per_line < (std::size_t(width) * bits + 7) / 8) return std::nullopt;
  if (!FitsPixelLimit(width, height)) return std::nullopt;
  // Two bytes expand to at most 63: a stream too short for the picture is refused up front.
  if (bytes_per_line * std::size_t(height) / 63 > size - kHeaderSize) return std::nullopt;

  RunReader runs(data, size, kHeaderSize);
  if (format == PictureFormat::Pcx1) {
    BitImage image;
    image.width = width;
    image.height = height;
    image.stride = std::int32_t(bytes_per_line);
    image.bits.resize(bytes_per_line * std::size_t(height));
    if (!runs.Read(image.bits.data(), image.bits.size())) return std::nullopt;
    return DecodedPicture(format, width, height, std::move(image));
  }

  IndexedImage image;
  image.width = width;
  image.height = height;
  image.stride = std::int32_t((width + 3) & ~3);
  image.rows.resize(std::size_t(image.stride) * std::size_t(height));
  std::vector<std::uint8_t> line(bytes_per_line);
  for (std::int32_t y = 0; y < height; ++y) {
    if (!runs.Read(line.data(), line.size())) return std::nullopt;
    std::copy(line.begin(), line.begin() + width,
              image.rows.begin() + std::ptrdiff_t(y) * image.stride);
  }
  const std::size_t end = runs.position();
  if (end < size && data[end] == kPaletteMarker && size - end - 1 >= kPaletteSize) {
    ReadPalette(data + end + 1, image.colors);
  } else if (size - end > kPaletteSize && data[size - kPaletteSize - 1] == kPaletteMarker) {
    // Some writers leave bytes between the pixels and the table; it still ends the file.
    ReadPalette(data + size - kPaletteSize, image.colors);
  } else {
    for (std::uint32_t i = 0; i < 256; ++i) image.colors[i] = i << 16 | i << 8 | i;
  }
  return DecodedPicture(format, width, height, std::move(image));
}

}  // namespace stage::picture_detail
