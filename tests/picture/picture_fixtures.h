#pragma once
// Builders for small picture files made in the tests, where a few bytes show a case more
// plainly than a committed file, and readers for the committed fixtures.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "stage/picture/picture.h"

namespace picture_test {

using Bytes = std::vector<std::uint8_t>;

inline std::string FixturePath(const std::string& name) {
  return std::string(PICTURE_FIXTURES) + "/" + name;
}

inline Bytes ReadFile(const std::string& path) {
  Bytes bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    std::uint8_t chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
      bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
  }
  return bytes;
}

inline std::optional<stage::DecodedPicture> Decode(const Bytes& bytes) {
  return stage::DecodePicture(bytes.data(), std::int32_t(bytes.size()));
}

// A binary PPM (as ImageMagick writes it) as 0x00RRGGBB pixels.
struct Ppm {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};
inline Ppm ReadPpm(const std::string& path) {
  Ppm ppm;
  const Bytes bytes = ReadFile(path);
  int maxval = 0, consumed = 0;
  if (std::sscanf(reinterpret_cast<const char*>(bytes.data()), "P6 %d %d %d%n", &ppm.width,
                  &ppm.height, &maxval, &consumed) != 3) {
    return {};
  }
  const std::uint8_t* p = bytes.data() + consumed + 1;  // one whitespace byte after maxval
  ppm.pixels.resize(std::size_t(ppm.width) * ppm.height);
  for (auto& px : ppm.pixels) {
    px = std::uint32_t(p[0]) << 16 | std::uint32_t(p[1]) << 8 | p[2];
    p += 3;
  }
  return ppm;
}

inline void Put16(Bytes& b, unsigned v) {
  b.push_back(std::uint8_t(v));
  b.push_back(std::uint8_t(v >> 8));
}
inline void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

// ---- GIF ----------------------------------------------------------------------------------

// Packs LZW codes least significant bit first, with the code width a decoder uses at each
// point, so that a test can write exactly the code sequence it wants to show.
inline Bytes PackCodes(int min_code_size, const std::vector<std::uint32_t>& codes) {
  const std::uint32_t clear = 1u << min_code_size;
  int width = min_code_size + 1;
  std::uint32_t next = clear + 2;
  bool have_prev = false;
  Bytes out;
  std::uint64_t acc = 0;
  int bits = 0;
  for (std::uint32_t code : codes) {
    acc |= std::uint64_t(code) << bits;
    bits += width;
    while (bits >= 8) {
      out.push_back(std::uint8_t(acc));
      acc >>= 8;
      bits -= 8;
    }
    if (code == clear) {
      width = min_code_size + 1;
      next = clear + 2;
      have_prev = false;
    } else if (code != clear + 1) {
      if (have_prev && next < 4096) {
        ++next;
        if (next == (1u << width) && width < 12) ++width;
      }
      have_prev = true;
    }
  }
  if (bits > 0) out.push_back(std::uint8_t(acc));
  return out;
}

// Plain LZW of `indices`: a clear code, the codes, the end code. The table is never cleared:
// once it holds 4096 entries the codes stay 12 bits wide and nothing is added.
inline std::vector<std::uint32_t> LzwCodes(int min_code_size, const Bytes& indices) {
  const std::uint32_t clear = 1u << min_code_size;
  std::map<std::pair<std::uint32_t, std::uint8_t>, std::uint32_t> table;
  std::uint32_t next = clear + 2;
  std::vector<std::uint32_t> codes{clear};
  if (!indices.empty()) {
    std::uint32_t w = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
      const auto key = std::make_pair(w, indices[i]);
      auto it = table.find(key);
      if (it != table.end()) {
        w = it->second;
        continue;
      }
      codes.push_back(w);
      if (next < 4096) table[key] = next++;
      w = indices[i];
    }
    codes.push_back(w);
  }
  codes.push_back(clear + 1);
  return codes;
}

// Splits bytes into data sub-blocks of at most 255 bytes and adds the terminator.
inline Bytes SubBlocks(const Bytes& data, std::size_t block = 255) {
  Bytes out;
  for (std::size_t i = 0; i < data.size(); i += block) {
    const std::size_t n = std::min(block, data.size() - i);
    out.push_back(std::uint8_t(n));
    out.insert(out.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + n));
  }
  out.push_back(0);
  return out;
}

// A colour table's flag bits (size 2^(n+1)) for a table of `entries` entries.
inline std::uint8_t TableBits(std::size_t entries) {
  std::uint8_t n = 0;
  while ((std::size_t{2} << n) < entries) ++n;
  return n;
}

