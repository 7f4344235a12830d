// Icon and cursor files: which directory entry is decoded, every depth with its AND mask, and
// alpha as see-through.

#include <gtest/gtest.h>

#include "picture_fixtures.h"

namespace picture_test {
namespace {

using stage::PictureFormat;

// An entry whose image is `width` pixels wide, so the decoded size tells which was chosen.
IconEntry Entry(std::uint8_t width_byte, std::uint8_t color_count, int width) {
  IconEntry e;
  e.width_byte = width_byte;
  e.color_count = color_count;
  e.image = MakeIconImage(
      width, 4, 24, {}, [](int x, int y) { return std::uint32_t(x * 16 + y); },
      [](int, int) { return false; });
  return e;
}

TEST(Icon, EntryChoice) {
  struct Case {
    const char* what;
    std::vector<IconEntry> entries;
    int chosen;  // index of the entry, read back from the image width (index + 1)
  };
  const Case cases[] = {
      {"first 32-wide with 16 colours", {Entry(16, 16, 1), Entry(32, 16, 2), Entry(32, 16, 3)}, 1},
      {"more than 16 colours counts", {Entry(48, 16, 1), Entry(32, 255, 2)}, 1},
      {"all 48 wide: the last", {Entry(48, 16, 1), Entry(48, 16, 2), Entry(48, 0, 3)}, 2},
      {"32 wide with too few colours: the last",
       {Entry(32, 15, 1), Entry(32, 0, 2), Entry(16, 16, 3)},
       2},
      {"a single entry", {Entry(0, 0, 1)}, 0},
  };
  for (const Case& c : cases) {
    const auto picture = Decode(MakeIconFile(1, c.entries));
    ASSERT_TRUE(picture) << c.what;
    EXPECT_EQ(picture->width(), c.chosen + 1) << c.what;
    EXPECT_EQ(picture->height(), 4) << c.what;  // half the stored height
  }
}

TEST(Icon, EveryDepthWithItsMask) {
  const auto see_through = [](int x, int y) { return (x + y) % 3 == 0; };
  for (int bits : {1, 4, 8, 16, 24, 32}) {
    std::vector<std::uint32_t> table;
    std::function<std::uint32_t(int, int)> pixel;
    std::function<std::uint32_t(int, int)> expected;
    if (bits <= 8) {
      const std::uint32_t n = 1u << bits;
      for (std::uint32_t i = 0; i < n; ++i) table.push_back(i * 0x030507 & 0xFFFFFF);
      pixel = [n](int x, int y) { return std::uint32_t(x + 2 * y) % n; };
      expected = [=](int x, int y) { return table[pixel(x, y)]; };
    } else if (bits == 16) {
      // 5-5-5: red 31, green 0, blue 16 -> 255, 0, 132.
      pixel = [](int, int) { return std::uint32_t(31 << 10 | 16); };
      expected = [](int, int) { return 0xFF0084u; };
    } else {
      // Alpha all zero in the 32-bit case: the AND mask decides alone.
      pixel = [](int x, int y) { return std::uint32_t(x * 0x102030 + y * 7) & 0xFFFFFF; };
      expected = pixel;
    }
    IconEntry entry;
    entry.image = MakeIconImage(9, 5, bits, table, pixel, see_through);
    const auto picture = Decode(MakeIconFile(1, {entry}));
    ASSERT_TRUE(picture) << bits << " bits";
    EXPECT_EQ(picture->format(), PictureFormat::IconFile);
    const auto screen = stage::MakeScreenBitmap(*picture);
    ASSERT_EQ(screen.width, 9);
    ASSERT_EQ(screen.height, 5);
    ASSERT_EQ(screen.mask.size(), 45u);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 9; ++x) {
        const std::size_t i = std::size_t(y * 9 + x);
        EXPECT_EQ(screen.pixels[i], expected(x, y)) << bits << " bits at " << x << "," << y;
        EXPECT_EQ(screen.mask[i], see_through(x, y) ? 1 : 0)
            << bits << " bits at " << x << "," << y;
      }
    }
  }
}

TEST(Icon, AlphaZeroIsSeeThrough) {
  // Left half alpha 0, right half opaque; the AND mask is clear everywhere but one pixel.
  IconEntry entry;
  entry.image = MakeIconImage(
      4, 2, 32, {}, [](int x, int) { return (x < 2 ? 0u : 0xFF000000u) | 0x123456; },
      [](int x, int y) { return x == 3 && y == 1; });
  const auto screen = stage::MakeScreenBitmap(*Decode(MakeIconFile(2, {entry})));
  EXPECT_EQ(screen.mask, (std::vector<std::uint8_t>{1, 1, 0, 0, 1, 1, 0, 1}));
  EXPECT_EQ(screen.pixels, std::vector<std::uint32_t>(8, 0x123456));
}

TEST(Icon, CursorFile) {
  const auto picture = Decode(MakeIconFile(2, {Entry(32, 0, 3)}));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->format(), PictureFormat::CursorFile);
  EXPECT_EQ(picture->width(), 3);
}

TEST(Icon, Refusals) {
  const Bytes good = MakeIconFile(1, {Entry(32, 16, 3)});
  const std::size_t image_at = 6 + 16;
  const auto patched = [&](std::size_t at, std::uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  IconEntry png;
  png.image = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"directory past the end", Bytes(good.begin(), good.begin() + 6 + 10)},
      {"image past the end", Bytes(good.begin(), good.end() - 1)},
      {"image offset past the end", patched(6 + 15, 0x40)},
      {"PNG-compressed image", MakeIconFile(1, {png})},
      {"header shorter than 40 bytes", patched(image_at, 12)},
      {"compressed image", patched(image_at + 16, 1)},
      {"2 bits per pixel", patched(image_at + 14, 2)},
      {"zero height", patched(image_at + 8, 1)},  // stored height 1: half of it is 0
  };
  for (const Case& c : cases) EXPECT_FALSE(Decode(c.bytes)) << c.what;
  EXPECT_TRUE(Decode(good));
}

}  // namespace
}  // namespace picture_test
