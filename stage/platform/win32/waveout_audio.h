#pragma once
// The audio output on Windows: each opened stream is a waveOut device opened on the wave mapper
// in the clip's own format, with a callback function that hands finished blocks back.

#include <memory>
#include <span>

#include "stage/sound/audio_output.h"

namespace stage {

class WaveOutAudio : public AudioOutput {
 public:
  int DeviceCount() override;
  // Any format the wave mapper takes (it converts through the system's codecs); null when the
  // device refuses it.
  std::unique_ptr<AudioStream> Open(std::span<const std::uint8_t> format, BlockDone done) override;
};

}  // namespace stage
