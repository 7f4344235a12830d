// Recognition, and the BMP, JPEG and PCX decoders: files written by ImageMagick against its
// own reading of them, and small files made here for each depth, layout and refusal.

#include <gtest/gtest.h>

#include "picture_fixtures.h"

namespace picture_test {
namespace {

using stage::PictureFormat;

TEST(DetectPictureFormat, FirstSixBytesDecide) {
  struct Case {
    Bytes head;
    PictureFormat want;
  };
  const Case cases[] = {
      {{'B', 'M', 0, 0, 0, 0}, PictureFormat::Bmp},
      {{0xFF, 0xD8, 0xFF, 0xE0, 0, 0}, PictureFormat::Jpeg},
      {{0, 0, 1, 0, 1, 0}, PictureFormat::IconFile},
      {{0, 0, 2, 0, 3, 0}, PictureFormat::CursorFile},
      {{0, 0, 1, 0, 0, 0}, PictureFormat::None},  // an icon directory without images
      {{0, 0, 3, 0, 1, 0}, PictureFormat::None},
      {{'G', 'I', 'F', '8', '7', 'a'}, PictureFormat::Gif},
      {{'G', 'I', 'F', '8', '9', 'a'}, PictureFormat::Gif},
      {{'G', 'I', 'F', '8', '8', 'a'}, PictureFormat::None},
      {{10, 5, 1, 8, 0, 0}, PictureFormat::Pcx8},
      {{10, 0, 1, 8, 0, 0}, PictureFormat::Pcx8},
      {{10, 6, 1, 8, 0, 0}, PictureFormat::None},
      {{10, 3, 1, 1, 0, 0}, PictureFormat::Pcx1},
      {{10, 5, 1, 1, 0, 0}, PictureFormat::None},  // 1-bit PCX is recognised at version 3 only
      {{10, 3, 0, 1, 0, 0}, PictureFormat::None},
      {{'B', 'M', 0, 0, 0}, PictureFormat::None},  // five bytes
      {{0xFF, 0xD8, 0, 0}, PictureFormat::None},   // four bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stage::DetectPictureFormat(c.head.data(), std::int32_t(c.head.size())), c.want)
        << testing::PrintToString(c.head);
  }
  EXPECT_EQ(stage::DetectPictureFormat(nullptr, 6), PictureFormat::None);
}

TEST(DecodePicture, EmptyAndUnknownGiveNoPicture) {
  const Bytes bmp = ReadFile(FixturePath("bmp24.bmp"));
  EXPECT_FALSE(stage::DecodePicture(bmp.data(), 0));
  EXPECT_FALSE(stage::DecodePicture(bmp.data(), -5));
  EXPECT_FALSE(stage::DecodePicture(nullptr, 100));
  const Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
  EXPECT_FALSE(Decode(text));
}

TEST(MakeScreenBitmap, PictureSmallerThanItsSizeGivesAnEmptyBitmap) {
  const stage::DecodedPicture rgb(PictureFormat::Bmp, 10, 10, stage::RgbImage{10, 10, {1, 2, 3}});
  EXPECT_TRUE(stage::MakeScreenBitmap(rgb).pixels.empty());
  stage::IndexedImage image;
  image.width = image.stride = 8;
  image.height = 8;
  image.rows.resize(8);  // one row of eight
  const stage::DecodedPicture gif(PictureFormat::Gif, 8, 8, image);
  EXPECT_TRUE(stage::MakeScreenBitmap(gif).pixels.empty());
}

// ImageMagick's own reading of each file, as a PPM, against ours.
class AgainstImageMagick : public testing::TestWithParam<std::pair<const char*, PictureFormat>> {};

TEST_P(AgainstImageMagick, SamePixels) {
  const std::string name = GetParam().first;
  const auto picture = Decode(ReadFile(FixturePath(name)));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->format(), GetParam().second);
  const Ppm want = ReadPpm(FixturePath(name.substr(0, name.rfind('.')) + ".ppm"));
  const stage::ScreenBitmap got = stage::MakeScreenBitmap(*picture);
  ASSERT_EQ(got.width, want.width);
  ASSERT_EQ(got.height, want.height);
  EXPECT_EQ(got.pixels, want.pixels);
}

INSTANTIATE_TEST_SUITE_P(Files, AgainstImageMagick,
                         testing::Values(std::make_pair("bmp1.bmp", PictureFormat::Bmp),
                                         std::make_pair("bmp4.bmp", PictureFormat::Bmp),
                                         std::make_pair("bmp8.bmp", PictureFormat::Bmp),
                                         std::make_pair("bmp24.bmp", PictureFormat::Bmp),
                                         std::make_pair("bmp24-v5.bmp", PictureFormat::Bmp),
                                         std::make_pair("color.jpg", PictureFormat::Jpeg),
                                         std::make_pair("grey.jpg", PictureFormat::Jpeg),
                                         std::make_pair("pcx8.pcx", PictureFormat::Pcx8)),
                         [](const auto& info) {
                           std::string name = info.param.first;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(Jpeg, GreyFillsAllThreeChannels) {
  const auto picture = Decode(ReadFile(FixturePath("grey.jpg")));
  ASSERT_TRUE(picture);
  const stage::RgbImage* rgb = picture->rgb();
  ASSERT_NE(rgb, nullptr);
  ASSERT_EQ(rgb->rgb.size(), std::size_t(33 * 21 * 3));
  for (std::size_t i = 0; i < rgb->rgb.size(); i += 3) {
    ASSERT_EQ(rgb->rgb[i], rgb->rgb[i + 1]);
    ASSERT_EQ(rgb->rgb[i], rgb->rgb[i + 2]);
  }
}

TEST(Jpeg, Refusals) {
  const Bytes color = ReadFile(FixturePath("color.jpg"));
  // Cut inside the headers: libjpeg finds no image.
  EXPECT_FALSE(Decode(Bytes(color.begin(), color.begin() + 40)));
  EXPECT_FALSE(Decode(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0}));
  Bytes garbage(200, 0x55);
  garbage[0] = 0xFF;
  garbage[1] = 0xD8;
  EXPECT_FALSE(Decode(garbage));
  // Four components are neither grey nor colour.
  EXPECT_FALSE(Decode(ReadFile(FixturePath("cmyk.jpg"))));
}

// ---- BMP ----------------------------------------------------------------------------------

// The colour each test pixel should decode to, for a table or direct colours.
std::uint32_t Expected(const BmpSpec& spec, int x, int y) {
  const std::uint32_t v = spec.pixel(x, y);
  if (spec.bits <= 8) return v < spec.table.size() ? spec.table[v] : 0;
  return v & 0x00FFFFFF;
}

TEST(Bmp, EveryDepthBottomUpAndTopDown) {
  const std::vector<std::uint32_t> table16 = {
      0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
      0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  for (int bits : {1, 4, 8, 24, 32}) {
    for (int height : {3, -3}) {
      BmpSpec spec;
      spec.width = 7;  // rows need padding at every depth
      spec.height = height;
      spec.bits = bits;
      if (bits == 1) spec.table = {0x102030, 0xF0E0D0};
      if (bits == 4) spec.table = table16;
      if (bits == 8) {
        for (std::uint32_t i = 0; i < 200; ++i) spec.table.push_back(i * 0x010101 ^ 0x3050);
        spec.colors_used = 200;
      }
      if (bits <= 8) {
        const std::uint32_t n = std::uint32_t(spec.table.size());
        spec.pixel = [n](int x, int y) { return std::uint32_t(x * 3 + y * 5) % n; };
      } else if (bits == 32) {
        // The fourth byte is ignored.
        spec.pixel = [](int x, int y) { return 0xAB000000u | std::uint32_t(x * 0x112233 + y); };
      }
      const auto picture = Decode(MakeBmp(spec));
      ASSERT_TRUE(picture) << bits << " bits, height " << height;
      EXPECT_EQ(picture->format(), PictureFormat::Bmp);
      EXPECT_EQ(picture->width(), 7);
      EXPECT_EQ(picture->height(), 3);
      const auto screen = stage::MakeScreenBitmap(*picture);
      for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 7; ++x) {
          ASSERT_EQ(screen.pixels[std::size_t(y * 7 + x)], Expected(spec, x, y))
              << bits << " bits, height " << height << " at " << x << "," << y;
        }
      }
    }
  }
}

TEST(Bmp, TableDetails) {
  // A table shorter than the depth allows: indices past it are black. colors_used counts it.
  BmpSpec spec;
  spec.bits = 8;
  spec.table = {0x112233, 0x445566};
  spec.colors_used = 2;
  spec.pixel = [](int x, int) { return std::uint32_t(x); };  // 0, 1, 2
  auto screen = stage::MakeScreenBitmap(*Decode(MakeBmp(spec)));
  EXPECT_EQ(screen.pixels[0], 0x112233u);
  EXPECT_EQ(screen.pixels[1], 0x445566u);
  EXPECT_EQ(screen.pixels[2], 0u);
  // Bytes between the table and the pixel offset are skipped.
  spec.extra_offset = 10;
  screen = stage::MakeScreenBitmap(*Decode(MakeBmp(spec)));
  EXPECT_EQ(screen.pixels[1], 0x445566u);
}

TEST(Bmp, LastRowWithoutItsPadding) {
  BmpSpec spec;
  spec.width = 5;  // 15 bytes of pixels, 16 with padding
  Bytes bytes = MakeBmp(spec);
  bytes.pop_back();
  EXPECT_TRUE(Decode(bytes));
}

TEST(Bmp, Refusals) {
  const auto with = [](auto change) {
    BmpSpec spec;
    change(spec);
    return MakeBmp(spec);
  };
  const Bytes good = MakeBmp(BmpSpec{});
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"shorter than both headers", Bytes(good.begin(), good.begin() + 53)},
      {"run-length 8-bit (ImageMagick)", ReadFile(FixturePath("bmp8-rle.bmp"))},
      {"bit fields (ImageMagick 16-bit)", ReadFile(FixturePath("bmp16.bmp"))},
      {"16 bits per pixel", with([](BmpSpec& s) { s.bits = 16; })},
      {"run-length 4-bit", with([](BmpSpec& s) {
         s.bits = 4;
         s.table.assign(16, 0);
         s.pixel = [](int, int) { return 0u; };
         s.compression = 2;
       })},
      {"2 bits per pixel", with([](BmpSpec& s) {
         s.bits = 2;
         s.table.assign(4, 0);
         s.pixel = [](int, int) { return 0u; };
       })},
      {"zero width", with([](BmpSpec& s) { s.width = 0; })},
      {"zero height", with([](BmpSpec& s) { s.height = 0; })},
      {"pixels before the end of the colour table",
       [] {
         BmpSpec s;
         s.bits = 8;
         s.table.assign(4, 0);
         s.colors_used = 4;
         s.pixel = [](int, int) { return 0u; };
         Bytes b = MakeBmp(s);
         b[10] = 54 + 8;  // inside the table
         return b;
       }()},
      {"colour table past the end", with([](BmpSpec& s) {
         s.bits = 8;
         s.table.assign(2, 0);
         s.colors_used = 100000;
         s.pixel = [](int, int) { return 0u; };
       })},
      {"rows cut short", Bytes(good.begin(), good.end() - 4)},
      {"pixel offset past the end",
       [&] {
         Bytes b = good;
         b[12] = 0x7F;
         return b;
       }()},
      {"huge size, few bytes",
       [&] {
         Bytes b = good;
         b[19] = b[23] = 0x40;  // 16387 x 16386
         return b;
       }()},
  };
  for (const Case& c : cases) {
    ASSERT_FALSE(c.bytes.empty()) << c.what;
    EXPECT_FALSE(Decode(c.bytes)) << c.what;
  }
}

