#pragma once
// The two sound clips: a music-box "Happy Birthday" as 8-bit mono WAV, and a festive stereo
// arrangement of the same tune encoded as constant-bit-rate MP3.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace mediagen {

inline constexpr std::size_t kOpeningSamples = 528837;  // 8000 Hz, 8-bit, mono
inline constexpr std::size_t kFinaleSamples = 4451895;  // 44100 Hz per channel, stereo

std::vector<std::uint8_t> MakeOpeningClip();

// Interleaved 16-bit stereo samples of the finale before encoding.
std::vector<std::int16_t> RenderFinale();
// The MP3 file, or nothing with `error` set when the encoder's output does not have the
// frame layout the show's clip has.
std::optional<std::vector<std::uint8_t>> MakeFinaleClip(std::string* error);
// The version string of the MP3 encoder in use.
std::string Mp3EncoderVersion();

}  // namespace mediagen
