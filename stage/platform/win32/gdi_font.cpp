// Fonts for text output on Windows: the font description is a LOGFONT, GDI matches it to an
// installed face (with the system's own font substitution and fallback), and GetGlyphOutline
// gives each glyph as 65-level coverage, which is blended onto the surface like any glyph.

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "stage/core/text.h"
#include "stage/draw/font.h"

namespace stage::draw {
namespace {

struct Glyph {
  std::int32_t left = 0, top = 0, width = 0, rows = 0, advance = 0;
  std::vector<std::uint8_t> coverage;
};

LOGFONTW WideLogFont(const FontDescription& d) {
  LOGFONTA narrow{};
  static_assert(sizeof(narrow) == sizeof(d.bytes));
  std::memcpy(&narrow, d.bytes.data(), sizeof(narrow));
  LOGFONTW wide{};
  std::memcpy(&wide, &narrow, offsetof(LOGFONTA, lfFaceName));
  // The face name is GBK whatever the system's code page is.
  const std::u32string face = GbkToUnicode(d.face_name());
  std::size_t n = 0;
  for (char32_t c : face) {
    if (n + 1 >= LF_FACESIZE || c > 0xFFFF) break;
    wide.lfFaceName[n++] = static_cast<wchar_t>(c);
  }
  wide.lfFaceName[n] = L'\0';
  // Coverage comes from GetGlyphOutline; the quality asked for only steers the face's hinting.
  if (wide.lfQuality == DEFAULT_QUALITY) wide.lfQuality = ANTIALIASED_QUALITY;
  return wide;
}

class GdiFont : public Font {
 public:
  explicit GdiFont(const FontDescription& d)
      : underline_(d.underline()), strike_out_(d.strike_out()) {
    const LOGFONTW logfont = WideLogFont(d);
    dc_ = CreateCompatibleDC(nullptr);
    font_ = CreateFontIndirectW(&logfont);
    if (dc_ == nullptr || font_ == nullptr) return;
    previous_ = SelectObject(dc_, font_);
    TEXTMETRICW metrics{};
    if (GetTextMetricsW(dc_, &metrics)) {
      ascent_ = metrics.tmAscent;
      descent_ = metrics.tmDescent;
      em_ = std::max<std::int32_t>(1, metrics.tmHeight - metrics.tmInternalLeading);
    }
  }
  ~GdiFont() override {
    if (dc_ != nullptr && previous_ != nullptr) SelectObject(dc_, previous_);
    if (font_ != nullptr) DeleteObject(font_);
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  GdiFont(const GdiFont&) = delete;
  GdiFont& operator=(const GdiFont&) = delete;

  std::int32_t ascent() const override { return ascent_; }
  std::int32_t descent() const override { return descent_; }

  std::int32_t Measure(std::u32string_view text) override {
    std::lock_guard lock(mutex_);
    std::int32_t width = 0;
    for (char32_t c : text) width += GlyphFor(c).advance;
    return width;
  }

  std::int32_t Draw(const Surface& surface, const Region& clip, std::int32_t x, std::int32_t y,
                    std::u32string_view text, std::uint32_t pixel) override {
    std::lock_guard lock(mutex_);
    const std::int32_t baseline = y + ascent_;
    std::int32_t pen = x;
    for (char32_t c : text) {
      const Glyph& g = GlyphFor(c);
      BlendGlyph(surface, clip, g, pen + g.left, baseline - g.top, pixel);
      pen += g.advance;
    }
    // Outlines carry neither line; they are drawn the way GDI places them.
    const std::int32_t thickness = std::max(1, em_ / 20);
    if (underline_)
      FillClipped(surface, clip, Rect{x, baseline + 1, pen, baseline + 1 + thickness}, pixel);
    if (strike_out_) {
      const std::int32_t at = baseline - ascent_ / 3;
      FillClipped(surface, clip, Rect{x, at, pen, at + thickness}, pixel);
    }
    return pen - x;
  }

 private:
  const Glyph& GlyphFor(char32_t c) {
    auto it = glyphs_.find(c);
    if (it != glyphs_.end()) return it->second;
    Glyph& g = glyphs_[c];
    if (font_ == nullptr || c > 0xFFFF) return g;
    const UINT code = static_cast<UINT>(c);
    const MAT2 identity{{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    GLYPHMETRICS metrics{};
    const DWORD size =
        GetGlyphOutlineW(dc_, code, GGO_GRAY8_BITMAP, &metrics, 0, nullptr, &identity);
    if (size == GDI_ERROR) return g;
    g.advance = metrics.gmCellIncX;
    // Blank glyphs (the space) report a one-pixel box but no bitmap.
    if (size == 0) return g;
    std::vector<std::uint8_t> levels(size);
    if (GetGlyphOutlineW(dc_, code, GGO_GRAY8_BITMAP, &metrics, size, levels.data(), &identity) ==
        GDI_ERROR) {
      return g;
    }
    g.left = metrics.gmptGlyphOrigin.x;
    g.top = metrics.gmptGlyphOrigin.y;
    g.width = static_cast<std::int32_t>(metrics.gmBlackBoxX);
    g.rows = static_cast<std::int32_t>(metrics.gmBlackBoxY);
    // Rows are padded to whole 32-bit words; levels run from 0 to 64.
    const std::size_t pitch = (std::size_t(g.width) + 3) & ~std::size_t(3);
    if (pitch * std::size_t(g.rows) > levels.size()) {
      g.width = g.rows = 0;
      return g;
    }
    g.coverage.resize(std::size_t(g.width) * g.rows);
    for (std::int32_t r = 0; r < g.rows; ++r) {
      for (std::int32_t x = 0; x < g.width; ++x) {
        const unsigned level = std::min<unsigned>(levels[r * pitch + x], 64);
        g.coverage[std::size_t(r) * g.width + x] =
            static_cast<std::uint8_t>((level * 255 + 32) / 64);
      }
    }
    return g;
  }

  static void FillClipped(const Surface& surface, const Region& clip, const Rect& rect,
                          std::uint32_t pixel) {
    clip.Intersect(rect).ForEachRect([&](const Rect& r) { Fill(surface, r, pixel); });
  }

  static void BlendGlyph(const Surface& surface, const Region& clip, const Glyph& g,
                         std::int32_t gx, std::int32_t gy, std::uint32_t pixel) {
    if (g.width == 0 || g.rows == 0) return;
    const std::uint32_t cr = pixel >> 16 & 0xFF, cg = pixel >> 8 & 0xFF, cb = pixel & 0xFF;
    clip.Intersect(Rect{gx, gy, gx + g.width, gy + g.rows}).ForEachRect([&](const Rect& r) {
      for (std::int32_t y = r.top; y < r.bottom; ++y) {
        std::uint32_t* d = surface.row(y);
        const std::uint8_t* a = g.coverage.data() + std::size_t(y - gy) * g.width - gx;
        for (std::int32_t x = r.left; x < r.right; ++x) {
          const std::uint32_t alpha = a[x];
          if (alpha == 0) continue;
          if (alpha == 255) {
            d[x] = pixel;
            continue;
          }
          const std::uint32_t p = d[x], inv = 255 - alpha;
          const std::uint32_t r8 = (cr * alpha + (p >> 16 & 0xFF) * inv + 127) / 255;
          const std::uint32_t g8 = (cg * alpha + (p >> 8 & 0xFF) * inv + 127) / 255;
          const std::uint32_t b8 = (cb * alpha + (p & 0xFF) * inv + 127) / 255;
          d[x] = r8 << 16 | g8 << 8 | b8;
        }
      }
    });
  }

  const bool underline_, strike_out_;
  HDC dc_ = nullptr;
  HFONT font_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  std::int32_t ascent_ = 0, descent_ = 0, em_ = 16;
  std::mutex mutex_;  // the device context and the glyph cache
  std::map<char32_t, Glyph> glyphs_;
};

}  // namespace

std::shared_ptr<Font> Font::For(const FontDescription& description) {
  // Fonts live as long as the program; a handful of descriptions are ever used.
  static std::mutex mutex;
  static std::map<FontDescription, std::shared_ptr<Font>,
                  decltype([](const FontDescription& a, const FontDescription& b) {
                    return a.bytes < b.bytes;
                  })>
      fonts;
  std::lock_guard lock(mutex);
  auto& font = fonts[description];
  if (!font) font = std::make_shared<GdiFont>(description);
  return font;
}

FontDescription Font::DefaultGuiDescription() {
  // The system's own interface font, as the stock object describes it.
  LOGFONTA logfont{};
  FontDescription d;
  if (GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof(logfont), &logfont) == sizeof(logfont)) {
    std::memcpy(d.bytes.data(), &logfont, sizeof(logfont));
    return d;
  }
  return MakeFont(std::string("MS Shell Dlg"), -12, 400);
}

std::shared_ptr<Font> Font::DefaultGui() {
  return For(DefaultGuiDescription());
}

}  // namespace stage::draw
