// mediagen OUTDIR [--sheet FILE] [--only NAME] [--finale-wav FILE]
//
// Draws, quantises, encodes and writes every picture and clip of the show's media into
// OUTDIR, the same bytes on every run. With --sheet it also writes the review contact sheet;
// --finale-wav writes the finale as 16-bit WAV before encoding, for listening and measuring.
// MEDIAGEN_DEBUG=1 in the environment reports how each subject was scaled to its share.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "art.h"
#include "clips.h"
#include "glyph.h"
#include "picture.h"
#include "sheet.h"

namespace {

using mediagen::PictureSpec;

// Name, size, screen flags, background index, frames, disposal, delay, transparency flag and
// index, transparent and white shares (percent), byte count.
const PictureSpec kPictures[] = {
    {"RosePic01", 147, 90, 0x87, 0, 1, 1, 10, false, 255, 0, 56.2, 6684},
    {"RosePic02", 100, 77, 0x87, 190, 1, 1, 10, false, 255, 0, 44.2, 5172},
    {"RosePic03", 115, 115, 0xF7, 255, 1, 0, 0, true, 255, 79.0, 79.3, 3432, true},
    {"RosePic04", 125, 135, 0x87, 125, 1, 1, 10, true, 255, 0, 69.5, 5792},
    {"RosePic05", 130, 129, 0xF7, 0, 1, 0, 0, true, 255, 28.2, 28.2, 11858},
    {"RosePic06", 147, 163, 0xF7, 0, 1, 0, 0, true, 255, 44.8, 44.8, 12974},
    {"RosePic07", 147, 110, 0xF7, 0, 1, 0, 0, true, 255, 46.8, 46.8, 8883},
    {"RosePic08", 147, 125, 0xF7, 0, 1, 0, 0, true, 255, 40.8, 40.8, 11677},
    {"RosePic09", 147, 139, 0xF7, 0, 1, 0, 0, true, 255, 33.4, 33.4, 13818},
    {"RosePic10", 147, 102, 0xF7, 0, 1, 0, 0, true, 255, 58.5, 58.7, 7038},
    {"RosePic11", 147, 98, 0xF7, 0, 1, 0, 0, true, 255, 0, 0.2, 13913},
    {"RosePic12", 147, 142, 0xF7, 0, 1, 0, 0, true, 255, 80.0, 80.0, 6326},
    {"RosePic13", 147, 134, 0xF7, 0, 1, 0, 0, true, 255, 42.6, 42.6, 11018},
    {"RosePic14", 147, 124, 0xF7, 0, 1, 0, 0, true, 255, 28.2, 28.2, 12043},
    {"RosePic15", 147, 131, 0xF7, 0, 1, 0, 0, true, 255, 36.7, 36.8, 11647},
    {"GreetingPic1", 400, 400, 0xF7, 0, 1, 0, 0, true, 255, 84.1, 84.1, 17295},
    {"GreetingPic2", 400, 400, 0xF7, 255, 4, 1, 10, true, 255, 79.3, 79.3, 36462},
    {"GreetingPic3", 400, 400, 0xF7, 0, 1, 0, 0, true, 169, 81.3, 81.3, 28237},
    {"GreetingPic4", 400, 400, 0xF7, 0, 1, 0, 0, true, 229, 82.0, 82.0, 14876},
    {"CakePic", 1010, 737, 0xF7, 0, 1, 0, 0, true, 255, 39.6, 40.2, 271521},
};

// The encoder the committed clip was made with; another one makes other (equally valid) bytes.
constexpr const char* kMp3Encoder = "LAME3.100";

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return bool(out);
}

}  // namespace

