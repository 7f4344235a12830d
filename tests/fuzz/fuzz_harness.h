#pragma once
// What every fuzz target checks beyond "no crash, no sanitizer report": a decoded picture is
// self-consistent and converts to a screen bitmap of exactly its size.

#include <cstdlib>

#include "stage/picture/picture.h"

namespace picture_fuzz {

inline void Require(bool condition) {
  if (!condition) std::abort();
}

inline void CheckDecode(const std::uint8_t* data, std::size_t size) {
  const auto picture = stage::DecodePicture(data, static_cast<std::int32_t>(size));
  if (!picture) return;
  Require(picture->format() == stage::DetectPictureFormat(data, std::int32_t(size)));
  Require(picture->width() >= 0 && picture->height() >= 0);
  if (const auto* indexed = picture->indexed()) {
    Require(indexed->stride >= indexed->width && indexed->stride % 4 == 0);
    Require(indexed->rows.size() >= std::size_t(indexed->stride) * std::size_t(indexed->height));
  }
  // Converting a picture of many megapixels (a tiny GIF may claim a huge logical screen) only
  // slows the search down; its decoding has been checked above.
  if (std::int64_t{picture->width()} * picture->height() > (std::int64_t{1} << 22)) return;
  const stage::ScreenBitmap screen = stage::MakeScreenBitmap(*picture);
  Require(screen.width == picture->width() && screen.height == picture->height());
  const std::size_t count = std::size_t(screen.width) * std::size_t(screen.height);
  Require(screen.pixels.size() == count);
  Require(screen.mask.empty() || screen.mask.size() == count);
  for (std::uint32_t pixel : screen.pixels) Require(pixel <= 0x00FFFFFF);
}

}  // namespace picture_fuzz
