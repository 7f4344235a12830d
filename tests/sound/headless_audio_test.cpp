#include "stage/sound/headless_audio.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "tests/sound/wave_builder.h"

namespace stage {
namespace {

using testing::Bytes;
using testing::Pattern;
using testing::PcmFormat;

// Completion notices as they arrive: block number, time, and whether on the caller's thread.
class Notices {
 public:
  explicit Notices(Clock& clock) : clock_(clock), caller_(std::this_thread::get_id()) {}
  BlockDone Callback() {
    return [this](int block) {
      std::lock_guard lock(mutex_);
      seen_.push_back({block, clock_.Now(), std::this_thread::get_id() == caller_});
    };
  }
  struct Notice {
    int block;
    TimePoint at;
    bool on_caller;
    bool operator==(const Notice&) const = default;
  };
  std::vector<Notice> seen() {
    std::lock_guard lock(mutex_);
    return seen_;
  }

 private:
  Clock& clock_;
  const std::thread::id caller_;
  std::mutex mutex_;
  std::vector<Notice> seen_;
};

class HeadlessAudioTest : public ::testing::Test {
 protected:
  HeadlessAudioTest() { clock_->EnterThread("test"); }
  ~HeadlessAudioTest() override { clock_->LeaveThread(); }

  std::unique_ptr<Clock> clock_ = Clock::MakeSimulated();
};

TEST_F(HeadlessAudioTest, PlaysBackToBackAtTheByteRateWithoutRoundingDrift) {
  HeadlessAudio device(*clock_, {.keep_samples = true});
  Notices notices(*clock_);
  // 44100 bytes per second: a 100-byte block lasts 2267.57 us, so rounding block by block
  // would drift by a microsecond every other block.
  auto stream = device.Open(PcmFormat(1, 44100, 8), notices.Callback());
  ASSERT_TRUE(stream);
  const Bytes a = Pattern(100, 1), b = Pattern(100, 2), c = Pattern(100, 3), d = Pattern(441, 4);
  ASSERT_TRUE(stream->Queue(0, a));
  ASSERT_TRUE(stream->Queue(1, b));
  ASSERT_TRUE(stream->Queue(2, c));
  clock_->Sleep(Milliseconds(1000));
  ASSERT_TRUE(stream->Queue(3, d));  // after the device ran dry: a new run starts now
  clock_->Sleep(Milliseconds(1000));

  using N = Notices::Notice;
  EXPECT_EQ(notices.seen(),
            (std::vector<N>{
                {0, 2268, false}, {1, 4536, false}, {2, 6803, false}, {3, 1'010'000, false}}));
  const auto recording = device.Recording();
  ASSERT_EQ(recording.size(), 4u);
  EXPECT_EQ(recording[1].start, 2268);
  EXPECT_EQ(recording[3].start, 1'000'000);
  Bytes all = a;
  for (const Bytes* x : {&b, &c, &d}) all.insert(all.end(), x->begin(), x->end());
  EXPECT_EQ(device.PlayedSamples(0), all);
  EXPECT_EQ(device.StreamFormat(0), PcmFormat(1, 44100, 8));
}

TEST_F(HeadlessAudioTest, PauseHoldsResetHandsBackCloseDrops) {
  HeadlessAudio device(*clock_, {.keep_samples = true});
  Notices notices(*clock_);
  const Bytes second = Pattern(8000);  // one second at 8000 bytes per second
  {
    auto stream = device.Open(PcmFormat(1, 8000, 8), notices.Callback());
    ASSERT_TRUE(stream);
    for (int i = 0; i < 3; ++i) stream->Queue(i, second);
    clock_->Sleep(Milliseconds(500));
    stream->Pause();
    clock_->Sleep(Milliseconds(5000));
    EXPECT_TRUE(notices.seen().empty());
    stream->Reset();
    using N = Notices::Notice;
    EXPECT_EQ(notices.seen(),
              (std::vector<N>{{0, 5'500'000, true}, {1, 5'500'000, true}, {2, 5'500'000, true}}));
    ASSERT_EQ(device.Recording().size(), 1u);
    EXPECT_EQ(device.Recording()[0].played, 4000u);  // half of the block was heard
  }
  EXPECT_EQ(device.open_streams(), 0);

  // Closing with blocks queued drops them: no notice comes during or after the close.
  {
    auto stream = device.Open(PcmFormat(1, 8000, 8), notices.Callback());
    stream->Queue(7, second);
    stream->Queue(8, second);
    clock_->Sleep(Milliseconds(200));
  }
  clock_->Sleep(Milliseconds(5000));
  EXPECT_EQ(notices.seen().size(), 3u);
  EXPECT_EQ(device.open_streams(), 0);
  EXPECT_EQ(device.PlayedSamples(1).size(), 1600u);
}

TEST_F(HeadlessAudioTest, OpensOnlyLinearFormatsOnAnExistingDevice) {
  HeadlessAudio device(*clock_);
  HeadlessAudio none(*clock_, {.device_count = 0});
  Notices notices(*clock_);
  EXPECT_EQ(device.DeviceCount(), 1);
  EXPECT_EQ(none.DeviceCount(), 0);
  EXPECT_FALSE(none.Open(PcmFormat(1, 8000, 8), notices.Callback()));
  EXPECT_TRUE(device.Open(PcmFormat(2, 48000, 24), notices.Callback()));
  EXPECT_FALSE(device.Open(PcmFormat(1, 8000, 4, 0x0011), notices.Callback()));  // ADPCM
  EXPECT_FALSE(device.Open(PcmFormat(1, 8000, 8, 0x0055), notices.Callback()));  // MPEG layer 3
  EXPECT_FALSE(device.Open(Bytes(14, 1), notices.Callback()));
  EXPECT_EQ(device.streams_opened(), 1);
}

}  // namespace
}  // namespace stage