int main(int argc, char** argv) {
  std::string outdir, sheet, only, finale_wav;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--sheet" && i + 1 < argc) {
      sheet = argv[++i];
    } else if (arg == "--finale-wav" && i + 1 < argc) {
      finale_wav = argv[++i];
    } else if (arg == "--only" && i + 1 < argc) {
      only = argv[++i];
    } else if (outdir.empty() && arg[0] != '-') {
      outdir = arg;
    } else {
      std::fprintf(stderr, "usage: mediagen OUTDIR [--sheet FILE] [--only NAME]\n");
      return 2;
    }
  }
  if (outdir.empty()) {
    std::fprintf(stderr, "usage: mediagen OUTDIR [--sheet FILE] [--only NAME]\n");
    return 2;
  }
  std::error_code ec;
  std::filesystem::create_directories(outdir, ec);
  const std::filesystem::path dir(outdir);

  std::string error;
  auto glyphs = mediagen::GlyphSource::Open(mediagen::kGlyphFont, &error);
  if (!glyphs) {
    std::fprintf(stderr, "mediagen: %s\n", error.c_str());
    return 1;
  }
  if (glyphs->file_hash() != mediagen::kGlyphFontHash) {
    std::fprintf(stderr,
                 "mediagen: warning: font %s differs from the one the committed media were made "
                 "with (hash %016llx, expected %016llx); the greeting pictures will differ\n",
                 mediagen::kGlyphFont, static_cast<unsigned long long>(glyphs->file_hash()),
                 static_cast<unsigned long long>(mediagen::kGlyphFontHash));
  }

  int failures = 0;
  std::vector<mediagen::SheetItem> sheet_items;
  for (const PictureSpec& spec : kPictures) {
    if (!only.empty() && only != spec.name) continue;
    auto art = mediagen::ArtFor(spec, *glyphs);
    auto pic = mediagen::MakePicture(spec, art, true, &error);
    if (!pic) {
      std::fprintf(stderr, "mediagen: %s: %s\n", spec.name, error.c_str());
      ++failures;
      continue;
    }
    if (!WriteFile(dir / (std::string(spec.name) + ".gif"), pic->gif)) ++failures;
    sheet_items.push_back({spec.name, spec.width, spec.height, std::move(pic->rgb)});
  }

  if (only.empty() || only == "AppIcon") {
    if (!WriteFile(dir / "AppIcon.ico",
                   mediagen::MakeIcon(
                       {mediagen::IconRose(48), mediagen::IconRose(32), mediagen::IconRose(16)})))
      ++failures;
  }
  if (only.empty() || only == "OpeningClip") {
    if (!WriteFile(dir / "OpeningClip.wav", mediagen::MakeOpeningClip())) ++failures;
  }
  if (only.empty() || only == "FinaleClip") {
    if (mediagen::Mp3EncoderVersion() != kMp3Encoder) {
      std::fprintf(stderr,
                   "mediagen: warning: MP3 encoder is %s, the committed clip was made by %s; "
                   "FinaleClip will differ\n",
                   mediagen::Mp3EncoderVersion().c_str(), kMp3Encoder);
    }
    auto mp3 = mediagen::MakeFinaleClip(&error);
    if (!mp3 || !WriteFile(dir / "FinaleClip.mp3", *mp3)) {
      std::fprintf(stderr, "mediagen: FinaleClip: %s\n", error.c_str());
      ++failures;
    }
  }

  if (!finale_wav.empty()) {
    const auto pcm = mediagen::RenderFinale();
    std::vector<std::uint8_t> wav;
    auto put = [&](std::uint32_t v, int n) {
      for (int i = 0; i < n; ++i) wav.push_back(std::uint8_t(v >> (8 * i)));
    };
    const std::uint32_t data = std::uint32_t(pcm.size() * 2);
    wav.insert(wav.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    wav.insert(wav.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(2, 2), put(44100, 4), put(44100 * 4, 4), put(4, 2), put(16, 2);
    wav.insert(wav.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (std::int16_t v : pcm) put(std::uint16_t(v), 2);
    if (!WriteFile(finale_wav, wav)) ++failures;
  }

  if (!sheet.empty() && !mediagen::WriteSheet(sheet, sheet_items, *glyphs)) {
    std::fprintf(stderr, "mediagen: cannot write %s\n", sheet.c_str());
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}
