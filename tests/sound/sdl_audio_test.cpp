#include "stage/platform/sdl/sdl_audio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "stage/sound/sound.h"
#include "tests/sound/wave_builder.h"

namespace stage {
namespace {

using testing::Bytes;
using testing::Pattern;
using testing::PcmFormat;
using testing::WaveClip;

// SDL's disk driver writes what the device plays to a file, as fast as a 1 ms pause per
// callback allows.
class SdlDiskAudioTest : public ::testing::Test {
 protected:
  SdlDiskAudioTest()
      : file_(std::filesystem::temp_directory_path() /
              ("sdl-audio-test-" + std::to_string(getpid()) + ".raw")) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "1", 1);
    clock_->EnterThread("test");
  }
  ~SdlDiskAudioTest() override {
    clock_->LeaveThread();
    std::filesystem::remove(file_);
  }

  Bytes Written() {
    std::ifstream in(file_, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  const std::filesystem::path file_;
  std::unique_ptr<Clock> clock_ = Clock::MakeReal();
};

TEST_F(SdlDiskAudioTest, DeviceWritesTheClipsSamplesInTheClipsFormat) {
  const struct {
    std::uint16_t channels;
    std::uint32_t rate;
    std::uint16_t bits;
    std::size_t bytes;
  } cases[] = {
      {1, 8000, 8, 20001},  // the opening clip's format, odd length, two blocks
      {2, 11025, 8, 16000},
      {1, 22050, 16, 31000},
      {2, 44100, 16, 64000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + "x" + std::to_string(c.bits) + " at " +
                 std::to_string(c.rate));
    const Bytes samples = Pattern(c.bytes, c.rate);
    const std::uint8_t silence = c.bits == 8 ? 0x80 : 0x00;
    {
      SdlAudio sdl;
      ASSERT_GE(sdl.DeviceCount(), 1);
      InitSound(*clock_, &sdl);
      ASSERT_TRUE(PlaySound(WaveClip(PcmFormat(c.channels, c.rate, c.bits), samples)));
      EXPECT_TRUE(WaitUntilSilent(clock_->Now() + Milliseconds(20000)));
      ShutdownSound();  // the player has closed its device, and with it the file
    }
    const Bytes written = Written();
    // The device plays silence until the first block arrives and after the last one; the
    // samples lie between, whole and in order.
    const auto first =
        std::find_if(written.begin(), written.end(), [&](std::uint8_t b) { return b != silence; });
    ASSERT_NE(first, written.end());
    const std::size_t lead = first - written.begin();
    EXPECT_EQ(lead % (c.channels * c.bits / 8), 0u);
    ASSERT_GE(written.size() - lead, samples.size());
    EXPECT_TRUE(std::equal(samples.begin(), samples.end(), first)) << "samples differ";
    EXPECT_TRUE(std::all_of(first + samples.size(), written.end(), [&](std::uint8_t b) {
      return b == silence;
    })) << "something after the samples";
  }
}

TEST_F(SdlDiskAudioTest, StopSoundCutsTheClipShortAndClosesTheDevice) {
  // A minute of CD-quality sound: the disk device needs over a second for it even unpaced.
  const Bytes samples = Pattern(60 * 176400, 3);
  {
    SdlAudio sdl;
    InitSound(*clock_, &sdl);
    ASSERT_TRUE(PlaySound(WaveClip(PcmFormat(2, 44100, 16), samples)));
    clock_->Sleep(Milliseconds(100));
    StopSound();
    EXPECT_TRUE(WaitUntilSilent(clock_->Now() + Milliseconds(2000)));
    ShutdownSound();
  }
  const Bytes written = Written();
  const auto first =
      std::find_if(written.begin(), written.end(), [](std::uint8_t b) { return b != 0; });
  ASSERT_NE(first, written.end());
  const std::size_t heard = written.end() - first;
  ASSERT_LT(heard, samples.size());
  // What was written before the stop is the clip's beginning; silence may follow it.
  const auto differ = std::mismatch(first, written.end(), samples.begin()).first;
  EXPECT_TRUE(std::all_of(differ, written.end(), [](std::uint8_t b) { return b == 0; }));
  EXPECT_GT(differ - first, 0);
}

TEST_F(SdlDiskAudioTest, OpenFailsForFormatsSdlCannotPlay) {
  SdlAudio sdl;
  const BlockDone ignore = [](int) {};
  EXPECT_TRUE(sdl.Open(PcmFormat(1, 8000, 8), ignore));
  EXPECT_TRUE(sdl.Open(PcmFormat(2, 96000, 32, 0x0003), ignore));  // float
  EXPECT_FALSE(sdl.Open(PcmFormat(2, 48000, 24), ignore));
  EXPECT_FALSE(sdl.Open(PcmFormat(1, 8000, 4, 0x0011), ignore));  // ADPCM
  EXPECT_FALSE(sdl.Open(PcmFormat(1, 8000, 8, 0x0055), ignore));  // MPEG layer 3
  EXPECT_FALSE(sdl.Open(PcmFormat(12, 8000, 16), ignore));        // more channels than SDL takes
  EXPECT_FALSE(sdl.Open(Bytes(10, 0), ignore));
}

}  // namespace
}  // namespace stage
