// The GIF decoder against giflib on files written by other encoders, and on small files made
// here that show each refusal and each decision about broken streams.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "picture_fixtures.h"

namespace picture_test {
namespace {

constexpr std::uint32_t kWhite = 0x00FFFFFF;

// The first image as giflib reads it: indices (de-interlaced by DGifSlurp) and the colours it
// uses, local table first.
struct GiflibPicture {
  int screen_width = 0, screen_height = 0, width = 0, height = 0;
  Bytes indices;
  std::vector<std::uint32_t> colors;
};

std::optional<GiflibPicture> DecodeWithGiflib(const Bytes& bytes) {
  struct Source {
    const Bytes* bytes;
    std::size_t pos;
  } source{&bytes, 0};
  const InputFunc read = [](GifFileType* gif, GifByteType* out, int n) {
    auto* s = static_cast<Source*>(gif->UserData);
    const int take = int(std::min<std::size_t>(std::size_t(n), s->bytes->size() - s->pos));
    std::memcpy(out, s->bytes->data() + s->pos, std::size_t(take));
    s->pos += std::size_t(take);
    return take;
  };
  int error = 0;
  GifFileType* gif = DGifOpen(&source, read, &error);
  if (gif == nullptr) return std::nullopt;
  std::optional<GiflibPicture> result;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
    const SavedImage& image = gif->SavedImages[0];
    GiflibPicture p;
    p.screen_width = gif->SWidth;
    p.screen_height = gif->SHeight;
    p.width = image.ImageDesc.Width;
    p.height = image.ImageDesc.Height;
    p.indices.assign(image.RasterBits, image.RasterBits + std::size_t(p.width) * p.height);
    const ColorMapObject* map =
        image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : gif->SColorMap;
    for (int i = 0; map != nullptr && i < map->ColorCount; ++i) {
      const GifColorType& c = map->Colors[i];
      p.colors.push_back(std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue);
    }
    result = p;
  }
  DGifCloseFile(gif, &error);
  return result;
}

// Row y of the decoded first image, without its padding.
Bytes Row(const stage::IndexedImage& image, int y) {
  const auto* row = image.rows.data() + std::size_t(y) * std::size_t(image.stride);
  return Bytes(row, row + image.width);
}

Bytes Indices(const stage::IndexedImage& image) {
  Bytes all;
  for (int y = 0; y < image.height; ++y) {
    const Bytes row = Row(image, y);
    all.insert(all.end(), row.begin(), row.end());
  }
  return all;
}

class GiflibAgreement : public testing::TestWithParam<const char*> {};

TEST_P(GiflibAgreement, SameIndicesColoursAndScreenPixels) {
  const Bytes bytes = ReadFile(FixturePath(GetParam()));
  ASSERT_FALSE(bytes.empty());
  const std::optional<GiflibPicture> want = DecodeWithGiflib(bytes);
  ASSERT_TRUE(want.has_value());
  const auto got = Decode(bytes);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->format(), stage::PictureFormat::Gif);
  EXPECT_EQ(got->width(), want->screen_width);
  EXPECT_EQ(got->height(), want->screen_height);
  const stage::IndexedImage* image = got->indexed();
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->width, want->width);
  ASSERT_EQ(image->height, want->height);
  EXPECT_EQ(image->stride % 4, 0);
  EXPECT_EQ(Indices(*image), want->indices);
  for (std::size_t i = 0; i < want->colors.size(); ++i) {
    ASSERT_EQ(image->colors[i], want->colors[i]) << "colour " << i;
  }

  // On the screen: the first image at the top-left corner, white where it does not reach.
  const stage::ScreenBitmap screen = stage::MakeScreenBitmap(*got);
  ASSERT_EQ(screen.width, want->screen_width);
  ASSERT_EQ(screen.height, want->screen_height);
  EXPECT_TRUE(screen.mask.empty());
  for (int y = 0; y < screen.height; ++y) {
    for (int x = 0; x < screen.width; ++x) {
      const std::uint32_t expected =
          x < want->width && y < want->height
              ? want->colors.at(want->indices[std::size_t(y) * want->width + x])
              : kWhite;
      ASSERT_EQ(screen.pixels[std::size_t(y) * screen.width + x], expected)
          << "at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(OtherEncoders, GiflibAgreement,
                         testing::Values("im-256.gif", "im-colors1.gif", "im-colors2.gif",
                                         "im-colors3.gif", "im-colors4.gif", "im-colors5.gif",
                                         "im-colors6.gif", "im-colors7.gif", "im-interlaced.gif",
                                         "im-noninterlaced.gif", "im-animated.gif",
                                         "im-small-frame.gif", "im-transparent.gif",
                                         "giflib-87a.gif", "giflib-local.gif",
                                         "giflib-interlaced.gif", "giflib-local-interlaced.gif",
                                         "giflib-extensions.gif"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(Gif, InterlacedDecodesLikeItsPlainForm) {
  const auto plain = Decode(ReadFile(FixturePath("im-noninterlaced.gif")));
  const auto interlaced = Decode(ReadFile(FixturePath("im-interlaced.gif")));
  ASSERT_TRUE(plain && interlaced);
  EXPECT_EQ(stage::MakeScreenBitmap(*plain).pixels, stage::MakeScreenBitmap(*interlaced).pixels);
}

TEST(Gif, InterlacedPassesForEveryShortHeight) {
  for (int height : {1, 2, 3, 4, 5, 7, 8, 9, 17}) {
    // Row y holds index y % 4; the stream carries the rows in pass order.
    GifSpec spec;
    spec.screen_width = spec.width = 3;
    spec.screen_height = spec.height = height;
    spec.interlaced = true;
    spec.indices.clear();
    const int starts[] = {0, 4, 2, 1}, steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = starts[pass]; y < height; y += steps[pass]) {
        spec.indices.insert(spec.indices.end(), 3, std::uint8_t(y % 4));
      }
    }
    const auto picture = Decode(MakeGif(spec));
    ASSERT_TRUE(picture) << "height " << height;
    for (int y = 0; y < height; ++y) {
      EXPECT_EQ(Row(*picture->indexed(), y), Bytes(3, std::uint8_t(y % 4)))
          << "height " << height << " row " << y;
    }
  }
}

TEST(Gif, FirstFrameOnlyOfAnAnimation) {
  // The three frames of the fixture differ; only the first is kept and the picture is the
  // logical screen's size.
  const auto picture = Decode(ReadFile(FixturePath("im-animated.gif")));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width(), 40);
  EXPECT_EQ(picture->height(), 30);
  const auto giflib = DecodeWithGiflib(ReadFile(FixturePath("im-animated.gif")));
  ASSERT_TRUE(giflib);
  EXPECT_EQ(Indices(*picture->indexed()), giflib->indices);
}