inline void PutTable(Bytes& b, const std::vector<std::uint32_t>& colors) {
  for (std::uint32_t c : colors) {
    b.push_back(std::uint8_t(c >> 16));
    b.push_back(std::uint8_t(c >> 8));
    b.push_back(std::uint8_t(c));
  }
}

struct GifSpec {
  std::string signature = "GIF89a";
  int screen_width = 4, screen_height = 2;
  std::vector<std::uint32_t> global = {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF};  // 0x00RRGGBB
  Bytes blocks;  // anything between the global table and the image descriptor
  int left = 0, top = 0, width = 4, height = 2;
  bool interlaced = false;
  std::vector<std::uint32_t> local;
  int min_code_size = 2;
  Bytes code_data;  // sub-blocks with terminator; by default made from `indices`
  Bytes indices = {0, 1, 2, 3, 3, 2, 1, 0};
  bool trailer = true;
};

inline Bytes MakeGif(const GifSpec& s) {
  Bytes b(s.signature.begin(), s.signature.end());
  Put16(b, unsigned(s.screen_width));
  Put16(b, unsigned(s.screen_height));
  b.push_back(std::uint8_t(s.global.empty() ? 0 : 0x80 | 0x70 | TableBits(s.global.size())));
  b.push_back(0);
  b.push_back(0);
  PutTable(b, s.global);
  b.insert(b.end(), s.blocks.begin(), s.blocks.end());
  b.push_back(0x2C);
  Put16(b, unsigned(s.left));
  Put16(b, unsigned(s.top));
  Put16(b, unsigned(s.width));
  Put16(b, unsigned(s.height));
  std::uint8_t flags = s.interlaced ? 0x40 : 0;
  if (!s.local.empty()) flags |= 0x80 | TableBits(s.local.size());
  b.push_back(flags);
  PutTable(b, s.local);
  b.push_back(std::uint8_t(s.min_code_size));
  const Bytes data =
      s.code_data.empty()
          ? SubBlocks(PackCodes(s.min_code_size, LzwCodes(s.min_code_size, s.indices)))
          : s.code_data;
  b.insert(b.end(), data.begin(), data.end());
  if (s.trailer) b.push_back(0x3B);
  return b;
}

// ---- BMP ----------------------------------------------------------------------------------

struct BmpSpec {
  int width = 3, height = 2;  // negative height: rows stored top-down
  int bits = 24;
  std::uint32_t compression = 0;
  std::vector<std::uint32_t> table;  // 0x00RRGGBB, for 1, 4 and 8 bits
  std::uint32_t colors_used = 0;
  // The value stored for the pixel at (x, y), y from the top: an index or 0x00RRGGBB.
  std::function<std::uint32_t(int, int)> pixel = [](int x, int y) {
    return std::uint32_t(x * 40 << 16 | y * 90 << 8 | (x + y) * 30);
  };
  int extra_offset = 0;  // gap between the colour table and the pixels
};

