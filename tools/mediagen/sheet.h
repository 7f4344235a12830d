#pragma once
// The review sheet: every picture over a checkerboard (white dropped out, as on screen),
// each with its name.

#include <cstdint>
#include <string>
#include <vector>

#include "glyph.h"

namespace mediagen {

struct SheetItem {
  std::string name;
  int width, height;
  std::vector<std::uint8_t> rgb;  // width * height * 3
};

bool WriteSheet(const std::string& file, const std::vector<SheetItem>& items,
                const GlyphSource& glyphs);

}  // namespace mediagen
