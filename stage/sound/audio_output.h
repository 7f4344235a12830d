#pragma once
// The audio output the sound player streams to: a device that plays wave blocks, one after
// another, and hands each one back when it has been played.
//
// The player owns the block buffers. A queued block's bytes stay valid and unchanged until the
// stream hands the block back (through the completion notice) or is closed.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace stage {

// Called once for every block the stream hands back, with the block's number as queued.
// Arrives on a thread of the device, except during Reset (see there).
using BlockDone = std::function<void(int block)>;

// One opened output. Destroying it closes it.
class AudioStream {
 public:
  AudioStream() = default;
  AudioStream(const AudioStream&) = delete;
  AudioStream& operator=(const AudioStream&) = delete;
  // Closes the output: playing stops at once and whatever is still queued is dropped without a
  // notice. When the destructor returns no notice is running and none will come, so the owner
  // of the callback may go away.
  virtual ~AudioStream() = default;

  // Appends a block to the play queue. False if the output cannot take it; the block is then not
  // held and no notice will come for it.
  virtual bool Queue(int block, std::span<const std::uint8_t> bytes) = 0;
  // Silences the output at once; queued blocks stay queued and are not played.
  virtual void Pause() = 0;
  // Takes every queued block back, the one playing included, and hands each back through the
  // completion notice on the calling thread before returning. Keeps the paused state.
  virtual void Reset() = 0;
};

class AudioOutput {
 public:
  virtual ~AudioOutput() = default;

  // Number of output devices; 0 means there is nothing to play on.
  virtual int DeviceCount() = 0;
  // Opens the default device for `format`, a wave format block (the body of a "fmt " chunk).
  // Null if there is no device or it cannot play the format. `done` must outlive the stream.
  virtual std::unique_ptr<AudioStream> Open(std::span<const std::uint8_t> format,
                                            BlockDone done) = 0;
};

}  // namespace stage
