// Every embedded item against the catalogue: byte counts, the exact GIF layout and shares,
// the WAV fields and the MP3 frame layout, read from the bytes built into the program.

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "media/catalogue.h"
#include "stage/picture/picture.h"

namespace {

using Bytes = std::span<const std::uint8_t>;

struct PictureRow {
  const char* name;
  stage::ByteSetView (*item)();
  std::int32_t bytes;
  int width, height;
  std::uint8_t packed, background;
  int frames, disposal, delay;
  bool transparent_flag;
  int transparent_index;
  double transparent_share, white_share;
};

const PictureRow kPictures[] = {
    {"RosePic01", media::RosePic01, 6684, 147, 90, 0x87, 0, 1, 1, 10, false, 255, 0, 56.2},
    {"RosePic02", media::RosePic02, 5172, 100, 77, 0x87, 190, 1, 1, 10, false, 255, 0, 44.2},
    {"RosePic03", media::RosePic03, 3432, 115, 115, 0xF7, 255, 1, 0, 0, true, 255, 79.0, 79.3},
    {"RosePic04", media::RosePic04, 5792, 125, 135, 0x87, 125, 1, 1, 10, true, 255, 0, 69.5},
    {"RosePic05", media::RosePic05, 11858, 130, 129, 0xF7, 0, 1, 0, 0, true, 255, 28.2, 28.2},
    {"RosePic06", media::RosePic06, 12974, 147, 163, 0xF7, 0, 1, 0, 0, true, 255, 44.8, 44.8},
    {"RosePic07", media::RosePic07, 8883, 147, 110, 0xF7, 0, 1, 0, 0, true, 255, 46.8, 46.8},
    {"RosePic08", media::RosePic08, 11677, 147, 125, 0xF7, 0, 1, 0, 0, true, 255, 40.8, 40.8},
    {"RosePic09", media::RosePic09, 13818, 147, 139, 0xF7, 0, 1, 0, 0, true, 255, 33.4, 33.4},
    {"RosePic10", media::RosePic10, 7038, 147, 102, 0xF7, 0, 1, 0, 0, true, 255, 58.5, 58.7},
    {"RosePic11", media::RosePic11, 13913, 147, 98, 0xF7, 0, 1, 0, 0, true, 255, 0, 0.2},
    {"RosePic12", media::RosePic12, 6326, 147, 142, 0xF7, 0, 1, 0, 0, true, 255, 80.0, 80.0},
    {"RosePic13", media::RosePic13, 11018, 147, 134, 0xF7, 0, 1, 0, 0, true, 255, 42.6, 42.6},
    {"RosePic14", media::RosePic14, 12043, 147, 124, 0xF7, 0, 1, 0, 0, true, 255, 28.2, 28.2},
    {"RosePic15", media::RosePic15, 11647, 147, 131, 0xF7, 0, 1, 0, 0, true, 255, 36.7, 36.8},
    {"GreetingPic1", media::GreetingPic1, 17295, 400, 400, 0xF7, 0, 1, 0, 0, true, 255, 84.1, 84.1},
    {"GreetingPic2", media::GreetingPic2, 36462, 400, 400, 0xF7, 255, 4, 1, 10, true, 255, 79.3,
     79.3},
    {"GreetingPic3", media::GreetingPic3, 28237, 400, 400, 0xF7, 0, 1, 0, 0, true, 169, 81.3, 81.3},
    {"GreetingPic4", media::GreetingPic4, 14876, 400, 400, 0xF7, 0, 1, 0, 0, true, 229, 82.0, 82.0},
    {"CakePic", media::CakePic, 271521, 1010, 737, 0xF7, 0, 1, 0, 0, true, 255, 39.6, 40.2},
};

void PrintTo(const PictureRow& row, std::ostream* os) {
  *os << row.name;
}

// ---- A strict reader of the GIF layout the catalogue fixes ---------------------------------

struct GifImage {
  int gce_packed, delay, transparent_index, gce_block_size;
  int left, top, width, height, flags, min_code_size;
  std::vector<std::uint8_t> indices;
};

struct GifFile {
  int width, height, packed, background, aspect;
  const std::uint8_t* palette;
  bool loop_extension = false;
  std::vector<GifImage> images;
  std::size_t trailer_end = 0;  // offset just past 0x3B
};

// Decodes one image's code stream; fails unless a clear comes before the table fills, the
// stream ends with the end-of-information code and nothing but padding bits follows it.
std::string DecodeLzw(const std::vector<std::uint8_t>& data, int min, std::size_t count,
                      std::vector<std::uint8_t>& out) {
  const int clear = 1 << min, end = clear + 1;
  std::vector<int> prefix(4096, -1);
  std::vector<std::uint8_t> suffix(4096);
  for (int i = 0; i < clear; ++i) suffix[i] = std::uint8_t(i);
  int bits = min + 1, next = clear + 2, prev = -1;
  std::size_t pos = 0;
  bool first = true;
  std::vector<std::uint8_t> str;
  for (;;) {
    if (pos + bits > data.size() * 8) return "code stream ends before its end code";
    int code = 0;
    for (int b = 0; b < bits; ++b, ++pos) code |= ((data[pos / 8] >> (pos % 8)) & 1) << b;
    if (first && code != clear) return "code stream does not start with a clear code";
    first = false;
    if (code == clear) {
      bits = min + 1, next = clear + 2, prev = -1;
      continue;
    }
    if (code == end) break;
    if (prev < 0) {
      if (code >= clear) return "first code after a clear is not a pixel";
      out.push_back(std::uint8_t(code));
      prev = code;
      continue;
    }
    if (next >= 4096) return "code table full without a clear code";
    if (code > next) return "code beyond the table";
    int walk = code == next ? prev : code;
    str.clear();
    while (walk >= clear) str.push_back(suffix[walk]), walk = prefix[walk];
    str.push_back(std::uint8_t(walk));
    std::reverse(str.begin(), str.end());
    if (code == next) str.push_back(str.front());
    prefix[next] = prev, suffix[next] = str.front();
    if (++next >= (1 << bits) && bits < 12) ++bits;
    out.insert(out.end(), str.begin(), str.end());
    prev = code;
  }
  if ((pos + 7) / 8 != data.size()) return "bytes follow the end code";
  if (out.size() != count) return "pixel count " + std::to_string(out.size());
  return "";
}

std::string ParseGif(Bytes f, GifFile& g) {
  if (f.size() < 13 + 768 || std::memcmp(f.data(), "GIF89a", 6) != 0) return "not GIF89a";
  auto u16 = [&](std::size_t at) { return f[at] | (f[at + 1] << 8); };
  g.width = u16(6), g.height = u16(8), g.packed = f[10], g.background = f[11], g.aspect = f[12];
  g.palette = f.data() + 13;
  std::size_t pos = 13 + 768;
  int pending_gce = -1;
  GifImage im{};
  while (pos < f.size()) {
    const std::uint8_t b = f[pos];
    if (b == 0x3B) {
      g.trailer_end = pos + 1;
      return pending_gce >= 0 ? "control extension without an image" : "";
    }
    if (b == 0x21 && pos + 1 < f.size() && f[pos + 1] == 0xFF) {
      if (pos != 13 + 768 || g.loop_extension) return "application extension out of place";
      static const std::uint8_t loop[] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                          'E',  '2',  '.',  '0', 3,   1,   0,   0,   0};
      if (pos + sizeof loop > f.size() || std::memcmp(&f[pos], loop, sizeof loop) != 0)
        return "application extension is not a forever loop";
      g.loop_extension = true;
      pos += sizeof loop;
      continue;
    }
    if (b == 0x21 && pos + 8 <= f.size() && f[pos + 1] == 0xF9) {
      if (pending_gce >= 0) return "two control extensions before one image";
      im.gce_block_size = f[pos + 2];
      im.gce_packed = f[pos + 3], im.delay = u16(pos + 4), im.transparent_index = f[pos + 6];
      if (f[pos + 7] != 0) return "control extension not terminated";
      pending_gce = 1;
      pos += 8;
      continue;
    }
    if (b == 0x2C) {
      if (pending_gce < 0) return "image without a control extension before it";
      if (pos + 11 > f.size()) return "truncated image descriptor";
      im.left = u16(pos + 1), im.top = u16(pos + 3), im.width = u16(pos + 5),
      im.height = u16(pos + 7);
      im.flags = f[pos + 9], im.min_code_size = f[pos + 10];
      pos += 11;
      std::vector<std::uint8_t> data;
      while (pos < f.size() && f[pos] != 0) {
        const std::size_t n = f[pos];
        if (pos + 1 + n > f.size()) return "sub-block runs past the end";
        data.insert(data.end(), &f[pos + 1], &f[pos + 1] + n);
        pos += 1 + n;
      }
      if (pos >= f.size()) return "image data not terminated";
      ++pos;
      const std::string lzw =
          DecodeLzw(data, im.min_code_size, std::size_t(im.width) * im.height, im.indices);
      if (!lzw.empty()) return "image " + std::to_string(g.images.size() + 1) + ": " + lzw;
      g.images.push_back(std::move(im));
      im = GifImage{};
      pending_gce = -1;
      continue;
    }
    return "unexpected block 0x" + std::to_string(b) + " at " + std::to_string(pos);
  }
  return "no trailer";
}

