#pragma once
// Pixel kernels of the compositor: fills, raster-operation copies, colour-keyed copies and the
// area-averaging stretch. Pixels are 0x00RRGGBB; every rectangle handed in must already lie
// inside the surfaces it names (clipping is the caller's).

#include <cstdint>
#include <vector>

#include "stage/core/screen.h"
#include "stage/core/types.h"
#include "stage/picture/picture.h"

namespace stage::draw {

struct Surface {
  std::uint32_t* pixels = nullptr;
  std::int32_t width = 0, height = 0;
  std::int32_t stride = 0;  // pixels per row
  std::uint32_t* row(std::int32_t y) const { return pixels + std::size_t(y) * stride; }
  Rect bounds() const { return Rect{0, 0, width, height}; }
};

struct BitmapView {
  const std::uint32_t* pixels = nullptr;
  std::int32_t width = 0, height = 0;
  std::int32_t stride = 0;
  const std::uint32_t* row(std::int32_t y) const { return pixels + std::size_t(y) * stride; }
};

inline BitmapView ViewOf(const ScreenBitmap& bitmap) {
  return BitmapView{bitmap.pixels.data(), bitmap.width, bitmap.height, bitmap.width};
}

// A colour value (0x00BBGGRR) as a pixel (0x00RRGGBB).
constexpr std::uint32_t PixelOf(Color color) {
  const auto c = static_cast<std::uint32_t>(color);
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

// The system face colour that DefaultColor stands for as a background.
inline constexpr std::uint32_t kFacePixel = 0x00F0F0F0;
// A background colour as a pixel: DefaultColor is the face colour.
constexpr std::uint32_t BackgroundPixel(Color color) {
  return color == kDefaultColor ? kFacePixel : PixelOf(color);
}

void Fill(const Surface& dst, const Rect& rect, std::uint32_t pixel);

// Raster operation codes (the index byte of a ternary operation: pattern 0xF0, source 0xCC,
// destination 0xAA).
inline constexpr std::uint8_t kRopCopy = 0xCC, kRopNotCopy = 0x33, kRopXor = 0x66, kRopOr = 0xEE,
                              kRopAnd = 0x88;

// dst(rect) = rop(pattern, src at (sx, sy), dst) for every pixel of `rect`.
void BlitRop(const Surface& dst, const Rect& rect, const BitmapView& src, std::int32_t sx,
             std::int32_t sy, std::uint8_t rop, std::uint32_t pattern);

// Copies the pixels of src that differ from `key`; the others leave dst as it is.
void BlitKeyed(const Surface& dst, const Rect& rect, const BitmapView& src, std::int32_t sx,
               std::int32_t sy, std::uint32_t key);

// The transparent drawing of a stretched picture: dst = ((dst ^ s) & m) ^ s per pixel, s the
// stretched picture and m the stretched mask (255 where the picture is transparent), taken as
// the grey m, m, m. Where the mask is 255 or 0 this keeps dst or takes s; at the mask's
// blended edges it mixes bits as the three raster operations do.
void BlitMasked(const Surface& dst, const Rect& rect, const BitmapView& src,
                const std::uint8_t* mask, std::int32_t mask_stride, std::int32_t sx,
                std::int32_t sy);

// Scales `src` to dst_width x dst_height by area averaging (each target pixel is the mean of
// the source area it covers) and returns only the part `window` of the result (window lies
// within the target), as a bitmap of window's size.
ScreenBitmap StretchArea(const BitmapView& src, std::int32_t dst_width, std::int32_t dst_height,
                         const Rect& window);

// The same for a one-channel mask of width x height bytes; returns window's size of bytes.
std::vector<std::uint8_t> StretchMaskArea(const std::uint8_t* mask, std::int32_t width,
                                          std::int32_t height, std::int32_t dst_width,
                                          std::int32_t dst_height, const Rect& window);

}  // namespace stage::draw
