#pragma once
// An audio output without sound hardware. Each opened stream plays its blocks at the format's
// byte rate on the clock, so under the simulated clock a 66-second clip takes 66 simulated
// seconds and no real time, and hands them back from a stage thread of its own. It can keep
// every block it played, with the time it started, for the tests and for exporters.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "stage/core/clock.h"
#include "stage/sound/audio_output.h"

namespace stage {

class HeadlessAudio : public AudioOutput {
 public:
  struct Options {
    int device_count = 1;       // 0: no device; every Open fails
    bool keep_samples = false;  // keep what was played, see Recording()
    bool stalled = false;       // take blocks but never play them, as a hung device does
  };

  struct RecordedBlock {
    int stream = 0;                     // streams are numbered from 0 in the order they were opened
    TimePoint start = 0;                // when the block began to play
    std::size_t played = 0;             // bytes played before it ended or was taken back
    std::vector<std::uint8_t> samples;  // the whole block as queued
  };

  explicit HeadlessAudio(Clock& clock) : HeadlessAudio(clock, Options{}) {}
  HeadlessAudio(Clock& clock, Options options);
  // Every stream must be closed before the device goes.
  ~HeadlessAudio() override;

  int DeviceCount() override;
  // Plays linear formats (PCM of 8 to 32 bits, float); refuses every other one.
  std::unique_ptr<AudioStream> Open(std::span<const std::uint8_t> format, BlockDone done) override;

  // The blocks that began to play, in the order they began.
  std::vector<RecordedBlock> Recording();
  // The bytes of one stream that were played, in order.
  std::vector<std::uint8_t> PlayedSamples(int stream);
  // The format block a stream was opened with.
  std::vector<std::uint8_t> StreamFormat(int stream);
  int open_streams();
  int streams_opened();

 private:
  class Stream;
  friend class Stream;

  Clock& clock_;
  const Options options_;
  // Guarded by the clock's mutex, like every state the streams wait on.
  int open_streams_ = 0;
  std::vector<std::vector<std::uint8_t>> formats_;
  std::vector<RecordedBlock> recording_;
};

}  // namespace stage
