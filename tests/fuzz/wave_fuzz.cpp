// Classifies arbitrary bytes as a sound clip and walks the chunks of those that say RIFF/WAVE;
// the seed corpus under tests/corpus/wave/ holds small WAVE clips. Beyond "no crash, no
// sanitizer report": what the walk finds lies inside the clip and agrees with the classifier,
// and the format block it finds reads without overrunning.

#include <cstdlib>

#include "stage/sound/clip.h"
#include "stage/sound/wave_format.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Inside(std::span<const std::uint8_t> part, std::span<const std::uint8_t> whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> clip(data, size);
  const stage::ClipKind kind = stage::ClassifyClip(clip);
  const auto wave = stage::ParseWaveClip(clip);
  if (!wave) return 0;
  Require(kind == stage::ClipKind::kWave);
  Require(size >= 36);
  Require(Inside(wave->format, clip));
  Require(!wave->samples.empty() && Inside(wave->samples, clip));
  if (const auto format = stage::ParseWaveFormat(wave->format)) {
    if (stage::IsLinearWaveFormat(*format)) {
      Require(format->block_align > 0 && stage::BytesPerSecond(*format) > 0);
    }
  }
  return 0;
}