TEST(Gif, TransparencyIsIgnored) {
  // A graphic control block naming index 2 (red) as transparent: the pixels stay red.
  GifSpec spec;
  spec.blocks = {0x21, 0xF9, 4, 0x01, 0, 0, 2, 0};
  const auto picture = Decode(MakeGif(spec));
  ASSERT_TRUE(picture);
  const auto screen = stage::MakeScreenBitmap(*picture);
  EXPECT_EQ(screen.pixels[2], 0xFF0000u);
  EXPECT_TRUE(screen.mask.empty());
}

// A deterministic noisy picture: short LZW strings, so the table fills fast.
Bytes Noise(std::size_t count, int levels, unsigned seed) {
  std::mt19937 random(seed);
  Bytes indices(count);
  for (auto& v : indices) v = std::uint8_t(random() % unsigned(levels));
  return indices;
}

TEST(Gif, FullTableKeepsTwelveBitCodesUntilTheNextClear) {
  GifSpec spec;
  spec.screen_width = spec.width = 200;
  spec.screen_height = spec.height = 100;
  spec.min_code_size = 8;
  spec.global.assign(256, 0);
  spec.indices = Noise(200 * 100, 256, 1);
  const auto codes = LzwCodes(8, spec.indices);
  ASSERT_GT(codes.size(), 4096u + 200);  // far past the point where the table is full
  const auto picture = Decode(MakeGif(spec));
  ASSERT_TRUE(picture);
  EXPECT_EQ(Indices(*picture->indexed()), spec.indices);
}

TEST(Gif, LongStringsRunningPastTheLastPixel) {
  // One colour: every code is the previous string plus one byte, so strings grow long and
  // one of them runs past the image's end; whatever lies beyond is dropped.
  for (int extra : {0, 1, 37, 3000}) {
    GifSpec spec;
    spec.screen_width = spec.width = 100;
    spec.screen_height = spec.height = 50;
    spec.min_code_size = 2;
    spec.indices.assign(std::size_t(5000 + extra), 3);
    spec.indices[4999] = 1;  // the last pixel differs
    const auto picture = Decode(MakeGif(spec));
    ASSERT_TRUE(picture) << "extra " << extra;
    const Bytes got = Indices(*picture->indexed());
    EXPECT_EQ(got, Bytes(spec.indices.begin(), spec.indices.begin() + 5000)) << "extra " << extra;
  }
}

