// waveOut streams: blocks handed back in order, Reset handing back what is queued on the calling
// thread, and no notice after a stream is closed. Skipped where Wine has no audio device.

#include "stage/platform/win32/waveout_audio.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace stage {
namespace {

// 16-bit mono PCM at 8000 Hz, the plain 16-byte form without a size field.
constexpr std::array<std::uint8_t, 16> kPcm16Mono8k = {1,    0,    1, 0, 0x40, 0x1F, 0,  0,
                                                       0x80, 0x3E, 0, 0, 2,    0,    16, 0};

struct Notices {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<int> blocks;
  std::vector<std::thread::id> threads;
  void Add(int block) {
    std::lock_guard lock(mutex);
    blocks.push_back(block);
    threads.push_back(std::this_thread::get_id());
    changed.notify_all();
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return blocks.size() >= count; });
  }
};

TEST(WaveOutAudio, RefusesFormatBlocksTooShortToRead) {
  WaveOutAudio audio;
  EXPECT_EQ(audio.Open(std::span(kPcm16Mono8k.data(), 12), [](int) {}), nullptr);
}

TEST(WaveOutAudio, HandsBlocksBackInOrderAndResetTakesTheRest) {
  WaveOutAudio audio;
  if (audio.DeviceCount() == 0) GTEST_SKIP() << "no wave output device";
  Notices notices;
  auto stream = audio.Open(kPcm16Mono8k, [&](int b) { notices.Add(b); });
  ASSERT_NE(stream, nullptr);
  std::vector<std::uint8_t> short_block(800, 0);    // 50 ms
  std::vector<std::uint8_t> long_block(160000, 0);  // 10 s
  ASSERT_TRUE(stream->Queue(0, short_block));
  ASSERT_TRUE(stream->Queue(1, short_block));
  ASSERT_TRUE(notices.WaitFor(2));
  ASSERT_TRUE(stream->Queue(2, long_block));
  ASSERT_TRUE(stream->Queue(3, long_block));
  stream->Pause();
  stream->Reset();
  // Reset returned: every block is back, the reset ones through this thread.
  std::lock_guard lock(notices.mutex);
  EXPECT_EQ(notices.blocks, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(notices.threads[2], std::this_thread::get_id());
  EXPECT_EQ(notices.threads[3], std::this_thread::get_id());
}

TEST(WaveOutAudio, ClosingDropsQueuedBlocksWithoutNotice) {
  WaveOutAudio audio;
  if (audio.DeviceCount() == 0) GTEST_SKIP() << "no wave output device";
  Notices notices;
  std::vector<std::uint8_t> long_block(160000, 0);  // outlives the stream
  {
    auto stream = audio.Open(kPcm16Mono8k, [&](int b) { notices.Add(b); });
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(stream->Queue(7, long_block));
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  std::lock_guard lock(notices.mutex);
  EXPECT_TRUE(notices.blocks.empty());
}

}  // namespace
}  // namespace stage
