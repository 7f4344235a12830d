#include "stage/platform/win32/waveout_audio.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// After windows.h, whose types it uses.
#include <mmsystem.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <iterator>
#include <list>
#include <mutex>
#include <vector>

namespace stage {
namespace {

// The wave format block as waveOutOpen reads it: a plain 16-byte PCM block has no size field
// for its extra bytes, and the size a longer block claims is cut to the bytes it has.
std::vector<std::uint8_t> FormatForDevice(std::span<const std::uint8_t> format) {
  std::vector<std::uint8_t> block(std::max(format.size(), sizeof(WAVEFORMATEX)), 0);
  std::memcpy(block.data(), format.data(), format.size());
  const std::size_t extra = block.size() - sizeof(WAVEFORMATEX);
  WAVEFORMATEX header;
  std::memcpy(&header, block.data(), sizeof(header));
  header.cbSize = static_cast<WORD>(std::min<std::size_t>(format.size() < 18 ? 0 : header.cbSize,
                                                          std::min<std::size_t>(extra, 0xFFFF)));
  std::memcpy(block.data(), &header, sizeof(header));
  block.resize(sizeof(WAVEFORMATEX) + header.cbSize);
  return block;
}

class WaveOutStream : public AudioStream {
 public:
  explicit WaveOutStream(BlockDone done) : done_(std::move(done)) {}

  bool Open(const std::vector<std::uint8_t>& format) {
    const auto* wave_format = reinterpret_cast<const WAVEFORMATEX*>(format.data());
    return waveOutOpen(&device_, WAVE_MAPPER, wave_format, reinterpret_cast<DWORD_PTR>(&Callback),
                       reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION) == MMSYSERR_NOERROR;
  }

  ~WaveOutStream() override {
    if (device_ == nullptr) return;
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    waveOutReset(device_);
    {
      // A notice already under way finishes before the callback's owner may go.
      std::unique_lock lock(mutex_);
      idle_.wait(lock, [this] { return notifying_ == 0; });
    }
    for (Header& h : headers_) waveOutUnprepareHeader(device_, &h.header, sizeof(WAVEHDR));
    waveOutClose(device_);
  }

  bool Queue(int block, std::span<const std::uint8_t> bytes) override {
    if (bytes.size() > 0xFFFFFFFFu) return false;
    // No lock is held across a waveOut call: the device's thread may be waiting for it in the
    // callback, and waveOut calls may wait for the device's thread.
    std::list<Header> finished;
    Header* h = nullptr;
    {
      std::lock_guard lock(mutex_);
      for (auto it = headers_.begin(); it != headers_.end();) {
        auto next = std::next(it);
        if (it->reported && (it->header.dwFlags & WHDR_DONE) != 0) {
          finished.splice(finished.end(), headers_, it);
        }
        it = next;
      }
      h = &headers_.emplace_back();
    }
    for (Header& f : finished) waveOutUnprepareHeader(device_, &f.header, sizeof(WAVEHDR));
    h->block = block;
    h->header.lpData = reinterpret_cast<LPSTR>(const_cast<std::uint8_t*>(bytes.data()));
    h->header.dwBufferLength = static_cast<DWORD>(bytes.size());
    h->header.dwUser = reinterpret_cast<DWORD_PTR>(h);
    bool queued = waveOutPrepareHeader(device_, &h->header, sizeof(WAVEHDR)) == MMSYSERR_NOERROR;
    if (queued && waveOutWrite(device_, &h->header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
      waveOutUnprepareHeader(device_, &h->header, sizeof(WAVEHDR));
      queued = false;
    }
    if (!queued) {
      std::lock_guard lock(mutex_);
      headers_.remove_if([h](const Header& x) { return &x == h; });
    }
    return queued;
  }

  void Pause() override { waveOutPause(device_); }

  void Reset() override {
    {
      std::lock_guard lock(mutex_);
      resetting_ = true;
    }
    // Marks every queued block done; the device's notices for them are left to us, so that
    // they come on this thread and before Reset returns.
    waveOutReset(device_);
    std::vector<int> taken;
    {
      std::unique_lock lock(mutex_);
      idle_.wait(lock, [this] { return notifying_ == 0; });
      for (Header& h : headers_) {
        if (h.reported) continue;
        h.reported = true;
        taken.push_back(h.block);
      }
      resetting_ = false;
    }
    for (int block : taken) done_(block);
  }

 private:
  struct Header {
    WAVEHDR header{};
    int block = 0;
    bool reported = false;  // its notice was sent
  };

  // On the device's thread. waveOut calls must not be made from here.
  static void CALLBACK Callback(HWAVEOUT, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR) {
    if (message != WOM_DONE) return;
    auto* self = reinterpret_cast<WaveOutStream*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    auto* h = reinterpret_cast<Header*>(header->dwUser);
    int block = 0;
    {
      std::lock_guard lock(self->mutex_);
      if (self->closing_ || self->resetting_ || h->reported) return;
      h->reported = true;
      block = h->block;
      ++self->notifying_;
    }
    self->done_(block);
    {
      std::lock_guard lock(self->mutex_);
      --self->notifying_;
    }
    self->idle_.notify_all();
  }

  const BlockDone done_;
  HWAVEOUT device_ = nullptr;
  std::mutex mutex_;
  std::condition_variable idle_;
  std::list<Header> headers_;  // stable addresses: the device holds pointers into them
  bool closing_ = false, resetting_ = false;
  int notifying_ = 0;  // notices being delivered by the callback
};

}  // namespace

int WaveOutAudio::DeviceCount() {
  return static_cast<int>(waveOutGetNumDevs());
}

std::unique_ptr<AudioStream> WaveOutAudio::Open(std::span<const std::uint8_t> format,
                                                BlockDone done) {
  if (format.size() < 16) return nullptr;
  auto stream = std::make_unique<WaveOutStream>(std::move(done));
  if (!stream->Open(FormatForDevice(format))) return nullptr;
  return stream;
}

}  // namespace stage
