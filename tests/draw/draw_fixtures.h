#pragma once
// Small picture files made in the tests and the bench: a 24-bit BMP of any pixels and an
// uncompressed GIF of up to 256 colours.

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "stage/core/byteset.h"

namespace draw_test {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(v & 0xFF);
  b.push_back(v >> 8 & 0xFF);
}
inline void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// `pixels` are 0x00RRGGBB, rows top-down.
inline stage::ByteSet MakeBmp(int width, int height, const std::vector<std::uint32_t>& pixels) {
  const std::uint32_t row = (std::uint32_t(width) * 3 + 3) / 4 * 4;
  Bytes b{'B', 'M'};
  Put32(b, 54 + row * height);
  Put32(b, 0);
  Put32(b, 54);
  Put32(b, 40);
  Put32(b, width);
  Put32(b, height);
  Put16(b, 1);
  Put16(b, 24);
  Put32(b, 0);
  Put32(b, row * height);
  for (int i = 0; i < 4; ++i) Put32(b, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[std::size_t(y) * width + x];
      b.push_back(p & 0xFF);
      b.push_back(p >> 8 & 0xFF);
      b.push_back(p >> 16 & 0xFF);
    }
    for (std::uint32_t pad = width * 3; pad < row; ++pad) b.push_back(0);
  }
  return stage::ByteSet(b);
}

inline stage::ByteSet SolidBmp(int width, int height, std::uint32_t pixel) {
  return MakeBmp(width, height, std::vector<std::uint32_t>(std::size_t(width) * height, pixel));
}

// A GIF89a with a 256-entry global table; the codes are all literals (9 bits, a clear code
// every 250), which every decoder reads.
inline stage::ByteSet MakeGif(int width, int height, const std::vector<std::uint32_t>& pixels) {
  std::map<std::uint32_t, std::uint8_t> index;
  std::vector<std::uint32_t> palette;
  for (std::uint32_t p : pixels) {
    if (index.count(p) == 0 && palette.size() < 256) {
      index[p] = static_cast<std::uint8_t>(palette.size());
      palette.push_back(p);
    }
  }
  palette.resize(256, 0);
  Bytes b{'G', 'I', 'F', '8', '9', 'a'};
  Put16(b, width);
  Put16(b, height);
  b.insert(b.end(), {0xF7, 0, 0});
  for (std::uint32_t p : palette)
    b.insert(b.end(), {std::uint8_t(p >> 16), std::uint8_t(p >> 8), std::uint8_t(p)});
  b.push_back(0x2C);
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, width);
  Put16(b, height);
  b.push_back(0);
  b.push_back(8);
  Bytes codes;
  std::uint32_t acc = 0;
  int bits = 0;
  auto emit = [&](std::uint32_t code) {
    acc |= code << bits;
    bits += 9;
    while (bits >= 8) {
      codes.push_back(acc & 0xFF);
      acc >>= 8;
      bits -= 8;
    }
  };
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    if (i % 250 == 0) emit(256);
    emit(index.count(pixels[i]) ? index[pixels[i]] : 0);
  }
  emit(257);
  if (bits > 0) codes.push_back(acc & 0xFF);
  for (std::size_t at = 0; at < codes.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, codes.size() - at);
    b.push_back(static_cast<std::uint8_t>(n));
    b.insert(b.end(), codes.begin() + at, codes.begin() + at + n);
  }
  b.push_back(0);
  b.push_back(0x3B);
  return stage::ByteSet(b);
}

// A rose-like test picture: white ground, a filled red disc with a white hole at its centre
// and a green rim.
inline std::vector<std::uint32_t> RosePixels(int width, int height) {
  std::vector<std::uint32_t> px(std::size_t(width) * height, 0xFFFFFF);
  const int cx = width / 2, cy = height / 2, r = std::min(width, height) * 2 / 5;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (d <= r * r) px[std::size_t(y) * width + x] = d >= (r - 2) * (r - 2) ? 0x00A000 : 0xD01020;
    }
  }
  px[std::size_t(cy) * width + cx] = 0xFFFFFF;
  return px;
}

}  // namespace draw_test
