#include "stage/platform/sdl/sdl_audio.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>

#include "stage/sound/wave_format.h"

namespace stage {
namespace {

// SDL's device list is not meant to be changed from several threads at once; players open and
// close their devices from their own threads.
std::mutex& DeviceListMutex() {
  static std::mutex mutex;
  return mutex;
}

std::optional<SDL_AudioFormat> SdlFormat(const WaveFormat& format) {
  if (!IsLinearWaveFormat(format)) return std::nullopt;
  if (format.tag == kWaveFormatPcm) {
    switch (format.bits_per_sample) {
      case 8:
        return AUDIO_U8;
      case 16:
        return AUDIO_S16LSB;
      case 32:
        return AUDIO_S32LSB;
    }
  } else if (format.tag == kWaveFormatIeeeFloat && format.bits_per_sample == 32) {
    return AUDIO_F32LSB;
  }
  return std::nullopt;
}

// About 30 ms per callback, as a power of two that SDL likes.
Uint16 CallbackFrames(std::uint32_t rate) {
  Uint16 frames = 256;
  while (frames < 4096 && frames < rate / 32) frames *= 2;
  return frames;
}

class SdlStream : public AudioStream {
 public:
  explicit SdlStream(BlockDone done) : done_(std::move(done)) {}

  bool Open(const SDL_AudioSpec& wanted) {
    SDL_AudioSpec request = wanted;
    request.callback = &SdlStream::Fill;
    request.userdata = this;
    SDL_AudioSpec obtained{};
    std::lock_guard lock(DeviceListMutex());
    // No allowed changes: the callback always sees the clip's own format.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &request, &obtained, 0);
    silence_ = obtained.silence;
    return device_ != 0;
  }

  ~SdlStream() override {
    if (device_ == 0) return;
    std::lock_guard lock(DeviceListMutex());
    // Returns after SDL's audio thread has left the callback for good.
    SDL_CloseAudioDevice(device_);
  }

  bool Queue(int block, std::span<const std::uint8_t> bytes) override {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(Pending{block, bytes, 0});
    }
    // Devices open paused, so that sound starts with the first block rather than before it.
    if (!started_ && !paused_) {
      started_ = true;
      SDL_PauseAudioDevice(device_, 0);
    }
    return true;
  }

  void Pause() override {
    paused_ = true;
    SDL_PauseAudioDevice(device_, 1);
  }

  void Reset() override {
    std::deque<Pending> taken;
    // Holding the device lock keeps the callback out, so no block is half-copied.
    SDL_LockAudioDevice(device_);
    {
      std::lock_guard lock(mutex_);
      taken.swap(queue_);
    }
    SDL_UnlockAudioDevice(device_);
    for (const Pending& p : taken) done_(p.block);
  }

 private:
  struct Pending {
    int block;
    std::span<const std::uint8_t> bytes;
    std::size_t offset;
  };

  // On SDL's audio thread.
  static void SDLCALL Fill(void* userdata, Uint8* out, int length) {
    auto* self = static_cast<SdlStream*>(userdata);
    // A player queues at most 20 blocks; notices are sent after the queue's lock is let go.
    std::array<int, 64> finished;
    std::size_t finished_count = 0;
    std::size_t left = static_cast<std::size_t>(length);
    {
      std::lock_guard lock(self->mutex_);
      while (left > 0 && !self->queue_.empty() && finished_count < finished.size()) {
        Pending& head = self->queue_.front();
        const std::size_t n = std::min(left, head.bytes.size() - head.offset);
        std::memcpy(out, head.bytes.data() + head.offset, n);
        out += n;
        left -= n;
        head.offset += n;
        if (head.offset == head.bytes.size()) {
          finished[finished_count++] = head.block;
          self->queue_.pop_front();
        }
      }
    }
    if (left > 0) std::memset(out, self->silence_, left);
    for (std::size_t i = 0; i < finished_count; ++i) self->done_(finished[i]);
  }

  const BlockDone done_;
  SDL_AudioDeviceID device_ = 0;
  Uint8 silence_ = 0;
  // The feeding thread's own.
  bool started_ = false;
  bool paused_ = false;
  std::mutex mutex_;
  std::deque<Pending> queue_;  // guarded by mutex_
};

}  // namespace

SdlAudio::SdlAudio() : initialised_(SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {}

SdlAudio::~SdlAudio() {
  if (initialised_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int SdlAudio::DeviceCount() {
  if (!initialised_) return 0;
  std::lock_guard lock(DeviceListMutex());
  const int count = SDL_GetNumAudioDevices(0);
  // -1: the driver cannot list its devices, yet its default device can be opened.
  return count < 0 ? 1 : count;
}

std::unique_ptr<AudioStream> SdlAudio::Open(std::span<const std::uint8_t> format, BlockDone done) {
  if (!initialised_) return nullptr;
  const std::optional<WaveFormat> parsed = ParseWaveFormat(format);
  if (!parsed) return nullptr;
  const std::optional<SDL_AudioFormat> sdl_format = SdlFormat(*parsed);
  if (!sdl_format || parsed->channels > 255 || parsed->samples_per_second > INT32_MAX) {
    return nullptr;
  }
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(parsed->samples_per_second);
  wanted.format = *sdl_format;
  wanted.channels = static_cast<Uint8>(parsed->channels);
  wanted.samples = CallbackFrames(parsed->samples_per_second);
  auto stream = std::make_unique<SdlStream>(std::move(done));
  if (!stream->Open(wanted)) return nullptr;
  return stream;
}

}  // namespace stage