bool IsWhite(const std::uint8_t* palette, int index) {
  return palette[index * 3] == 255 && palette[index * 3 + 1] == 255 &&
         palette[index * 3 + 2] == 255;
}

// Rounds a share to the tenth of a percent the catalogue states it in.
double Tenth(std::size_t part, std::size_t whole) {
  return std::round(1000.0 * double(part) / double(whole)) / 10.0;
}

class PictureTest : public testing::TestWithParam<PictureRow> {};

TEST_P(PictureTest, HasTheCataloguedLayout) {
  const PictureRow& row = GetParam();
  const stage::ByteSetView view = row.item();
  const Bytes bytes = view.bytes();
  std::int32_t dims;
  std::memcpy(&dims, view.block(), 4);
  EXPECT_EQ(dims, 1);
  ASSERT_EQ(view.length(), row.bytes);

  GifFile g;
  ASSERT_EQ(ParseGif(bytes, g), "");
  EXPECT_EQ(g.width, row.width);
  EXPECT_EQ(g.height, row.height);
  EXPECT_EQ(g.packed, row.packed);
  EXPECT_EQ(g.packed & 0x08, 0) << "global table marked sorted";
  EXPECT_EQ(g.background, row.background);
  EXPECT_EQ(g.aspect, 0);
  EXPECT_EQ(g.loop_extension, row.frames > 1);
  ASSERT_EQ(int(g.images.size()), row.frames);
  for (std::size_t i = 0; i < g.images.size(); ++i) {
    const GifImage& im = g.images[i];
    SCOPED_TRACE("image " + std::to_string(i + 1));
    EXPECT_EQ(im.gce_block_size, 4);
    EXPECT_EQ((im.gce_packed >> 2) & 7, row.disposal);
    EXPECT_EQ(im.gce_packed & 1, row.transparent_flag ? 1 : 0);
    EXPECT_EQ(im.delay, row.delay);
    EXPECT_EQ(im.transparent_index, row.transparent_index);
    EXPECT_EQ(im.flags, 0) << "local table or interlace";
    EXPECT_EQ(im.min_code_size, 8);
    const bool whole = i == 0;
    EXPECT_EQ(im.left, whole ? 0 : 81);
    EXPECT_EQ(im.top, whole ? 0 : 55);
    EXPECT_EQ(im.width, whole ? row.width : 249);
    EXPECT_EQ(im.height, whole ? row.height : 269);
  }
  // Only RosePic03 carries a line break after its trailer.
  const std::vector<std::uint8_t> tail(bytes.begin() + long(g.trailer_end), bytes.end());
  const std::vector<std::uint8_t> line_break = {0x0D, 0x0A};
  EXPECT_EQ(tail, row.name == std::string("RosePic03") ? line_break : std::vector<std::uint8_t>());

  const GifImage& first = g.images.front();
  const std::size_t total = first.indices.size();
  std::size_t transparent = 0, white = 0;
  for (std::uint8_t i : first.indices) {
    transparent += row.transparent_flag && i == row.transparent_index;
    white += IsWhite(g.palette, i);
  }
  EXPECT_DOUBLE_EQ(Tenth(transparent, total), row.transparent_share);
  EXPECT_DOUBLE_EQ(Tenth(white, total), row.white_share);

  // The ground: corners are pure white, whichever entry carries it, except the close-up.
  const int w = row.width, h = row.height;
  for (std::size_t corner :
       {std::size_t(0), std::size_t(w - 1), std::size_t(w) * (h - 1), std::size_t(w) * h - 1}) {
    EXPECT_EQ(IsWhite(g.palette, first.indices[corner]), row.name != std::string("RosePic11"))
        << "corner " << corner;
  }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, PictureTest, testing::ValuesIn(kPictures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PictureDetails, GroundsWithoutTransparencyUseTheBackgroundEntry) {
  struct Case {
    stage::ByteSetView (*item)();
    int ground;
  };
  for (const Case& c :
       {Case{media::RosePic01, 0}, Case{media::RosePic02, 190}, Case{media::RosePic04, 125}}) {
    GifFile g;
    ASSERT_EQ(ParseGif(c.item().bytes(), g), "");
    EXPECT_TRUE(IsWhite(g.palette, c.ground));
    EXPECT_EQ(g.images[0].indices[0], c.ground);
  }
  // RosePic04 names index 255 as transparent: a black entry that no pixel carries.
  GifFile g;
  ASSERT_EQ(ParseGif(media::RosePic04().bytes(), g), "");
  EXPECT_EQ(g.palette[765] | g.palette[766] | g.palette[767], 0);
  EXPECT_EQ(std::count(g.images[0].indices.begin(), g.images[0].indices.end(), 255), 0);
}

TEST(PictureDetails, GreetingRimChangesColourInsideTheRepaintedArea) {
  GifFile g;
  ASSERT_EQ(ParseGif(media::GreetingPic2().bytes(), g), "");
  // Outside frames 2 to 4 the first frame shows only its (transparent) ground.
  const auto& first = g.images[0].indices;
  std::size_t outside_ink = 0;
  for (int y = 0; y < 400; ++y)
    for (int x = 0; x < 400; ++x)
      outside_ink += (x < 81 || x >= 330 || y < 55 || y >= 324) && first[y * 400 + x] != 255;
  EXPECT_EQ(outside_ink, 0u);
  // Each later frame differs from the one before.
  for (int i = 1; i < 4; ++i) {
    std::vector<std::uint8_t> crop;
    for (int y = 0; y < 269; ++y)
      for (int x = 0; x < 249; ++x)
        crop.push_back(i == 1 ? first[(y + 55) * 400 + x + 81]
                              : g.images[i - 1].indices[y * 249 + x]);
    EXPECT_NE(crop, g.images[i].indices) << "frame " << i + 1;
  }
}

// ---- giflib and the stage's own decoder ----------------------------------------------------

struct GiflibPicture {
  int width = 0, height = 0, frames = 0;
  std::vector<std::uint32_t> first_rgb;  // 0x00RRGGBB, first image placed on white
};

std::optional<GiflibPicture> DecodeWithGiflib(Bytes bytes) {
  struct Source {
    Bytes data;
    std::size_t pos = 0;
  } source{bytes};
  auto read = [](GifFileType* f, GifByteType* out, int n) -> int {
    auto* s = static_cast<Source*>(f->UserData);
    const int k = int(std::min<std::size_t>(std::size_t(n), s->data.size() - s->pos));
    std::memcpy(out, s->data.data() + s->pos, std::size_t(k));
    s->pos += std::size_t(k);
    return k;
  };
  int err = 0;
  GifFileType* gif = DGifOpen(&source, read, &err);
  if (gif == nullptr) return std::nullopt;
  std::optional<GiflibPicture> out;
  if (DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0 && gif->SColorMap != nullptr) {
    GiflibPicture p;
    p.width = gif->SWidth, p.height = gif->SHeight, p.frames = gif->ImageCount;
    p.first_rgb.assign(std::size_t(p.width) * p.height, 0xFFFFFF);
    const SavedImage& im = gif->SavedImages[0];
    const ColorMapObject* map = im.ImageDesc.ColorMap ? im.ImageDesc.ColorMap : gif->SColorMap;
    for (int y = 0; y < im.ImageDesc.Height && y < p.height; ++y)
      for (int x = 0; x < im.ImageDesc.Width && x < p.width; ++x) {
        const GifColorType c = map->Colors[im.RasterBits[y * im.ImageDesc.Width + x]];
        p.first_rgb[std::size_t(y) * p.width + x] = (c.Red << 16) | (c.Green << 8) | c.Blue;
      }
    out = std::move(p);
  }
  DGifCloseFile(gif, &err);
  return out;
}

TEST_P(PictureTest, DecodesWithGiflibAndTheStageAlike) {
  const PictureRow& row = GetParam();
  const stage::ByteSetView view = row.item();
  const auto reference = DecodeWithGiflib(view.bytes());
  ASSERT_TRUE(reference.has_value());
  EXPECT_EQ(reference->width, row.width);
  EXPECT_EQ(reference->height, row.height);
  EXPECT_EQ(reference->frames, row.frames);

  const auto picture = stage::DecodePicture(view.data(), view.length());
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->format(), stage::PictureFormat::Gif);
  const stage::ScreenBitmap bitmap = stage::MakeScreenBitmap(*picture);
  ASSERT_EQ(bitmap.width, row.width);
  ASSERT_EQ(bitmap.height, row.height);
  std::size_t differ = 0;
  for (std::size_t i = 0; i < reference->first_rgb.size(); ++i)
    differ += (bitmap.pixels[i] & 0xFFFFFF) != reference->first_rgb[i];
  EXPECT_EQ(differ, 0u) << "pixels where the stage and giflib disagree";
}