inline Bytes MakeBmp(const BmpSpec& s) {
  const int rows = s.height < 0 ? -s.height : s.height;
  const std::size_t stride = std::size_t((s.width * s.bits + 31) / 32 * 4);
  const std::uint32_t offset = 54 + std::uint32_t(s.table.size()) * 4 + s.extra_offset;
  Bytes b = {'B', 'M'};
  Put32(b, offset + std::uint32_t(stride * rows));
  Put32(b, 0);
  Put32(b, offset);
  Put32(b, 40);
  Put32(b, std::uint32_t(s.width));
  Put32(b, std::uint32_t(s.height));
  Put16(b, 1);
  Put16(b, unsigned(s.bits));
  Put32(b, s.compression);
  Put32(b, std::uint32_t(stride * rows));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, s.colors_used);
  Put32(b, 0);
  for (std::uint32_t c : s.table) Put32(b, c);
  b.resize(b.size() + std::size_t(s.extra_offset), 0xEE);
  for (int stored = 0; stored < rows; ++stored) {
    const int y = s.height < 0 ? stored : rows - 1 - stored;
    Bytes row(stride, 0);
    for (int x = 0; x < s.width; ++x) {
      const std::uint32_t v = s.pixel(x, y);
      switch (s.bits) {
        case 1:
        case 4:
        case 8: {
          const int per_byte = 8 / s.bits;
          row[std::size_t(x / per_byte)] |= std::uint8_t(v << (8 - s.bits * (x % per_byte + 1)));
          break;
        }
        case 16:
          row[2 * x] = std::uint8_t(v);
          row[2 * x + 1] = std::uint8_t(v >> 8);
          break;
        case 24:
        case 32: {
          const std::size_t at = std::size_t(x) * std::size_t(s.bits / 8);
          row[at] = std::uint8_t(v);
          row[at + 1] = std::uint8_t(v >> 8);
          row[at + 2] = std::uint8_t(v >> 16);
          if (s.bits == 32) row[at + 3] = std::uint8_t(v >> 24);
          break;
        }
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// ---- ICO / CUR ----------------------------------------------------------------------------

// A device-independent bitmap with its AND mask, as an icon directory entry points at.
inline Bytes MakeIconImage(int width, int height, int bits, const std::vector<std::uint32_t>& table,
                           const std::function<std::uint32_t(int, int)>& pixel,
                           const std::function<bool(int, int)>& see_through) {
  BmpSpec spec;
  spec.width = width;
  spec.height = height;
  spec.bits = bits;
  spec.table = table;
  spec.pixel = pixel;
  Bytes colour = MakeBmp(spec);
  Bytes image(colour.begin() + 14, colour.end());  // no file header inside an icon
  // The stored height covers colour image and mask.
  const std::uint32_t doubled = std::uint32_t(height * 2);
  for (int i = 0; i < 4; ++i) image[8 + i] = std::uint8_t(doubled >> (8 * i));
  BmpSpec mask;
  mask.width = width;
  mask.height = height;
  mask.bits = 1;
  mask.pixel = [&](int x, int y) { return see_through(x, y) ? 1u : 0u; };
  const Bytes mask_file = MakeBmp(mask);
  image.insert(image.end(), mask_file.begin() + 54, mask_file.end());
  return image;
}

struct IconEntry {
  std::uint8_t width_byte = 32;
  std::uint8_t color_count = 16;
  Bytes image;
};

inline Bytes MakeIconFile(int type, const std::vector<IconEntry>& entries) {
  Bytes b;
  Put16(b, 0);
  Put16(b, unsigned(type));
  Put16(b, unsigned(entries.size()));
  std::uint32_t offset = 6 + 16 * std::uint32_t(entries.size());
  for (const IconEntry& e : entries) {
    b.push_back(e.width_byte);
    b.push_back(e.width_byte);
    b.push_back(e.color_count);
    b.push_back(0);
    Put16(b, 1);
    Put16(b, 32);
    Put32(b, std::uint32_t(e.image.size()));
    Put32(b, offset);
    offset += std::uint32_t(e.image.size());
  }
  for (const IconEntry& e : entries) b.insert(b.end(), e.image.begin(), e.image.end());
  return b;
}

// ---- PCX ----------------------------------------------------------------------------------

// Run-length encodes one stream of bytes the way PCX writers do.
inline Bytes PcxRuns(const Bytes& raw) {
  Bytes out;
  for (std::size_t i = 0; i < raw.size();) {
    std::size_t n = 1;
    while (i + n < raw.size() && raw[i + n] == raw[i] && n < 63) ++n;
    if (n > 1 || raw[i] >= 192) out.push_back(std::uint8_t(192 + n));
    out.push_back(raw[i]);
    i += n;
  }
  return out;
}

struct PcxSpec {
  int version = 5;
  int bits = 8;
  int x_min = 0, y_min = 0, width = 5, height = 3;
  int bytes_per_line = 6;
  Bytes raw;                          // bytes_per_line * height decoded bytes
  bool palette = true;                // 8 bits: marker 12 and 768 bytes after the pixels
  std::vector<std::uint32_t> colors;  // 0x00RRGGBB, up to 256
};

inline Bytes MakePcx(const PcxSpec& s) {
  Bytes b(128, 0);
  b[0] = 10;
  b[1] = std::uint8_t(s.version);
  b[2] = 1;
  b[3] = std::uint8_t(s.bits);
  const auto put16 = [&b](int at, int v) {
    b[std::size_t(at)] = std::uint8_t(v);
    b[std::size_t(at) + 1] = std::uint8_t(v >> 8);
  };
  put16(4, s.x_min);
  put16(6, s.y_min);
  put16(8, s.x_min + s.width - 1);
  put16(10, s.y_min + s.height - 1);
  b[65] = 1;
  put16(66, s.bytes_per_line);
  const Bytes runs = PcxRuns(s.raw);
  b.insert(b.end(), runs.begin(), runs.end());
  if (s.palette) {
    b.push_back(12);
    std::vector<std::uint32_t> colors = s.colors;
    colors.resize(256, 0);
    PutTable(b, colors);
  }
  return b;
}

}  // namespace picture_test