// ---- PCX ----------------------------------------------------------------------------------

PcxSpec EightBitPcx() {
  PcxSpec spec;  // 5 x 3, 6 bytes per line
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 6; ++x) spec.raw.push_back(std::uint8_t(x < 5 ? 200 + y * 5 + x : 99));
  }
  for (std::uint32_t i = 0; i < 256; ++i) spec.colors.push_back(i << 16 | (255 - i));
  return spec;
}

TEST(Pcx, EightBitsWithItsColourTable) {
  PcxSpec spec = EightBitPcx();
  spec.x_min = -3;  // only the span counts
  spec.y_min = 10;
  // A run that crosses the end of a line.
  spec.raw[4] = spec.raw[5] = spec.raw[6] = 7;
  const auto picture = Decode(MakePcx(spec));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->format(), PictureFormat::Pcx8);
  EXPECT_EQ(picture->width(), 5);
  EXPECT_EQ(picture->height(), 3);
  const auto screen = stage::MakeScreenBitmap(*picture);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) {
      const std::uint32_t index = spec.raw[std::size_t(y * 6 + x)];
      EXPECT_EQ(screen.pixels[std::size_t(y * 5 + x)], index << 16 | (255 - index));
    }
  }
}

TEST(Pcx, EightBitsWithoutColourTableIsGrey) {
  PcxSpec spec = EightBitPcx();
  spec.palette = false;
  const auto picture = Decode(MakePcx(spec));
  ASSERT_TRUE(picture);
  const auto screen = stage::MakeScreenBitmap(*picture);
  EXPECT_EQ(screen.pixels[0], 200u * 0x010101);
}