// ---- The clips -----------------------------------------------------------------------------

std::uint32_t Le32(Bytes b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
std::uint32_t Be32(Bytes b, std::size_t at) {
  return (std::uint32_t(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

TEST(Clips, OpeningClipIsAnOddLengthWaveWithoutPadByte) {
  const Bytes w = media::OpeningClip().bytes();
  ASSERT_EQ(w.size(), 528881u);
  const std::string head(reinterpret_cast<const char*>(w.data()), 44);
  EXPECT_EQ(head.substr(0, 4), "RIFF");
  EXPECT_EQ(Le32(w, 4), 528873u);
  EXPECT_EQ(head.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(Le32(w, 16), 16u);
  const std::uint16_t fmt[] = {1, 1};  // PCM, mono
  EXPECT_EQ(std::memcmp(&w[20], fmt, 4), 0);
  EXPECT_EQ(Le32(w, 24), 8000u);       // sample rate
  EXPECT_EQ(Le32(w, 28), 8000u);       // byte rate
  EXPECT_EQ(w[32] | (w[33] << 8), 1);  // block align
  EXPECT_EQ(w[34] | (w[35] << 8), 8);  // bits per sample
  EXPECT_EQ(head.substr(36, 4), "data");
  EXPECT_EQ(Le32(w, 40), 528837u);
  EXPECT_EQ(44 + Le32(w, 40), w.size()) << "a pad byte or stray data after the samples";
  // Sane levels: silence is 128, nothing clips, and the clip is far from silent.
  int lo = 255, hi = 0;
  double energy = 0;
  for (std::size_t i = 44; i < w.size(); ++i) {
    lo = std::min<int>(lo, w[i]), hi = std::max<int>(hi, w[i]);
    energy += (w[i] - 128.0) * (w[i] - 128.0);
  }
  EXPECT_GT(lo, 0);
  EXPECT_LT(hi, 255);
  EXPECT_GT(std::sqrt(energy / 528837), 8.0);
}

TEST(Clips, FinaleClipIsExactlyItsFramesWithAnInfoHeader) {
  const Bytes m = media::FinaleClip().bytes();
  ASSERT_EQ(m.size(), 3232495u);
  std::map<std::size_t, int> sizes;
  std::size_t pos = 0, frames = 0;
  while (pos + 4 <= m.size()) {
    ASSERT_EQ(m[pos], 0xFF) << "no frame sync at " << pos;
    ASSERT_EQ(m[pos + 1], 0xFB);
    ASSERT_TRUE(m[pos + 2] == 0xD0 || m[pos + 2] == 0xD2) << "header at " << pos;
    ASSERT_EQ(m[pos + 3], 0x00);
    const std::size_t size = 835 + ((m[pos + 2] >> 1) & 1);
    ++sizes[size];
    ++frames;
    pos += size;
  }
  EXPECT_EQ(pos, m.size()) << "the last frame does not end the clip";
  EXPECT_EQ(frames, 3867u);
  EXPECT_EQ(sizes[835], 317);
  EXPECT_EQ(sizes[836], 3550);

  const std::size_t info = 36;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[info]), 4), "Info");
  EXPECT_EQ(Be32(m, info + 4), 15u);
  EXPECT_EQ(Be32(m, info + 8), 3866u);
  EXPECT_EQ(Be32(m, info + 12), 3232495u);
  EXPECT_EQ(Be32(m, info + 116), 57u);  // quality, after the 100-byte table of contents
  const std::size_t lame = info + 120;
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&m[lame]), 4), "LAME");
  EXPECT_EQ(m[lame + 9] & 15, 1) << "constant bit rate";
  EXPECT_EQ(m[lame + 10], 197) << "low-pass 19700 Hz";
  EXPECT_EQ((m[lame + 21] << 4) | (m[lame + 22] >> 4), 576);
  EXPECT_EQ(((m[lame + 22] & 15) << 8) | m[lame + 23], 1161);
  EXPECT_EQ(Be32(m, lame + 28), 3232495u);
  // 3866 sound frames less the encoder's delay and padding: 100.95 s at 44100 Hz.
  EXPECT_EQ(3866 * 1152 - 576 - 1161, 4451895);
}

