// The desktop picture's pixel conversion for the TrueColor layouts X servers use, and the
// capture's refusal where no X server can be reached.

// clang-format off
// gtest first: Xlib's macros (None, Bool) would break its headers.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "stage/platform/sdl/x11_desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on

namespace stage {
namespace {

struct Layout {
  const char* name;
  int depth, bits_per_pixel;
  unsigned long red, green, blue;
  int byte_order;
};

// Two pixels, written with XPutPixel in the layout, must come back as these colours: pure
// channels catch swapped masks, 0x102030 catches the scaling of narrow channels.
TEST(X11Desktop, ConvertsEveryTrueColorLayout) {
  const Layout layouts[] = {
      {"xrgb8888", 24, 32, 0xFF0000, 0xFF00, 0xFF, LSBFirst},
      {"xbgr8888", 24, 32, 0xFF, 0xFF00, 0xFF0000, LSBFirst},
      {"xrgb8888 big-endian", 24, 32, 0xFF0000, 0xFF00, 0xFF, MSBFirst},
      {"rgb888 packed", 24, 24, 0xFF0000, 0xFF00, 0xFF, LSBFirst},
      {"rgb565", 16, 16, 0xF800, 0x07E0, 0x001F, LSBFirst},
  };
  for (const Layout& layout : layouts) {
    SCOPED_TRACE(layout.name);
    const int width = 3, height = 2;
    const int bytes_per_line = (width * layout.bits_per_pixel / 8 + 3) / 4 * 4;
    std::vector<char> data(std::size_t(bytes_per_line) * height, 0);
    XImage image{};
    image.width = width;
    image.height = height;
    image.format = ZPixmap;
    image.data = data.data();
    image.byte_order = layout.byte_order;
    image.bitmap_unit = 32;
    image.bitmap_bit_order = layout.byte_order;
    image.bitmap_pad = 32;
    image.depth = layout.depth;
    image.bytes_per_line = bytes_per_line;
    image.bits_per_pixel = layout.bits_per_pixel;
    image.red_mask = layout.red;
    image.green_mask = layout.green;
    image.blue_mask = layout.blue;
    ASSERT_NE(XInitImage(&image), 0);
    auto encode = [&](unsigned r, unsigned g, unsigned b) {
      auto put = [](unsigned v, unsigned long mask) {
        const int bits = __builtin_popcountl(mask);
        const int shift = __builtin_ctzl(mask);
        return (static_cast<unsigned long>(v) >> (8 - bits)) << shift;
      };
      return put(r, layout.red) | put(g, layout.green) | put(b, layout.blue);
    };
    XPutPixel(&image, 0, 0, encode(0xFF, 0, 0));
    XPutPixel(&image, 1, 0, encode(0, 0xFF, 0));
    XPutPixel(&image, 2, 0, encode(0, 0, 0xFF));
    XPutPixel(&image, 0, 1, encode(0xFF, 0xFF, 0xFF));
    XPutPixel(&image, 2, 1, encode(0x10, 0x20, 0x30));

    DesktopPicture picture;
    ASSERT_TRUE(XImageToPicture(image, picture));
    ASSERT_EQ(picture.width, width);
    ASSERT_EQ(picture.height, height);
    EXPECT_EQ(picture.pixels[0], 0xFF0000u);
    EXPECT_EQ(picture.pixels[1], 0x00FF00u);
    EXPECT_EQ(picture.pixels[2], 0x0000FFu);
    EXPECT_EQ(picture.pixels[3], 0xFFFFFFu);
    EXPECT_EQ(picture.pixels[4], 0x000000u);
    if (layout.depth == 16) {
      // Five and six bits per channel: 0x10 0x20 0x30 keep their top bits and are scaled back to
      // the nearest 8-bit value.
      EXPECT_EQ(picture.pixels[5], 0x102031u);
    } else {
      EXPECT_EQ(picture.pixels[5], 0x102030u);
    }
  }
}

TEST(X11Desktop, RefusesPalettedImages) {
  char data[4] = {};
  XImage image{};
  image.width = 1;
  image.height = 1;
  image.format = ZPixmap;
  image.data = data;
  image.depth = 8;
  image.bits_per_pixel = 8;
  image.bytes_per_line = 4;
  DesktopPicture picture;
  EXPECT_FALSE(XImageToPicture(image, picture));
}

TEST(X11Desktop, NoXServerMeansNoPicture) {
  const char* saved = getenv("DISPLAY");
  const std::string display = saved != nullptr ? saved : "";
  unsetenv("DISPLAY");
  X11Desktop desktop;
  DesktopPicture picture;
  EXPECT_FALSE(desktop.Capture(0, 0, 640, 480, picture));
  EXPECT_FALSE(desktop.Capture(0, 0, 640, 480, picture));  // and keeps refusing, quietly
  if (saved != nullptr) setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
}  // namespace stage
