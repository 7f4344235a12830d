// The pixel kernels: raster operations, the colour key and the area-averaging stretch.

#include "stage/draw/raster.h"

#include <gtest/gtest.h>

namespace stage::draw {
namespace {

struct RopCase {
  std::uint8_t rop;
  std::uint32_t expected;  // with pattern 0xF0F0F0, source 0xCCCCCC, destination 0xAAAAAA
};

TEST(RasterTest, RopsComputeTheirTernaryFunction) {
  // With the canonical operands each operation's result is its own index byte.
  for (const RopCase c : {RopCase{kRopCopy, 0xCCCCCC},
                          {kRopNotCopy, 0x333333},
                          {kRopXor, 0x666666},
                          {kRopOr, 0xEEEEEE},
                          {kRopAnd, 0x888888},
                          {0x00, 0},
                          {0xFF, 0xFFFFFF},
                          {0xAA, 0xAAAAAA},
                          {0xF0, 0xF0F0F0},
                          {0xBB, 0xBBBBBB},
                          {0x5A, 0x5A5A5A},
                          {0xE2, 0xE2E2E2},
                          {0x1D, 0x1D1D1D}}) {
    std::uint32_t dst = 0xAAAAAA, src = 0xCCCCCC;
    BlitRop(Surface{&dst, 1, 1, 1}, Rect{0, 0, 1, 1}, BitmapView{&src, 1, 1, 1}, 0, 0, c.rop,
            0xF0F0F0);
    EXPECT_EQ(dst, c.expected) << "rop " << int(c.rop);
  }
}

TEST(RasterTest, KeyedAndMaskedBlits) {
  std::uint32_t dst[3] = {1, 2, 3};
  const std::uint32_t src[3] = {0xFFFFFF, 0x123456, 0xFFFFFE};
  BlitKeyed(Surface{dst, 3, 1, 3}, Rect{0, 0, 3, 1}, BitmapView{src, 3, 1, 3}, 0, 0, 0xFFFFFF);
  EXPECT_EQ(dst[0], 1u);
  EXPECT_EQ(dst[1], 0x123456u);
  EXPECT_EQ(dst[2], 0xFFFFFEu);
  // A white mask keeps the canvas, a black one takes the picture, grey mixes the bits.
  std::uint32_t d2[3] = {0x0F0F0F, 0x0F0F0F, 0x0F0F0F};
  const std::uint32_t s2[3] = {0x30F000, 0x30F000, 0x30F000};
  const std::uint8_t m2[3] = {255, 0, 128};
  BlitMasked(Surface{d2, 3, 1, 3}, Rect{0, 0, 3, 1}, BitmapView{s2, 3, 1, 3}, m2, 3, 0, 0);
  EXPECT_EQ(d2[0], 0x0F0F0Fu);
  EXPECT_EQ(d2[1], 0x30F000u);
  EXPECT_EQ(d2[2], (((0x0F0F0Fu ^ 0x30F000u) & 0x808080u) ^ 0x30F000u));
}

TEST(RasterTest, StretchAveragesAreas) {
  // 4 x 2 -> 2 x 1: each target pixel is the mean of a 2 x 2 block.
  const std::uint32_t src[8] = {0x000000, 0x040404, 0xFF0000, 0xFF0000,
                                0x080808, 0x0C0C0C, 0x00FF00, 0x00FF00};
  const ScreenBitmap out = StretchArea(BitmapView{src, 4, 2, 4}, 2, 1, Rect{0, 0, 2, 1});
  ASSERT_EQ(out.pixels.size(), 2u);
  EXPECT_EQ(out.pixels[0], 0x060606u);
  EXPECT_EQ(out.pixels[1], 0x808000u);
  // Flat colour stays exactly flat at any ratio, up or down; a window is the same as the
  // corresponding part of the whole.
  std::vector<std::uint32_t> flat(1010 * 737, 0x3C7DB2);
  const BitmapView view{flat.data(), 1010, 737, 1010};
  for (auto [w, h] : {std::pair{400, 400}, {1013, 740}, {3, 2000}}) {
    const ScreenBitmap s = StretchArea(view, w, h, Rect{0, 0, w, h});
    for (std::uint32_t p : s.pixels) ASSERT_EQ(p, 0x3C7DB2u) << w << "x" << h;
  }
  std::vector<std::uint32_t> ramp(50 * 30);
  for (std::size_t i = 0; i < ramp.size(); ++i) ramp[i] = std::uint32_t(i * 2654435761u) & 0xFFFFFF;
  const BitmapView rv{ramp.data(), 50, 30, 50};
  const ScreenBitmap whole = StretchArea(rv, 23, 41, Rect{0, 0, 23, 41});
  const ScreenBitmap part = StretchArea(rv, 23, 41, Rect{5, 7, 20, 30});
  for (int y = 7; y < 30; ++y) {
    for (int x = 5; x < 20; ++x) {
      ASSERT_EQ(part.pixels[std::size_t(y - 7) * 15 + (x - 5)],
                whole.pixels[std::size_t(y) * 23 + x]);
    }
  }
}

}  // namespace
}  // namespace stage::draw