TEST(AppIcon, HoldsThreeRoseImagesOfEightBitsWithMasks) {
  const Bytes ico = media::AppIcon().bytes();
  ASSERT_GE(ico.size(), 6u + 3 * 16);
  EXPECT_EQ(ico[0] | ico[1] << 8, 0);
  EXPECT_EQ(ico[2] | ico[3] << 8, 1);
  ASSERT_EQ(ico[4] | ico[5] << 8, 3);
  const int sizes[] = {48, 32, 16};
  for (int i = 0; i < 3; ++i) {
    const std::size_t e = 6 + 16 * std::size_t(i);
    const int n = sizes[i];
    EXPECT_EQ(ico[e], n);
    EXPECT_EQ(ico[e + 1], n);
    EXPECT_EQ(ico[e + 6] | ico[e + 7] << 8, 8) << "bits per pixel";
    const std::uint32_t size = Le32(ico, e + 8), offset = Le32(ico, e + 12);
    ASSERT_LE(offset + size, ico.size());
    // Header, 256 colours, the index rows and the 1-bit mask rows, each padded to 4 bytes.
    EXPECT_EQ(size, 40 + 1024 + std::uint32_t((n + 3) / 4 * 4 * n + (n + 31) / 32 * 4 * n));
    EXPECT_EQ(Le32(ico, offset + 8), std::uint32_t(2 * n)) << "height covers image and mask";
    // Mostly red where not masked.
    const std::size_t pixels = offset + 40 + 1024;
    long red = 0, shown = 0;
    for (int p = 0; p < n * n; ++p) {
      const int y = p / n, x = p % n;
      const std::uint8_t mask = ico[pixels + std::size_t((n + 3) / 4 * 4 * n) +
                                    std::size_t(y) * ((n + 31) / 32 * 4) + x / 8];
      if ((mask >> (7 - x % 8)) & 1) continue;
      const std::uint8_t* c =
          &ico[offset + 40 + 4 * ico[pixels + std::size_t(y) * ((n + 3) / 4 * 4) + x]];
      ++shown;
      red += c[2] > c[1] + 40 && c[2] > c[0] + 40;
    }
    EXPECT_GT(shown, n * n / 3);
    EXPECT_GT(red, shown / 2);
  }
  const auto picture = stage::DecodePicture(ico.data(), std::int32_t(ico.size()));
  ASSERT_TRUE(picture.has_value());
  EXPECT_EQ(picture->format(), stage::PictureFormat::IconFile);
}

