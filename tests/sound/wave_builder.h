#pragma once
// Builds RIFF/WAVE clips, well-formed or not, for the sound tests.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace stage::testing {

using Bytes = std::vector<std::uint8_t>;

inline void PutLe16(Bytes& out, std::uint32_t v) {
  out.push_back(v & 0xFF);
  out.push_back(v >> 8 & 0xFF);
}
inline void PutLe32(Bytes& out, std::uint32_t v) {
  PutLe16(out, v & 0xFFFF);
  PutLe16(out, v >> 16);
}

struct Chunk {
  std::string id;
  Bytes body;
  std::optional<std::uint32_t> size = std::nullopt;  // the size field, if it lies
  bool pad = true;                                   // write the pad byte after an odd body
};

// "RIFF", the RIFF size (by default the true one), "WAVE", then the chunks.
inline Bytes BuildRiff(const std::vector<Chunk>& chunks,
                       std::optional<std::uint32_t> riff_size = std::nullopt) {
  Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const Chunk& c : chunks) {
    out.insert(out.end(), c.id.begin(), c.id.end());
    PutLe32(out, c.size.value_or(static_cast<std::uint32_t>(c.body.size())));
    out.insert(out.end(), c.body.begin(), c.body.end());
    if (c.body.size() % 2 == 1 && c.pad) out.push_back(0);
  }
  const std::uint32_t size = riff_size.value_or(static_cast<std::uint32_t>(out.size() - 8));
  for (int i = 0; i < 4; ++i) out[4 + i] = size >> (8 * i) & 0xFF;
  return out;
}

inline Bytes PcmFormat(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                       std::uint16_t tag = 1) {
  Bytes out;
  const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
  PutLe16(out, tag);
  PutLe16(out, channels);
  PutLe32(out, rate);
  PutLe32(out, rate * align);
  PutLe16(out, align);
  PutLe16(out, bits);
  return out;
}

// Samples that differ from their neighbours and never equal the 8-bit silence value, so that
// a lost, doubled or shifted byte shows.
inline Bytes Pattern(std::size_t n, std::uint32_t seed = 1) {
  Bytes out(n);
  std::uint32_t state = seed;
  for (auto& b : out) {
    state = state * 1664525 + 1013904223;
    b = static_cast<std::uint8_t>(state >> 24);
    if (b == 0x80 || b == 0) b = 0x81;
  }
  return out;
}

inline Bytes WaveClip(const Bytes& format, const Bytes& samples, bool pad_at_end = true) {
  return BuildRiff({{"fmt ", format}, {"data", samples, std::nullopt, pad_at_end}});
}

// The opening clip's shape: 8000 Hz, 1 channel, 8 bits, 528837 bytes, no pad byte at the end.
inline constexpr std::size_t kOpeningSampleCount = 528837;
inline Bytes OpeningSamples() {
  return Pattern(kOpeningSampleCount, 7);
}
inline Bytes OpeningClip() {
  return WaveClip(PcmFormat(1, 8000, 8), OpeningSamples(), false);
}

}  // namespace stage::testing
