#pragma once
// The audio output on SDL2, for desktop runs. Each opened stream is an SDL audio device opened
// in the clip's own format; SDL converts it to whatever the hardware takes.

#include <memory>
#include <span>

#include "stage/sound/audio_output.h"

namespace stage {

class SdlAudio : public AudioOutput {
 public:
  // Starts SDL's audio subsystem; without it there are no devices.
  SdlAudio();
  // Every stream must be closed before.
  ~SdlAudio() override;
  SdlAudio(const SdlAudio&) = delete;
  SdlAudio& operator=(const SdlAudio&) = delete;

  int DeviceCount() override;
  // Plays 8- and 16-bit PCM, 32-bit PCM and 32-bit float, in any channel count and rate SDL
  // accepts. Null for every other format and whenever SDL refuses to open the device.
  std::unique_ptr<AudioStream> Open(std::span<const std::uint8_t> format, BlockDone done) override;

 private:
  bool initialised_ = false;
};

}  // namespace stage
