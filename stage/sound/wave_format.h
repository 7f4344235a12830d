#pragma once
// The wave format block, as a "fmt " chunk carries it, read into its fields.

#include <cstdint>
#include <optional>
#include <span>

namespace stage {

inline constexpr std::uint16_t kWaveFormatPcm = 0x0001;
inline constexpr std::uint16_t kWaveFormatIeeeFloat = 0x0003;
inline constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;

struct WaveFormat {
  // For an extensible block, the tag of its sub-format (PCM or float), so that callers see one
  // kind of block.
  std::uint16_t tag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samples_per_second = 0;
  std::uint32_t average_bytes_per_second = 0;
  std::uint16_t block_align = 0;
  std::uint16_t bits_per_sample = 0;
};

// Null when the block is shorter than the 16 bytes every linear format needs, or is an
// extensible block without a readable sub-format.
std::optional<WaveFormat> ParseWaveFormat(std::span<const std::uint8_t> block);

// Uncompressed samples whose fields agree with each other: PCM of 8, 16, 24 or 32 bits or float
// of 32 or 64 bits, 1 to 32 channels, a non-zero rate and a block align of one frame.
bool IsLinearWaveFormat(const WaveFormat& format);

// Bytes one second of sound takes in a linear format.
inline std::uint64_t BytesPerSecond(const WaveFormat& format) {
  return std::uint64_t{format.samples_per_second} * format.block_align;
}

}  // namespace stage
