#include "stage/sound/headless_audio.h"

#include <deque>
#include <utility>

#include "stage/sound/wave_format.h"

namespace stage {

class HeadlessAudio::Stream : public AudioStream {
 public:
  Stream(HeadlessAudio& device, int number, std::uint64_t bytes_per_second, BlockDone done)
      : device_(device),
        clock_(device.clock_),
        number_(number),
        bytes_per_second_(bytes_per_second),
        done_(std::move(done)) {
    thread_ = StageThread(clock_, "headless audio", [this] { Run(); });
  }

  bool running() const { return thread_.started(); }

  ~Stream() override {
    {
      std::lock_guard lock(clock_.mutex());
      closed_ = true;
      EndHead(clock_.Now());
      queue_.clear();
      --device_.open_streams_;
      clock_.Notify(changed_);
    }
    // The thread may be inside a notice; joining waits for it, so none outlives the stream.
    thread_.Join();
  }

  bool Queue(int block, std::span<const std::uint8_t> bytes) override {
    std::lock_guard lock(clock_.mutex());
    if (closed_) return false;
    queue_.push_back(Pending{block, bytes});
    clock_.Notify(changed_);
    return true;
  }

  void Pause() override {
    std::lock_guard lock(clock_.mutex());
    if (paused_) return;
    paused_ = true;
    EndHead(clock_.Now());
    clock_.Notify(changed_);
  }

  void Reset() override {
    std::deque<Pending> taken;
    {
      std::lock_guard lock(clock_.mutex());
      EndHead(clock_.Now());
      taken.swap(queue_);
      clock_.Notify(changed_);
    }
    for (const Pending& p : taken) done_(p.block);
  }

 private:
  struct Pending {
    int block;
    std::span<const std::uint8_t> bytes;
    bool playing = false;
    TimePoint end = 0;
    std::size_t record = SIZE_MAX;  // index in the device's recording, if kept
  };

  // Microseconds from the start of a run of back-to-back blocks to the end of its first `bytes`
  // bytes. Counting from the run's start keeps rounding from adding up block after block.
  TimePoint RunTime(std::uint64_t bytes) const {
    return static_cast<TimePoint>((bytes * 1'000'000 + bytes_per_second_ - 1) / bytes_per_second_);
  }

  // Lock held. The queue's head stops playing now (paused, taken back or closed): note how much
  // of it was heard, and let it start afresh if it is played again.
  void EndHead(TimePoint now) {
    if (queue_.empty() || !queue_.front().playing) return;
    Pending& head = queue_.front();
    if (head.record != SIZE_MAX) {
      RecordedBlock& r = device_.recording_[head.record];
      const std::uint64_t heard = (now - r.start) * bytes_per_second_ / 1'000'000;
      r.played = std::min<std::uint64_t>(heard, head.bytes.size());
    }
    head.playing = false;
    head.record = SIZE_MAX;
    run_open_ = false;
  }

  // Lock held. The head begins to play now.
  void StartHead(TimePoint now) {
    Pending& head = queue_.front();
    if (!run_open_ || now != run_end_) {
      run_open_ = true;
      run_start_ = now;
      run_bytes_ = 0;
    }
    run_bytes_ += head.bytes.size();
    head.playing = true;
    head.end = run_start_ + RunTime(run_bytes_);
    run_end_ = head.end;
    if (device_.options_.keep_samples) {
      head.record = device_.recording_.size();
      device_.recording_.push_back(RecordedBlock{
          number_, now, 0, std::vector<std::uint8_t>(head.bytes.begin(), head.bytes.end())});
    }
  }

  void Run() {
    std::unique_lock lock(clock_.mutex());
    while (!closed_) {
      if (paused_ || queue_.empty() || device_.options_.stalled) {
        clock_.Wait(lock, {&changed_}, kNoDeadline, "sound blocks to play");
        continue;
      }
      const TimePoint now = clock_.Now();
      if (!queue_.front().playing) StartHead(now);
      Pending& head = queue_.front();
      if (now < head.end) {
        clock_.Wait(lock, {&changed_}, head.end, "a sound block to finish playing");
        continue;
      }
      if (head.record != SIZE_MAX) device_.recording_[head.record].played = head.bytes.size();
      const int block = head.block;
      queue_.pop_front();
      lock.unlock();
      done_(block);
      lock.lock();
    }
  }

  HeadlessAudio& device_;
  Clock& clock_;
  const int number_;
  const std::uint64_t bytes_per_second_;
  const BlockDone done_;
  // Guarded by the clock's mutex.
  std::deque<Pending> queue_;
  bool paused_ = false;
  bool closed_ = false;
  bool run_open_ = false;
  TimePoint run_start_ = 0;
  TimePoint run_end_ = 0;
  std::uint64_t run_bytes_ = 0;
  Condition changed_;
  StageThread thread_;  // last: it starts running once everything above is ready
};

HeadlessAudio::HeadlessAudio(Clock& clock, Options options) : clock_(clock), options_(options) {}
HeadlessAudio::~HeadlessAudio() = default;

int HeadlessAudio::DeviceCount() {
  return options_.device_count;
}

std::unique_ptr<AudioStream> HeadlessAudio::Open(std::span<const std::uint8_t> format,
                                                 BlockDone done) {
  if (options_.device_count <= 0) return nullptr;
  const std::optional<WaveFormat> parsed = ParseWaveFormat(format);
  if (!parsed || !IsLinearWaveFormat(*parsed)) return nullptr;
  int number;
  {
    std::lock_guard lock(clock_.mutex());
    number = static_cast<int>(formats_.size());
    formats_.emplace_back(format.begin(), format.end());
    ++open_streams_;
  }
  auto stream = std::make_unique<Stream>(*this, number, BytesPerSecond(*parsed), std::move(done));
  if (!stream->running()) return nullptr;
  return stream;
}

std::vector<HeadlessAudio::RecordedBlock> HeadlessAudio::Recording() {
  std::lock_guard lock(clock_.mutex());
  return recording_;
}

std::vector<std::uint8_t> HeadlessAudio::PlayedSamples(int stream) {
  std::lock_guard lock(clock_.mutex());
  std::vector<std::uint8_t> played;
  for (const RecordedBlock& r : recording_) {
    if (r.stream == stream)
      played.insert(played.end(), r.samples.begin(), r.samples.begin() + r.played);
  }
  return played;
}

std::vector<std::uint8_t> HeadlessAudio::StreamFormat(int stream) {
  std::lock_guard lock(clock_.mutex());
  if (stream < 0 || stream >= static_cast<int>(formats_.size())) return {};
  return formats_[stream];
}

int HeadlessAudio::open_streams() {
  std::lock_guard lock(clock_.mutex());
  return open_streams_;
}

int HeadlessAudio::streams_opened() {
  std::lock_guard lock(clock_.mutex());
  return static_cast<int>(formats_.size());
}

}  // namespace stage