TEST(Pcx, OneBitIsBlackAndWhite) {
  PcxSpec spec;
  spec.version = 3;
  spec.bits = 1;
  spec.width = 10;
  spec.height = 2;
  spec.bytes_per_line = 2;
  spec.palette = false;
  spec.raw = {0b10110000, 0b01000000, 0b00000000, 0b11111111};
  const auto picture = Decode(MakePcx(spec));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->format(), PictureFormat::Pcx1);
  const auto screen = stage::MakeScreenBitmap(*picture);
  const std::uint32_t W = 0xFFFFFF;
  EXPECT_EQ(screen.pixels, (std::vector<std::uint32_t>{W, 0, W, W, 0, 0, 0, 0, 0, W,  //
                                                       0, 0, 0, 0, 0, 0, 0, 0, W, W}));
}

TEST(Pcx, Refusals) {
  const auto with = [](auto change) {
    PcxSpec spec = EightBitPcx();
    change(spec);
    return MakePcx(spec);
  };
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Bytes good = MakePcx(EightBitPcx());
  const Case cases[] = {
      {"128 bytes", Bytes(good.begin(), good.begin() + 128)},
      {"encoding 0",
       [&] {
         Bytes b = good;
         b[2] = 0;
         return b;
       }()},
      {"minimum x above maximum x",
       [&] {
         Bytes b = good;
         b[4] = 9;
         return b;
       }()},
      {"three planes (24-bit)",
       [&] {
         Bytes b = good;
         b[65] = 3;
         return b;
       }()},
      {"lines shorter than the picture", with([](PcxSpec& s) { s.bytes_per_line = 4; })},
      {"pixels cut short", with([](PcxSpec& s) {
         s.raw.resize(10);
         s.palette = false;
       })},
      {"1-bit at version 5 is not recognised",
       [] {
         PcxSpec s;
         s.bits = 1;
         s.width = 8;
         s.bytes_per_line = 1;
         s.raw.assign(3, 0xF0);
         return MakePcx(s);
       }()},
  };
  for (const Case& c : cases) EXPECT_FALSE(Decode(c.bytes)) << c.what;
  EXPECT_TRUE(Decode(good));
}

}  // namespace
}  // namespace picture_test
