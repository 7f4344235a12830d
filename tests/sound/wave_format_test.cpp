#include "stage/sound/wave_format.h"

#include <gtest/gtest.h>

#include "tests/sound/wave_builder.h"

namespace stage {
namespace {

using testing::Bytes;
using testing::PcmFormat;
using testing::PutLe16;
using testing::PutLe32;

Bytes Extensible(std::uint16_t sub_tag, bool valid_guid = true) {
  Bytes out = PcmFormat(2, 48000, 32, kWaveFormatExtensible);
  PutLe16(out, 22);  // extra bytes
  PutLe16(out, 32);  // valid bits
  PutLe32(out, 3);   // channel mask
  PutLe16(out, sub_tag);
  const std::uint8_t suffix[14] = {
      0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
      0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, std::uint8_t(valid_guid ? 0x71 : 0x00)};
  out.insert(out.end(), suffix, suffix + 14);
  return out;
}

TEST(WaveFormat, ReadsFieldsAndResolvesExtensibleBlocks) {
  const std::optional<WaveFormat> pcm = ParseWaveFormat(PcmFormat(1, 8000, 8));
  ASSERT_TRUE(pcm);
  EXPECT_EQ(pcm->tag, kWaveFormatPcm);
  EXPECT_EQ(pcm->channels, 1);
  EXPECT_EQ(pcm->samples_per_second, 8000u);
  EXPECT_EQ(BytesPerSecond(*pcm), 8000u);

  const std::optional<WaveFormat> ext = ParseWaveFormat(Extensible(kWaveFormatIeeeFloat));
  ASSERT_TRUE(ext);
  EXPECT_EQ(ext->tag, kWaveFormatIeeeFloat);
  EXPECT_EQ(BytesPerSecond(*ext), 48000u * 8);

  EXPECT_FALSE(ParseWaveFormat(Extensible(kWaveFormatPcm, /*valid_guid=*/false)));
  const Bytes short_block(15, 0);
  EXPECT_FALSE(ParseWaveFormat(short_block));
}

TEST(WaveFormat, LinearFormats) {
  const struct {
    Bytes block;
    bool linear;
  } cases[] = {
      {PcmFormat(1, 8000, 8), true},
      {PcmFormat(2, 44100, 16), true},
      {PcmFormat(6, 48000, 24), true},
      {PcmFormat(2, 96000, 32, kWaveFormatIeeeFloat), true},
      {PcmFormat(1, 8000, 4, 0x0011), false},  // IMA ADPCM
      {PcmFormat(1, 8000, 12), false},
      {PcmFormat(0, 8000, 8), false},
      {PcmFormat(1, 0, 8), false},
      {PcmFormat(1, 8000, 16, kWaveFormatIeeeFloat), false},
  };
  for (const auto& c : cases) {
    const std::optional<WaveFormat> format = ParseWaveFormat(c.block);
    ASSERT_TRUE(format);
    EXPECT_EQ(IsLinearWaveFormat(*format), c.linear)
        << format->tag << " " << format->channels << "x" << format->bits_per_sample;
  }
  WaveFormat misaligned = *ParseWaveFormat(PcmFormat(2, 8000, 16));
  misaligned.block_align = 2;
  EXPECT_FALSE(IsLinearWaveFormat(misaligned));
}

}  // namespace
}  // namespace stage
