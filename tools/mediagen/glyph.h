#pragma once
// Outlines of the greeting's characters, read unhinted and unscaled from one pinned font
// file, so that only that file (not the FreeType version) decides their shape.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "canvas.h"

namespace mediagen {

// The Kai-style face the greeting's characters are taken from.
inline constexpr const char* kGlyphFont = "/usr/share/fonts/truetype/arphic/ukai.ttc";
// FNV-1a 64 of the font file the committed media were made from.
inline constexpr std::uint64_t kGlyphFontHash = 0xb9d9c537bc489241ull;

struct GlyphBox {
  double x0, y0, x1, y1;  // in the path's coordinates
};

class GlyphSource {
 public:
  static std::unique_ptr<GlyphSource> Open(const std::string& file, std::string* error);
  ~GlyphSource();

  // The outline of `code` mapped so that its ink box fills `box` (keeping its proportions and
  // centred, unless `keep_aspect` is false), and that box in `ink`.
  std::optional<Path> Outline(char32_t code, GlyphBox box, GlyphBox* ink,
                              bool keep_aspect = true) const;
  // A line of text set at `size` pixels per em with its baseline starting at (x, y); its
  // advance width goes to `width`.
  Path Text(const std::u32string& text, double x, double y, double size, double* width) const;
  std::uint64_t file_hash() const { return hash_; }

 private:
  GlyphSource() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::uint64_t hash_ = 0;
};

}  // namespace mediagen
