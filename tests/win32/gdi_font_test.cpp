// Glyphs from GDI: metrics, advances, coverage inside the clip only, and the lines GDI's
// outlines do not carry.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "stage/core/text.h"
#include "stage/draw/font.h"

namespace stage::draw {
namespace {

struct Canvas {
  std::vector<std::uint32_t> pixels;
  Surface surface;
  Canvas(std::int32_t w, std::int32_t h) : pixels(std::size_t(w) * h, 0xFFFFFF) {
    surface = Surface{pixels.data(), w, h, w};
  }
  int DarkIn(const Rect& r) const {
    int n = 0;
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
      for (std::int32_t x = r.left; x < r.right; ++x) {
        if ((pixels[std::size_t(y) * surface.width + x] & 0xFF) < 0x80) ++n;
      }
    }
    return n;
  }
};

FontDescription Description(const char* face_utf8, std::int32_t height, bool underline = false) {
  return MakeFont(Utf8ToGbk(face_utf8), height, 400, false, underline);
}

TEST(GdiFont, MetricsAndAdvancesFollowTheHeight) {
  auto small = Font::For(Description("Tahoma", -12));
  auto large = Font::For(Description("Tahoma", -36));
  ASSERT_GT(small->height(), 0);
  EXPECT_GT(large->height(), 2 * small->height());
  EXPECT_GT(large->Measure(U"Happy"), 2 * small->Measure(U"Happy"));
  // A line's width is the sum of its characters' advances.
  EXPECT_EQ(large->Measure(U"AB"), large->Measure(U"A") + large->Measure(U"B"));
  EXPECT_GT(large->Measure(U" "), 0);
  EXPECT_EQ(Font::For(Description("Tahoma", -36)), large);  // one font per description
}

TEST(GdiFont, DrawsInsideTheClipOnly) {
  auto font = Font::For(Description("Tahoma", -40));
  Canvas canvas(200, 60);
  const Rect left_half{0, 0, 100, 60};
  const std::int32_t width =
      font->Draw(canvas.surface, Region(left_half), 4, 4, U"WWWWWWWW", 0x000000);
  EXPECT_EQ(width, font->Measure(U"WWWWWWWW"));
  ASSERT_GT(width, 100);
  EXPECT_GT(canvas.DarkIn(left_half), 100);
  EXPECT_EQ(canvas.DarkIn(Rect{100, 0, 200, 60}), 0);
}

TEST(GdiFont, ChineseFaceNamesAreGbk) {
  // The Kai face's name is GBK in the description; whichever face the system picks for it, a
  // Chinese character gets a glyph of its own size.
  auto font = Font::For(Description("楷体_GB2312", -32));
  Canvas canvas(80, 60);
  font->Draw(canvas.surface, Region(canvas.surface.bounds()), 2, 2, U"祝", 0x000000);
  EXPECT_GT(font->Measure(U"祝"), 0);
  EXPECT_GT(font->ascent(), 0);
}

TEST(GdiFont, UnderlineIsDrawnBelowTheBaseline) {
  auto plain = Font::For(Description("Tahoma", -24));
  auto underlined = Font::For(Description("Tahoma", -24, true));
  Canvas a(120, 40), b(120, 40);
  plain->Draw(a.surface, Region(a.surface.bounds()), 0, 0, U"  ", 0x000000);
  underlined->Draw(b.surface, Region(b.surface.bounds()), 0, 0, U"  ", 0x000000);
  EXPECT_EQ(a.DarkIn(a.surface.bounds()), 0);
  EXPECT_GT(b.DarkIn(b.surface.bounds()), 0);
}

TEST(GdiFont, DefaultGuiIsTheSystemsInterfaceFont) {
  auto font = Font::DefaultGui();
  EXPECT_GT(font->height(), 8);
  EXPECT_LT(font->height(), 40);
  EXPECT_GT(font->Measure(U"OK"), 0);
}

}  // namespace
}  // namespace stage::draw
