#include "stage/sound/wave_format.h"

#include <cstring>

namespace stage {
namespace {

std::uint16_t ReadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t ReadLe32(const std::uint8_t* p) {
  return std::uint32_t{ReadLe16(p)} | std::uint32_t{ReadLe16(p + 2)} << 16;
}

// Every sub-format GUID of an extensible block ends in these 14 bytes; its first two bytes are
// the plain format tag.
constexpr std::uint8_t kSubFormatSuffix[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                               0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

}  // namespace

std::optional<WaveFormat> ParseWaveFormat(std::span<const std::uint8_t> block) {
  if (block.size() < 16) return std::nullopt;
  WaveFormat format;
  format.tag = ReadLe16(&block[0]);
  format.channels = ReadLe16(&block[2]);
  format.samples_per_second = ReadLe32(&block[4]);
  format.average_bytes_per_second = ReadLe32(&block[8]);
  format.block_align = ReadLe16(&block[12]);
  format.bits_per_sample = ReadLe16(&block[14]);
  if (format.tag == kWaveFormatExtensible) {
    if (block.size() < 40 || ReadLe16(&block[16]) < 22 ||
        std::memcmp(&block[26], kSubFormatSuffix, sizeof kSubFormatSuffix) != 0) {
      return std::nullopt;
    }
    format.tag = ReadLe16(&block[24]);
  }
  return format;
}

bool IsLinearWaveFormat(const WaveFormat& format) {
  const unsigned bits = format.bits_per_sample;
  const bool pcm =
      format.tag == kWaveFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
  const bool fp = format.tag == kWaveFormatIeeeFloat && (bits == 32 || bits == 64);
  return (pcm || fp) && format.channels >= 1 && format.channels <= 32 &&
         format.samples_per_second > 0 && format.block_align == format.channels * bits / 8;
}

}  // namespace stage
