#include "sheet.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "canvas.h"

namespace mediagen {
namespace {

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
  for (int i = 3; i >= 0; --i) v.push_back(std::uint8_t(x >> (8 * i)));
}

void Chunk(std::vector<std::uint8_t>& png, const char* type,
           const std::vector<std::uint8_t>& data) {
  Put32(png, std::uint32_t(data.size()));
  std::vector<std::uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  Put32(png, std::uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

bool WritePng(const std::string& file, int w, int h, const std::vector<std::uint8_t>& rgb) {
  std::vector<std::uint8_t> raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + long(y) * w * 3, rgb.begin() + long(y + 1) * w * 3);
  }
  uLongf size = compressBound(uLong(raw.size()));
  std::vector<std::uint8_t> z(size);
  if (compress2(z.data(), &size, raw.data(), uLong(raw.size()), 9) != Z_OK) return false;
  z.resize(size);
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<std::uint8_t> ihdr;
  Put32(ihdr, std::uint32_t(w));
  Put32(ihdr, std::uint32_t(h));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  Chunk(png, "IHDR", ihdr);
  Chunk(png, "IDAT", z);
  Chunk(png, "IEND", {});
  std::ofstream out(file, std::ios::binary);
  out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  return bool(out);
}

}  // namespace

bool WriteSheet(const std::string& file, const std::vector<SheetItem>& items,
                const GlyphSource& glyphs) {
  constexpr int kWidth = 1120, kPad = 12, kLabel = 22;
  // Large pictures are shown at the size the show draws them.
  auto shown = [](const SheetItem& it, int* w, int* h) {
    const double s = it.width >= 1000 ? 400.0 / it.width : it.width >= 400 ? 250.0 / it.width : 1.0;
    *w = int(std::lround(it.width * s)), *h = int(std::lround(it.height * s));
  };
  struct Place {
    int x, y, w, h;
  };
  std::vector<Place> places;
  int x = kPad, y = kPad, row = 0;
  for (const SheetItem& it : items) {
    int w, h;
    shown(it, &w, &h);
    if (x + w + kPad > kWidth) x = kPad, y += row + kLabel + kPad, row = 0;
    places.push_back({x, y, w, h});
    x += std::max(w, 110) + kPad;
    row = std::max(row, h);
  }
  const int height = y + row + kLabel + kPad;
  std::vector<std::uint8_t> rgb(std::size_t(kWidth) * height * 3);
  for (int yy = 0; yy < height; ++yy)
    for (int xx = 0; xx < kWidth; ++xx) {
      const std::uint8_t v = ((xx / 10) + (yy / 10)) % 2 ? 0xC8 : 0xE8;
      for (int k = 0; k < 3; ++k) rgb[(std::size_t(yy) * kWidth + xx) * 3 + k] = v;
    }
  for (std::size_t i = 0; i < items.size(); ++i) {
    const SheetItem& it = items[i];
    const Place& p = places[i];
    for (int yy = 0; yy < p.h; ++yy)
      for (int xx = 0; xx < p.w; ++xx) {
        // Nearest sample, as a plain stretch on screen would show it.
        const int sx = std::min(it.width - 1, xx * it.width / p.w);
        const int sy = std::min(it.height - 1, yy * it.height / p.h);
        const std::uint8_t* s = &it.rgb[(std::size_t(sy) * it.width + sx) * 3];
        if (s[0] == 255 && s[1] == 255 && s[2] == 255) continue;
        std::uint8_t* d = &rgb[(std::size_t(p.y + yy) * kWidth + p.x + xx) * 3];
        d[0] = s[0], d[1] = s[1], d[2] = s[2];
      }
    Layer label(kWidth, height);
    std::u32string name(it.name.begin(), it.name.end());
    label.Fill(glyphs.Text(name, p.x, p.y + p.h + 17, 15, nullptr), Solid(Hex(0x202020)));
    for (int yy = p.y + p.h; yy < std::min(height, p.y + p.h + kLabel); ++yy)
      for (int xx = p.x; xx < std::min(kWidth, p.x + 200); ++xx) {
        const float a = label.Alpha(xx, yy);
        if (a <= 0) continue;
        std::uint8_t* d = &rgb[(std::size_t(yy) * kWidth + xx) * 3];
        for (int k = 0; k < 3; ++k) d[k] = std::uint8_t(std::lround(d[k] * (1 - a) + 0x20 * a));
      }
  }
  return WritePng(file, kWidth, height, rgb);
}

}  // namespace mediagen
