#include "stage/sound/clip.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/sound/wave_builder.h"

namespace stage {
namespace {

using namespace std::string_literals;

using testing::BuildRiff;
using testing::Bytes;
using testing::Chunk;
using testing::Pattern;
using testing::PcmFormat;

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

Bytes Prefix(const Bytes& bytes, std::size_t n) {
  return Bytes(bytes.begin(), bytes.begin() + n);
}

Bytes Concat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(ClassifyClip, ByFirstBytes) {
  const struct {
    const char* name;
    Bytes clip;
    ClipKind kind;
  } cases[] = {
      {"empty", {}, ClipKind::kRefused},
      {"RIFF/WAVE header only", Text("RIFF\x04\0\0\0WAVE"s), ClipKind::kWave},
      {"RIFF/WAVE cut at 11 bytes", Text("RIFF\x04\0\0\0WAV"s), ClipKind::kRefused},
      {"RIFF of another form", Text("RIFF\x04\0\0\0AVI LIST"s), ClipKind::kRefused},
      {"big-endian RIFF", Text("RIFX\x04\0\0\0WAVE"s), ClipKind::kRefused},
      {"MThd alone", Text("MThd"s), ClipKind::kRefused},
      {"MThd and one byte", Text("MThd\0"s), ClipKind::kMidi},
      {"MPEG audio frame", {0xFF, 0xFB, 0x90, 0x64, 0x00, 0x00, 0x00, 0x00}, ClipKind::kRefused},
      {"MPEG audio with ID3 tag", Text("ID3\x03\0\0\0\0\0\0"s), ClipKind::kRefused},
  };
  for (const auto& c : cases) EXPECT_EQ(ClassifyClip(c.clip), c.kind) << c.name;
}

TEST(ParseWaveClip, ChunkWalk) {
  const Bytes fmt = PcmFormat(1, 8000, 8);
  const Bytes other_fmt = PcmFormat(2, 22050, 16);
  const Bytes odd = Pattern(101, 1);  // an odd body, followed by a pad byte when padded
  const Bytes even = Pattern(64, 2);
  const Bytes data_header_only = Concat(BuildRiff({{"fmt ", fmt}}, 1000), Text("data\x10\0\0\0"s));
  // The fmt and data chunk (24 + 8 bytes of headers) and the first body byte inside the RIFF
  // size; the rest of the body lies outside it but inside the clip.
  const std::uint32_t riff_to_first_sample = 4 + 24 + 8 + 1;

  const struct {
    const char* name;
    Bytes clip;
    bool accepted;
    Bytes format = {};
    Bytes samples = {};
  } cases[] = {
      {"fmt then data", BuildRiff({{"fmt ", fmt}, {"data", even}}), true, fmt, even},
      {"data then fmt", BuildRiff({{"data", even}, {"fmt ", fmt}}), true, fmt, even},
      {"odd chunk before fmt, padded", BuildRiff({{"LIST", odd}, {"fmt ", fmt}, {"data", even}}),
       true, fmt, even},
      {"odd data before fmt, padded", BuildRiff({{"data", odd}, {"fmt ", fmt}}), true, fmt, odd},
      {"odd chunk without its pad byte misleads the walk",
       BuildRiff({{"LIST", odd, std::nullopt, false}, {"fmt ", fmt}, {"data", even}}), false},
      {"pad byte missing at the end",
       BuildRiff({{"fmt ", fmt}, {"data", odd, std::nullopt, false}}), true, fmt, odd},
      {"data size past the clip: only the held bytes",
       BuildRiff({{"fmt ", fmt}, {"data", odd, 5000, false}}), true, fmt, odd},
      {"data body past the RIFF size but inside the clip",
       BuildRiff({{"fmt ", fmt}, {"data", odd}}, riff_to_first_sample), true, fmt, odd},
      {"data header past the RIFF size", BuildRiff({{"fmt ", fmt}, {"data", even}}, 4 + 24), false},
      {"data header cut by the end of the clip",
       Concat(BuildRiff({{"fmt ", fmt}}, 1000), Text("data\x10\0"s)), false},
      {"data header at the end, no body held", data_header_only, false},
      {"chunk size that jumps past everything",
       BuildRiff({{"junk", even, 0xFFFFFFFFu}, {"fmt ", fmt}, {"data", even}}), false},
      {"first fmt and first data are used",
       BuildRiff({{"fmt ", fmt}, {"fmt ", other_fmt}, {"data", even}, {"data", odd}}), true, fmt,
       even},
      {"fmt body past the clip: only the held bytes",
       BuildRiff({{"data", even}, {"fmt ", fmt, 40, false}}), true, fmt, even},
      {"no fmt", BuildRiff({{"LIST", even}, {"data", even}}), false},
      {"no data", BuildRiff({{"fmt ", fmt}, {"LIST", even}}), false},
      {"empty data", BuildRiff({{"fmt ", fmt}, {"data", {}}}), false},
      {"RIFF size 0", BuildRiff({{"fmt ", fmt}, {"data", even}}, 0), false},
      {"35 bytes", Prefix(BuildRiff({{"fmt ", fmt}, {"data", even}}), 35), false},
      {"not WAVE", Text("RIFF\x40\0\0\0AVI fmt \x10\0\0\0................data"s), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<WaveClip> clip = ParseWaveClip(c.clip);
    ASSERT_EQ(clip.has_value(), c.accepted);
    if (!clip) continue;
    EXPECT_EQ(Bytes(clip->format.begin(), clip->format.end()), c.format);
    EXPECT_EQ(Bytes(clip->samples.begin(), clip->samples.end()), c.samples);
    // Views into the clip itself: nothing is read from outside it.
    EXPECT_GE(clip->samples.data(), c.clip.data());
    EXPECT_LE(clip->samples.data() + clip->samples.size(), c.clip.data() + c.clip.size());
  }
}

}  // namespace
}  // namespace stage
