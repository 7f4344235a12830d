#include "stage/draw/font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

#include "stage/core/text.h"

namespace stage::draw {
namespace {

// Faces tried after the named one. Kai names look for the Kai face first.
constexpr const char* kKaiFallbacks[] = {"AR PL UKai CN",    "AR PL UKai TW", "AR PL UKai",
                                         "Noto Sans CJK SC", "Noto Sans CJK", "sans-serif"};
constexpr const char* kSansFallbacks[] = {"Noto Sans CJK SC", "Noto Sans CJK", "AR PL UKai CN",
                                          "sans-serif"};

// How many faces one font keeps for characters its first face lacks.
constexpr int kMaxFaces = 4;

bool IsKaiName(const std::string& utf8) {
  return utf8.find("楷") != std::string::npos || utf8.find("Kai") != std::string::npos ||
         utf8.find("kai") != std::string::npos;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) l = nullptr;
    return l;
  }();
  return library;
}

struct FaceFile {
  std::string path;
  int index = 0;
};

// Installed faces for a family list, best first, through fontconfig's sort.
std::vector<FaceFile> MatchFaces(const std::string& family, bool kai) {
  std::vector<FaceFile> faces;
  if (!FcInit()) return faces;
  FcPattern* pattern = FcPatternCreate();
  if (!family.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
  }
  if (kai) {
    for (const char* f : kKaiFallbacks) {
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(f));
    }
  } else {
    for (const char* f : kSansFallbacks) {
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(f));
    }
  }
  FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>("zh-cn"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
  if (set != nullptr) {
    for (int i = 0; i < set->nfont && static_cast<int>(faces.size()) < kMaxFaces; ++i) {
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetString(set->fonts[i], FC_FILE, 0, &file) != FcResultMatch) continue;
      FcPatternGetInteger(set->fonts[i], FC_INDEX, 0, &index);
      faces.push_back({reinterpret_cast<const char*>(file), index});
    }
    FcFontSetDestroy(set);
  }
  FcPatternDestroy(pattern);
  return faces;
}

struct Glyph {
  std::int32_t left = 0, top = 0, width = 0, rows = 0, advance = 0;
  std::vector<std::uint8_t> coverage;
};

class FreeTypeFont : public Font {
 public:
  explicit FreeTypeFont(const FontDescription& d) {
    const std::string family = GbkToUtf8(d.face_name());
    bold_ = d.weight() >= 600;
    italic_ = d.italic();
    underline_ = d.underline();
    strike_out_ = d.strike_out();
    for (const FaceFile& file : MatchFaces(family, IsKaiName(family))) {
      FT_Face face = nullptr;
      if (Library() == nullptr ||
          FT_New_Face(Library(), file.path.c_str(), file.index, &face) != 0) {
        continue;
      }
      faces_.push_back(face);
    }
    if (faces_.empty()) {
      static bool said = false;
      if (!said) {
        said = true;
        std::fprintf(stderr, "stage: no font found for text output; texts are not drawn\n");
      }
      return;
    }
    // A negative height is the character height (the em); a positive one the cell height.
    std::int32_t pixels = d.height() == 0 ? 16 : d.height() < 0 ? -d.height() : d.height();
    FT_Face first = faces_.front();
    if (d.height() > 0 && first->units_per_EM > 0 && first->ascender - first->descender > 0) {
      pixels = std::max<std::int32_t>(
          1, pixels * first->units_per_EM / (first->ascender - first->descender));
    }
    for (FT_Face face : faces_) FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels));
    ascent_ = static_cast<std::int32_t>((first->size->metrics.ascender + 63) >> 6);
    descent_ = static_cast<std::int32_t>((-first->size->metrics.descender + 63) >> 6);
    em_ = pixels;
  }
  ~FreeTypeFont() override {
    for (FT_Face face : faces_) FT_Done_Face(face);
  }

  std::int32_t ascent() const override { return ascent_; }
  std::int32_t descent() const override { return descent_; }

  std::int32_t Measure(std::u32string_view text) override {
    std::int32_t width = 0;
    for (char32_t c : text) width += GlyphFor(c).advance;
    return width;
  }

  std::int32_t Draw(const Surface& surface, const Region& clip, std::int32_t x, std::int32_t y,
                    std::u32string_view text, std::uint32_t pixel) override {
    const std::int32_t baseline = y + ascent_;
    std::int32_t pen = x;
    for (char32_t c : text) {
      const Glyph& g = GlyphFor(c);
      BlendGlyph(surface, clip, g, pen + g.left, baseline - g.top, pixel);
      pen += g.advance;
    }
    const std::int32_t width = pen - x;
    const std::int32_t thickness = std::max(1, em_ / 20);
    if (underline_)
      FillClipped(surface, clip, Rect{x, baseline + 1, pen, baseline + 1 + thickness}, pixel);
    if (strike_out_) {
      const std::int32_t at = baseline - ascent_ / 3;
      FillClipped(surface, clip, Rect{x, at, pen, at + thickness}, pixel);
    }
    return width;
  }

 private:
  const Glyph& GlyphFor(char32_t c) {
    auto it = glyphs_.find(c);
    if (it != glyphs_.end()) return it->second;
    Glyph& g = glyphs_[c];
    if (faces_.empty()) return g;
    FT_Face face = faces_.front();
    FT_UInt index = 0;
    for (FT_Face f : faces_) {
      index = FT_Get_Char_Index(f, c);
      if (index != 0) {
        face = f;
        break;
      }
    }
    if (FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return g;
    // Synthetic styles, as the system makes them for faces that have no bold or italic.
    if (bold_ && (face->style_flags & FT_STYLE_FLAG_BOLD) == 0) FT_GlyphSlot_Embolden(face->glyph);
    if (italic_ && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0)
      FT_GlyphSlot_Oblique(face->glyph);
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.width = static_cast<std::int32_t>(bitmap.width);
    g.rows = static_cast<std::int32_t>(bitmap.rows);
    g.advance = static_cast<std::int32_t>((face->glyph->advance.x + 32) >> 6);
    g.coverage.resize(std::size_t(g.width) * g.rows);
    for (std::int32_t r = 0; r < g.rows; ++r) {
      const unsigned char* src = bitmap.buffer + std::ptrdiff_t(r) * bitmap.pitch;
      std::copy(src, src + g.width, g.coverage.begin() + std::ptrdiff_t(r) * g.width);
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

  std::vector<FT_Face> faces_;
  std::map<char32_t, Glyph> glyphs_;
  std::int32_t ascent_ = 0, descent_ = 0, em_ = 16;
  bool bold_ = false, italic_ = false, underline_ = false, strike_out_ = false;
};

}  // namespace

std::shared_ptr<Font> Font::For(const FontDescription& description) {
  // Fonts live as long as the program; a handful of descriptions are ever used.
  static std::map<FontDescription, std::shared_ptr<Font>,
                  decltype([](const FontDescription& a, const FontDescription& b) {
                    return a.bytes < b.bytes;
                  })>
      fonts;
  auto& font = fonts[description];
  if (!font) font = std::make_shared<FreeTypeFont>(description);
  return font;
}

FontDescription Font::DefaultGuiDescription() {
  // A 12-pixel sans face of normal weight, the size of the system's interface font.
  return MakeFont(std::string("Noto Sans CJK SC"), -12, 400);
}

std::shared_ptr<Font> Font::DefaultGui() {
  return For(DefaultGuiDescription());
}

}  // namespace stage::draw
