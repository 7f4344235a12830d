// The generator's GIF writer: any byte count between the greedy code stream and the longest
// one it can make comes out exactly, decodes back to the same pixels with giflib, and a count
// it cannot reach is refused rather than missed.

#include "tools/mediagen/gif_writer.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>

namespace {

using mediagen::GifLayout;

GifLayout SmallPicture() {
  GifLayout g;
  g.width = 80, g.height = 60;
  for (int i = 0; i < 256; ++i)
    g.palette[i * 3] = g.palette[i * 3 + 1] = g.palette[i * 3 + 2] = std::uint8_t(i);
  mediagen::GifImage im{0, 0, 80, 60, {}};
  // Flat tiles with a little texture: compressible, so the writer has room to lengthen it.
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x)
      im.indices.push_back(
          std::uint8_t(x / 10 + y / 10 * 8 + ((x * 7 + y * 3) % 23 == 0 ? 100 : 0)));
  g.images.push_back(im);
  return g;
}

std::vector<std::uint8_t> GiflibPixels(const std::vector<std::uint8_t>& file) {
  struct Source {
    const std::vector<std::uint8_t>* data;
    std::size_t pos;
  } src{&file, 0};
  auto read = [](GifFileType* f, GifByteType* out, int n) -> int {
    auto* s = static_cast<Source*>(f->UserData);
    const int k = int(std::min<std::size_t>(std::size_t(n), s->data->size() - s->pos));
    std::memcpy(out, s->data->data() + s->pos, std::size_t(k));
    s->pos += std::size_t(k);
    return k;
  };
  int err = 0;
  GifFileType* gif = DGifOpen(&src, read, &err);
  if (gif == nullptr) return {};
  std::vector<std::uint8_t> pixels;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount == 1) {
    const SavedImage& im = gif->SavedImages[0];
    pixels.assign(im.RasterBits, im.RasterBits + im.ImageDesc.Width * im.ImageDesc.Height);
  }
  DGifCloseFile(gif, &err);
  return pixels;
}

TEST(GifWriter, HitsEveryReachableByteCountAndStaysDecodable) {
  const GifLayout g = SmallPicture();
  const std::size_t fixed = 13 + 768 + 8 + 10 + 1;
  const std::size_t greedy =
      fixed + mediagen::FramedSize(mediagen::EncodeLzw(g.images[0].indices, 0).size(), 0);
  const std::size_t longest =
      fixed + mediagen::FramedSize(mediagen::EncodeLzw(g.images[0].indices, 4799).size(), 0);
  ASSERT_LT(greedy + 300, longest);
  for (std::size_t target : {greedy, greedy + 1, greedy + 2, greedy + 97, greedy + 255,
                             greedy + 256, (greedy + longest) / 2, longest - 1}) {
    SCOPED_TRACE(target);
    std::string error;
    const auto file = mediagen::WriteGifExact(g, target, &error);
    ASSERT_TRUE(file.has_value()) << error;
    EXPECT_EQ(file->size(), target);
    EXPECT_EQ(GiflibPixels(*file), g.images[0].indices);
    EXPECT_TRUE(mediagen::CheckGifRoundTrip(*file, g));
  }
}

TEST(GifWriter, RefusesByteCountsOutOfReach) {
  const GifLayout g = SmallPicture();
  std::string error;
  EXPECT_FALSE(mediagen::WriteGifExact(g, 900, &error).has_value());
  EXPECT_NE(error.find("compresses"), std::string::npos) << error;
  EXPECT_FALSE(mediagen::WriteGifExact(g, 100000, &error).has_value());
  EXPECT_NE(error, "");
}

}  // namespace
