#pragma once
// Fonts for text output: a font description matched through fontconfig to installed faces,
// rasterised with FreeType, glyphs blended anti-aliased onto a surface.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "stage/core/types.h"
#include "stage/draw/raster.h"
#include "stage/draw/region.h"

namespace stage::draw {

class Font {
 public:
  // The font a description names. Kai-style face names fall back to a Kai face, everything
  // else to a sans CJK face; characters a face lacks come from the next face that has them.
  static std::shared_ptr<Font> For(const FontDescription& description);
  // The interface font used where no font is stored (the label's default, a canvas font
  // description of the wrong length).
  static std::shared_ptr<Font> DefaultGui();
  static FontDescription DefaultGuiDescription();

  virtual ~Font() = default;

  // Ascent and descent of the character cell; height() is the line height of one line of text.
  virtual std::int32_t ascent() const = 0;
  virtual std::int32_t descent() const = 0;
  std::int32_t height() const { return ascent() + descent(); }

  // Width of a line of text (the sum of the advances).
  virtual std::int32_t Measure(std::u32string_view text) = 0;

  // Draws one line with the top-left corner of its first character cell at (x, y), blending
  // the glyphs in `pixel`, clipped to `clip`. Returns the width drawn.
  virtual std::int32_t Draw(const Surface& surface, const Region& clip, std::int32_t x,
                            std::int32_t y, std::u32string_view text, std::uint32_t pixel) = 0;
};

}  // namespace stage::draw