TEST(Gif, CodesAcrossTinySubBlocks) {
  // One-byte and seven-byte sub-blocks make every refill cross a block boundary.
  for (std::size_t block : {1, 7, 254}) {
    GifSpec spec;
    spec.screen_width = spec.width = 37;
    spec.screen_height = spec.height = 23;
    spec.min_code_size = 3;
    spec.global.assign(8, 0);
    spec.indices = Noise(37 * 23, 5, 2);
    spec.code_data = SubBlocks(PackCodes(3, LzwCodes(3, spec.indices)), block);
    const auto picture = Decode(MakeGif(spec));
    ASSERT_TRUE(picture) << "block " << block;
    EXPECT_EQ(Indices(*picture->indexed()), spec.indices) << "block " << block;
  }
}

TEST(Gif, ColoursTheFileDoesNotSupplyAreBlack) {
  GifSpec spec;
  spec.global = {0x123456, 0xABCDEF};
  spec.indices = {0, 1, 2, 3, 3, 2, 1, 0};
  auto picture = Decode(MakeGif(spec));
  ASSERT_TRUE(picture);
  auto screen = stage::MakeScreenBitmap(*picture);
  EXPECT_EQ(screen.pixels,
            (std::vector<std::uint32_t>{0x123456, 0xABCDEF, 0, 0, 0, 0, 0xABCDEF, 0x123456}));

  spec.global.clear();  // neither a global nor a local table
  picture = Decode(MakeGif(spec));
  ASSERT_TRUE(picture);
  screen = stage::MakeScreenBitmap(*picture);
  EXPECT_EQ(screen.pixels, std::vector<std::uint32_t>(8, 0));
}

TEST(Gif, LocalTableReplacesTheGlobalOne) {
  GifSpec spec;
  spec.local = {0x010203, 0x040506};
  const auto picture = Decode(MakeGif(spec));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->indexed()->colors[0], 0x010203u);
  EXPECT_EQ(picture->indexed()->colors[1], 0x040506u);
  EXPECT_EQ(picture->indexed()->colors[2], 0u);  // not the global red
}

TEST(Gif, ImageLargerThanTheScreenIsClippedOnTheScreen) {
  GifSpec spec;
  spec.screen_width = 2;
  spec.screen_height = 1;
  spec.left = 60000;  // placement plays no part
  const auto picture = Decode(MakeGif(spec));
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->indexed()->width, 4);
  EXPECT_EQ(picture->indexed()->height, 2);
  const auto screen = stage::MakeScreenBitmap(*picture);
  EXPECT_EQ(screen.pixels, (std::vector<std::uint32_t>{0x000000, 0xFFFFFF}));
}

TEST(Gif, StreamEdgesThatStillGiveTheWholePicture) {
  const std::uint32_t clear = 4, end = 5;
  struct Case {
    const char* what;
    std::vector<std::uint32_t> codes;
  };
  const Case cases[] = {
      {"no end code after the last pixel", {clear, 0, 1, 2, 3, 3, 2, 1, 0}},
      {"indices past the last pixel are dropped", {clear, 0, 1, 2, 3, 3, 2, 1, 0, 1, 1, end}},
      {"no clear code at the start", {0, 1, 2, 3, 3, 2, 1, 0, end}},
      {"a clear code in the middle", {clear, 0, 1, 2, 3, clear, 3, 2, 1, 0, end}},
  };
  for (const Case& c : cases) {
    GifSpec spec;
    spec.code_data = SubBlocks(PackCodes(2, c.codes));
    const auto picture = Decode(MakeGif(spec));
    ASSERT_TRUE(picture) << c.what;
    EXPECT_EQ(Indices(*picture->indexed()), spec.indices) << c.what;
  }
  // The self-referencing code: 0, then code 6 = "0 0", then 7 = "0 0 0" made from itself.
  GifSpec spec;
  spec.indices = {0, 0, 0, 0, 0, 0, 1, 1};
  spec.code_data = SubBlocks(PackCodes(2, {clear, 0, 6, 7, 1, 1, end}));
  const auto picture = Decode(MakeGif(spec));
  ASSERT_TRUE(picture);
  EXPECT_EQ(Indices(*picture->indexed()), spec.indices);
}

