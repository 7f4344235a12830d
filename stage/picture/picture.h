#pragma once
// Picture decoding: recognises a picture file by its first six bytes and decodes BMP, JPEG,
// Windows icon and cursor, GIF and PCX files into an immutable DecodedPicture, which
// MakeScreenBitmap turns into the compositor's pixel format.
//
// Every decoder reads through a bounded reader: no byte outside the given range is ever read,
// and any malformed input ends in "no picture" (std::nullopt), never a crash, an exception or
// a message. Pictures of more than kMaxPicturePixels pixels are refused so that a few bytes
// claiming a huge size cannot make the decoder allocate gigabytes.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace stage {

enum class PictureFormat {
  None = 0,
  Jpeg = 1,
  Bmp = 2,
  IconFile = 3,
  CursorFile = 4,
  Gif = 5,
  Pcx8 = 6,
  Pcx1 = 7,
};

// The largest picture, logical GIF screens included, that any decoder accepts (8192 x 8192).
inline constexpr std::int64_t kMaxPicturePixels = std::int64_t{1} << 26;

// Jpeg, Bmp: red, green, blue bytes per pixel, rows top-down, no padding.
struct RgbImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> rgb;
};

// Gif, Pcx8: one index byte per pixel, rows top-down, each row padded to a multiple of 4 bytes
// (like an 8-bit device-independent bitmap). `colors` holds 256 entries as 0x00RRGGBB, which
// is blue, green, red, 0 in memory on a little-endian machine; entries the file does not
// supply are black.
struct IndexedImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stride = 0;  // bytes per row
  std::array<std::uint32_t, 256> colors{};
  std::vector<std::uint8_t> rows;  // at least stride * height bytes
};

// Pcx1: one bit per pixel, most significant bit first, 0 black and 1 white, rows top-down.
struct BitImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t stride = 0;  // bytes per row
  std::vector<std::uint8_t> bits;
};

// IconFile, CursorFile: the chosen directory entry's image, 0x00RRGGBB per pixel, rows
// top-down, with one mask byte per pixel: 1 where the screen shows through.
struct IconImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint8_t> mask;
};

// A decoded picture never changes once it is made.
class DecodedPicture {
 public:
  using Pixels = std::variant<RgbImage, IndexedImage, BitImage, IconImage>;

  // width and height are the picture's size: for a GIF the logical screen's, which may differ
  // from the size of the IndexedImage (the GIF's first image).
  DecodedPicture(PictureFormat format, std::int32_t width, std::int32_t height, Pixels pixels)
      : format_(format), width_(width), height_(height), pixels_(std::move(pixels)) {}

  PictureFormat format() const { return format_; }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }

  // Exactly one of these is non-null, according to the format.
  const RgbImage* rgb() const { return std::get_if<RgbImage>(&pixels_); }
  const IndexedImage* indexed() const { return std::get_if<IndexedImage>(&pixels_); }
  const BitImage* bits() const { return std::get_if<BitImage>(&pixels_); }
  const IconImage* icon() const { return std::get_if<IconImage>(&pixels_); }

 private:
  PictureFormat format_;
  std::int32_t width_;
  std::int32_t height_;
  Pixels pixels_;
};

// Reads at most the first six bytes; fewer than six give None.
PictureFormat DetectPictureFormat(const std::uint8_t* bytes, std::int32_t length);

// The picture, returned by value and owning its pixel block; std::nullopt (no picture) for a
// length of 0 or less, an unrecognised format and every decoding failure.
std::optional<DecodedPicture> DecodePicture(const std::uint8_t* bytes, std::int32_t length);

// Reads the named file whole and decodes it; no picture if it cannot be read.
std::optional<DecodedPicture> DecodePictureFile(const std::filesystem::path& path);

// The compositor's pixel format: 0x00RRGGBB per pixel, rows top-down, no padding. `mask` is
// empty except for icons and cursors, where it holds one byte per pixel, 1 where the screen
// shows through.
struct ScreenBitmap {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::vector<std::uint8_t> mask;
};

// A bitmap of the picture's width and height (empty if the picture's pixel block does not match
// its size, or memory runs out). A GIF's first image sits at the top-left corner
// at its own size, clipped to the picture; what it does not cover is white.
ScreenBitmap MakeScreenBitmap(const DecodedPicture& picture);

}  // namespace stage
