#include "stage/sound/clip.h"

#include <algorithm>
#include <cstring>

namespace stage {
namespace {

bool HasTag(std::span<const std::uint8_t> bytes, std::size_t at, const char (&tag)[5]) {
  return bytes.size() >= at + 4 && std::memcmp(bytes.data() + at, tag, 4) == 0;
}

std::uint32_t ReadLe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

// The part of a chunk body that the clip really holds.
std::span<const std::uint8_t> HeldBody(std::span<const std::uint8_t> clip, std::uint64_t start,
                                       std::uint32_t size) {
  const std::uint64_t held = std::min<std::uint64_t>(size, clip.size() - start);
  return clip.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(held));
}

}  // namespace

ClipKind ClassifyClip(std::span<const std::uint8_t> clip) {
  if (clip.size() >= 12 && HasTag(clip, 0, "RIFF") && HasTag(clip, 8, "WAVE")) {
    return ClipKind::kWave;
  }
  if (clip.size() > 4 && HasTag(clip, 0, "MThd")) return ClipKind::kMidi;
  return ClipKind::kRefused;
}

std::optional<WaveClip> ParseWaveClip(std::span<const std::uint8_t> clip) {
  if (clip.size() < 36 || !HasTag(clip, 0, "RIFF") || !HasTag(clip, 8, "WAVE")) {
    return std::nullopt;
  }
  // Chunk headers must lie inside both the RIFF size and the clip; sizes are 32-bit, so the
  // walk runs in 64 bits where no sum can wrap.
  const std::uint64_t limit =
      std::min<std::uint64_t>(8 + std::uint64_t{ReadLe32(&clip[4])}, clip.size());
  std::optional<std::span<const std::uint8_t>> format;
  std::optional<std::span<const std::uint8_t>> samples;
  std::uint64_t at = 12;
  while (at + 8 <= limit) {
    const std::uint32_t size = ReadLe32(&clip[at + 4]);
    const std::uint64_t body = at + 8;
    if (HasTag(clip, at, "fmt ") && !format) {
      format = HeldBody(clip, body, size);
      if (samples) break;
    } else if (HasTag(clip, at, "data") && !samples) {
      samples = HeldBody(clip, body, size);
      if (format) break;
    }
    at = body + size + (size & 1);  // odd bodies are followed by one pad byte
  }
  if (!format || !samples || samples->empty()) return std::nullopt;
  return WaveClip{*format, *samples};
}

}  // namespace stage