// ---- The catalogue as a whole --------------------------------------------------------------

TEST(Catalogue, HoldsTwentyTwoDistinctItemsInOrderOfUse) {
  const auto items = media::Items();
  ASSERT_EQ(items.size(), 22u);
  const char* order[] = {
      "OpeningClip",  "RosePic01",    "RosePic02",    "RosePic03", "RosePic04",  "RosePic05",
      "RosePic06",    "RosePic07",    "RosePic08",    "RosePic09", "RosePic10",  "RosePic11",
      "RosePic12",    "RosePic13",    "RosePic14",    "RosePic15", "FinaleClip", "GreetingPic1",
      "GreetingPic2", "GreetingPic3", "GreetingPic4", "CakePic"};
  std::int64_t gif = 0, total = 0;
  for (std::size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].name, order[i]);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(items[i].view.block()) % 4, 0u);
    total += items[i].view.length();
    if (items[i].format == "GIF") gif += items[i].view.length();
    for (std::size_t j = 0; j < i; ++j) {
      const auto a = items[i].view.bytes(), b = items[j].view.bytes();
      EXPECT_FALSE(a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0)
          << items[i].name << " equals " << items[j].name;
    }
  }
  EXPECT_EQ(gif, 510666);
  EXPECT_EQ(total, 4272042);
}

TEST(Catalogue, NamesItemsByAddressOrByContent) {
  for (const media::Item& item : media::Items()) EXPECT_EQ(media::NameOf(item.view), item.name);
  // A copy, as the stage or a picture button keeps one, has the same name.
  const stage::ByteSet copy(media::RosePic03());
  EXPECT_EQ(media::NameOf(copy.view()), "RosePic03");
  EXPECT_EQ(media::NameOf(copy.bytes()), "RosePic03");
  // Same length, other content; a prefix; nothing.
  std::vector<std::uint8_t> changed(copy.bytes().begin(), copy.bytes().end());
  changed[100] ^= 1;
  EXPECT_EQ(media::NameOf(std::span<const std::uint8_t>(changed)), "");
  EXPECT_EQ(media::NameOf(copy.bytes().first(3431)), "");
  EXPECT_EQ(media::NameOf(stage::ByteSetView()), "");
}

}  // namespace