TEST(Gif, ExtensionsAreSkippedAtTheirFixedAndChainedSizes) {
  GifSpec spec;
  spec.blocks = {
      0x21,
      0xF9,
      0x07,
      0,
      0,
      0,
      0,
      0,  // size byte not consulted
      0x21,
      0xFE,
      3,
      'a',
      'b',
      'c',
      0,  // comment
      0x21,
      0xFF,
      11,
      'N',
      'E',
      'T',
      'S',
      'C',
      'A',
      'P',
      'E',
      '2',
      '.',
      '0',
      3,
      1,
      0,
      0,
      0,
      0x21,
      0x01,
      12,
      0,
      0,
      0,
      0,
      0,
      0,
      0,
      0,
      0,
      0,
      0,
      0,
      2,
      'h',
      'i',
      0,  // plain text
      // An application block whose first block is longer than 11 bytes, as giflib's
      // gifbuild writes ImageMagick's: skipped by its size byte.
      0x21,
      0xFF,
      13,
      'I',
      'm',
      'a',
      'g',
      'e',
      'M',
      'a',
      'g',
      'i',
      'c',
      'k',
      'g',
      '=',
      0,
  };
  spec.trailer = false;  // the walk ends at the image
  const auto picture = Decode(MakeGif(spec));
  ASSERT_TRUE(picture);
  EXPECT_EQ(Indices(*picture->indexed()), spec.indices);
}

Bytes Truncated(Bytes bytes, std::size_t drop) {
  bytes.resize(bytes.size() - drop);
  return bytes;
}

TEST(Gif, Refusals) {
  const std::uint32_t clear = 4, end = 5;
  const auto with_blocks = [](Bytes blocks) {
    GifSpec spec;
    spec.blocks = std::move(blocks);
    return MakeGif(spec);
  };
  const auto with_codes = [](std::vector<std::uint32_t> codes) {
    GifSpec spec;
    spec.code_data = SubBlocks(PackCodes(2, codes));
    return MakeGif(spec);
  };
  const auto with = [](auto change) {
    GifSpec spec;
    change(spec);
    return MakeGif(spec);
  };
  const Bytes good = MakeGif(GifSpec{});
  const Bytes header_only(good.begin(), good.begin() + 13);
  const std::size_t global_end = 13 + 4 * 3;
  struct Case {
    const char* what;
    Bytes bytes;
  };
  const Case cases[] = {
      {"version GIF88a", with([](GifSpec& s) { s.signature = "GIF88a"; })},
      {"four bytes", Bytes(good.begin(), good.begin() + 4)},
      {"five bytes", Bytes(good.begin(), good.begin() + 5)},
      {"thirteen bytes", header_only},
      {"global table reaching the end", Bytes(good.begin(), good.begin() + global_end)},
      {"global table passing the end", Bytes(good.begin(), good.begin() + global_end - 1)},
      {"trailer before any image", with_blocks({0x3B})},
      {"zero byte before any image", with_blocks({0x00})},
      {"unknown block", with_blocks({0x42})},
      {"unknown extension label", with_blocks({0x21, 0x99, 0})},
      {"comment chain past the end",
       Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0, 0x21, 0xFE, 9, 'x'}},
      {"extensions up to the end, no image",
       Truncated(with_blocks({0x21, 0xFE, 0}), good.size() - global_end)},
      {"image descriptor cut short", Bytes(good.begin(), good.begin() + global_end + 6)},
      {"local table past the end",
       [&] {
         const Bytes full = with([](GifSpec& s) { s.local.assign(256, 0); });
         return Bytes(full.begin(), full.begin() + std::ptrdiff_t(global_end + 10 + 100));
       }()},
      {"minimum code size 0", with([](GifSpec& s) {
         s.min_code_size = 0;
         s.code_data = {1, 0, 0};
       })},
      {"minimum code size 9", with([](GifSpec& s) {
         s.min_code_size = 9;
         s.code_data = {1, 0, 0};
       })},
      {"code naming an entry not yet made", with_codes({clear, 0, 7, end})},
      {"first code after a clear is the first free code", with_codes({clear, 6, end})},
      {"first code after a clear beyond the first free code",
       with_codes({clear, 1, clear, 7, end})},
      {"end code before the last pixel", with_codes({clear, 0, 1, 2, end})},
      {"sub-blocks end before the last pixel", with_codes({clear, 0, 1, 2})},
      {"data ends inside the code stream", Truncated(good, 4)},
      {"huge logical screen", with([](GifSpec& s) { s.screen_width = s.screen_height = 65535; })},
      {"huge image with a short stream", with([](GifSpec& s) { s.width = s.height = 8000; })},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(Decode(c.bytes).has_value()) << c.what;
  }
  EXPECT_TRUE(Decode(good).has_value());
}

}  // namespace
}  // namespace picture_test
