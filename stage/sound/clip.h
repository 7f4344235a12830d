#pragma once
// What a sound clip is, told from its first bytes, and where a WAVE clip keeps its format and
// samples.

#include <cstdint>
#include <optional>
#include <span>

namespace stage {

enum class ClipKind {
  kWave,     // "RIFF" at 0 and "WAVE" at 8, at least 12 bytes
  kMidi,     // "MThd" at 0, more than 4 bytes
  kRefused,  // anything else, MPEG audio and empty clips included
};

ClipKind ClassifyClip(std::span<const std::uint8_t> clip);

// Views into the clip. `samples` holds only the bytes the clip really has after the "data"
// chunk header, however large its size field claims the body to be.
struct WaveClip {
  std::span<const std::uint8_t> format;
  std::span<const std::uint8_t> samples;
};

// Walks the chunks of a RIFF/WAVE clip. Null when the clip is shorter than 36 bytes, is not
// RIFF/WAVE, or has no "fmt " chunk or no sample bytes inside the RIFF size and the clip.
std::optional<WaveClip> ParseWaveClip(std::span<const std::uint8_t> clip);

}  // namespace stage
