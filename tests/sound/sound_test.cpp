#include "stage/sound/sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "stage/sound/headless_audio.h"
#include "tests/sound/wave_builder.h"

namespace stage {
namespace {

using namespace std::string_literals;
using testing::BuildRiff;
using testing::Bytes;
using testing::kOpeningSampleCount;
using testing::OpeningClip;
using testing::OpeningSamples;
using testing::Pattern;
using testing::PcmFormat;
using testing::WaveClip;

constexpr TimePoint kOpeningClipLength = 66'104'625;  // 528837 bytes at 8000 bytes per second
constexpr TimePoint kStall = Milliseconds(8888);

Bytes Text(const std::string& s) {
  return Bytes(s.begin(), s.end());
}
Bytes Head(const Bytes& bytes, std::size_t n) {
  return Bytes(bytes.begin(), bytes.begin() + n);
}

// The test's thread is a stage thread of a simulated clock; the sound system plays on a
// headless device that keeps what it played.
class SoundTest : public ::testing::Test {
 protected:
  explicit SoundTest(HeadlessAudio::Options options = {.keep_samples = true})
      : device_(*clock_, options) {
    clock_->EnterThread("test");
    InitSound(*clock_, &device_);
  }
  ~SoundTest() override {
    ShutdownSound();
    EXPECT_EQ(LiveSoundThreads(), 0u);
    EXPECT_EQ(device_.open_streams(), 0);
    clock_->LeaveThread();
  }

  TimePoint Now() { return clock_->Now(); }
  void Sleep(TimePoint duration) { clock_->Sleep(duration); }
  void WaitForSilence() { ASSERT_TRUE(WaitUntilSilent(kNoDeadline)); }

  std::unique_ptr<Clock> clock_ = Clock::MakeSimulated();
  HeadlessAudio device_;
};

TEST_F(SoundTest, OpeningClipPlaysOnceInOrderAndEndsByItself) {
  const ByteSet clip(OpeningClip());
  ASSERT_TRUE(PlaySound(clip.view()));
  EXPECT_EQ(ActiveSoundPlayers(), 1u);
  WaitForSilence();

  EXPECT_EQ(Now(), kOpeningClipLength);
  EXPECT_EQ(ActiveSoundPlayers(), 0u);
  EXPECT_EQ(device_.PlayedSamples(0), OpeningSamples());
  // 35 blocks of 15360 bytes (1.92 s each), back to back from the start.
  const auto recording = device_.Recording();
  ASSERT_EQ(recording.size(), 35u);
  for (std::size_t i = 0; i < recording.size(); ++i) {
    EXPECT_EQ(recording[i].start, static_cast<TimePoint>(i) * 1'920'000) << i;
  }
  EXPECT_EQ(recording.back().samples.size(), kOpeningSampleCount - 34 * 15360);
  EXPECT_EQ(device_.StreamFormat(0), PcmFormat(1, 8000, 8));
  EXPECT_EQ(device_.streams_opened(), 1);
}

TEST_F(SoundTest, RefusedClipsStartNothingAndStopNothing) {
  const Bytes opening = OpeningClip();
  ASSERT_TRUE(PlaySound(opening));
  Sleep(Milliseconds(5000));

  const Bytes fmt = PcmFormat(1, 8000, 8);
  const struct {
    const char* name;
    Bytes clip;
  } refused[] = {
      {"empty", {}},
      {"MPEG audio", Bytes{0xFF, 0xFB, 0x90, 0x64, 0x00, 0x0F, 0xF0, 0x00, 0x00, 0x69, 0x00, 0x00}},
      {"35-byte RIFF/WAVE", Head(WaveClip(fmt, Pattern(100)), 35)},
      {"RIFF/WAVE without fmt", BuildRiff({{"data", Pattern(100)}})},
      {"RIFF/WAVE with empty data", WaveClip(fmt, {})},
      {"MThd alone", Text("MThd")},
      {"text", Text("just some text")},
  };
  for (const auto& c : refused) {
    EXPECT_FALSE(PlaySound(c.clip)) << c.name;
    EXPECT_FALSE(PlaySound(c.clip, /*loop=*/true)) << c.name;
  }
  EXPECT_EQ(ActiveSoundPlayers(), 1u);
  EXPECT_EQ(device_.streams_opened(), 1);
  EXPECT_FALSE(MidiClipPlaying());

  WaitForSilence();
  EXPECT_EQ(Now(), kOpeningClipLength);
  EXPECT_EQ(device_.PlayedSamples(0), OpeningSamples());
}

TEST_F(SoundTest, TheCallerMayReleaseTheClipAtOnce) {
  const Bytes samples = Pattern(20000, 3);
  Bytes clip = WaveClip(PcmFormat(1, 8000, 8), samples);
  ASSERT_TRUE(PlaySound(clip));
  std::fill(clip.begin(), clip.end(), 0);
  clip.clear();
  clip.shrink_to_fit();
  WaitForSilence();
  EXPECT_EQ(device_.PlayedSamples(0), samples);
}

TEST_F(SoundTest, TwoPlaysOfOneClipOverlap) {
  const Bytes samples = Pattern(40000, 5);  // 5 s
  const Bytes clip = WaveClip(PcmFormat(1, 8000, 8), samples);
  ASSERT_TRUE(PlaySound(clip));
  Sleep(Milliseconds(1000));
  ASSERT_TRUE(PlaySound(clip));
  EXPECT_EQ(ActiveSoundPlayers(), 2u);
  WaitForSilence();

  EXPECT_EQ(Now(), Milliseconds(6000));
  EXPECT_EQ(device_.PlayedSamples(0), samples);
  EXPECT_EQ(device_.PlayedSamples(1), samples);
  const auto recording = device_.Recording();
  const auto first_of = [&](int stream) {
    return std::find_if(recording.begin(), recording.end(),
                        [&](const auto& r) { return r.stream == stream; })
        ->start;
  };
  EXPECT_EQ(first_of(0), 0);
  EXPECT_EQ(first_of(1), Milliseconds(1000));
}

TEST_F(SoundTest, LoopingClipRestartsAtItsFirstSampleUntilStopped) {
  const Bytes samples = Pattern(1000, 9);  // 125 ms
  ASSERT_TRUE(PlaySound(WaveClip(PcmFormat(1, 8000, 8), samples), /*loop=*/true));
  Sleep(Milliseconds(1050));
  StopSound();
  const TimePoint stopped_at = Now();
  WaitForSilence();
  EXPECT_EQ(Now(), stopped_at);  // the player stops at once, without further time

  const auto recording = device_.Recording();
  ASSERT_EQ(recording.size(), 9u);
  for (std::size_t i = 0; i < recording.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(recording[i].start, static_cast<TimePoint>(i) * 125'000);
    EXPECT_EQ(recording[i].samples, samples);
    EXPECT_EQ(recording[i].played, i < 8 ? 1000u : 400u);  // the ninth is cut at 1.05 s
  }
}

TEST_F(SoundTest, DataBeforeFmtPlays) {
  const Bytes samples = Pattern(3001, 11);
  ASSERT_TRUE(PlaySound(
      BuildRiff({{"LIST", Pattern(7)}, {"data", samples}, {"fmt ", PcmFormat(2, 22050, 16)}})));
  WaitForSilence();
  EXPECT_EQ(device_.PlayedSamples(0), samples);
  EXPECT_EQ(device_.StreamFormat(0), PcmFormat(2, 22050, 16));
}

TEST_F(SoundTest, StopSoundWithNothingPlayingChangesNothing) {
  StopSound();
  EXPECT_EQ(Now(), 0);
  EXPECT_EQ(ActiveSoundPlayers(), 0u);
  EXPECT_EQ(LiveSoundThreads(), 0u);
  const Bytes samples = Pattern(4000);
  ASSERT_TRUE(PlaySound(WaveClip(PcmFormat(1, 8000, 8), samples)));
  WaitForSilence();
  EXPECT_EQ(device_.PlayedSamples(0), samples);
}

TEST_F(SoundTest, StopSoundSilencesEveryPlayerAtOnceWithoutWaiting) {
  ASSERT_TRUE(PlaySound(OpeningClip()));
  ASSERT_TRUE(PlaySound(OpeningClip(), /*loop=*/true));
  Sleep(Milliseconds(3000));
  StopSound();
  WaitForSilence();
  EXPECT_EQ(Now(), Milliseconds(3000));
  EXPECT_EQ(device_.PlayedSamples(0), Head(OpeningSamples(), 24000));
  EXPECT_EQ(device_.PlayedSamples(1), Head(OpeningSamples(), 24000));
}

TEST_F(SoundTest, EndOfProgramStopReturnsAfterThePlayerThreadEnded) {
  ASSERT_TRUE(PlaySound(OpeningClip()));
  Sleep(Milliseconds(10000));
  EXPECT_EQ(LiveSoundThreads(), 1u);
  StopAllSoundAndWait();
  EXPECT_EQ(LiveSoundThreads(), 0u);
  EXPECT_EQ(ActiveSoundPlayers(), 0u);
  EXPECT_EQ(device_.open_streams(), 0);
  EXPECT_EQ(Now(), Milliseconds(10000));
  EXPECT_EQ(device_.PlayedSamples(0), Head(OpeningSamples(), 80000));
}

TEST_F(SoundTest, TheShowsCourseOfSound) {
  ASSERT_TRUE(PlaySound(OpeningClip()));
  Sleep(Milliseconds(59000));  // the heart parade ends
  StopSound();
  EXPECT_FALSE(PlaySound(Bytes{0xFF, 0xFB, 0x90, 0x64, 0x00, 0x00, 0x00, 0x00}));
  WaitForSilence();
  EXPECT_EQ(Now(), Milliseconds(59000));
  Sleep(Milliseconds(86000));  // the countdown ends
  StopSound();
  EXPECT_EQ(LiveSoundThreads(), 0u);
  StopAllSoundAndWait();
  EXPECT_EQ(Now(), Milliseconds(145000));
  EXPECT_EQ(device_.streams_opened(), 1);
  EXPECT_EQ(device_.PlayedSamples(0), Head(OpeningSamples(), 59 * 8000));
}

TEST_F(SoundTest, PlaysAndStopsFromSeveralThreads) {
  const Bytes samples = Pattern(3000, 13);
  const Bytes clip = WaveClip(PcmFormat(1, 8000, 8), samples);
  {
    std::vector<StageThread> threads;
    for (int t = 0; t < 2; ++t) {
      threads.emplace_back(*clock_, "player", [&, t] {
        for (int i = 0; i < 20; ++i) {
          PlaySound(clip, /*loop=*/i % 3 == 0);
          clock_->Sleep(Milliseconds(37 + 11 * t));
        }
      });
    }
    threads.emplace_back(*clock_, "stopper", [&] {
      for (int i = 0; i < 10; ++i) {
        clock_->Sleep(Milliseconds(90));
        StopSound();
      }
    });
  }
  StopAllSoundAndWait();
  EXPECT_EQ(ActiveSoundPlayers(), 0u);
  EXPECT_EQ(LiveSoundThreads(), 0u);
  EXPECT_EQ(device_.streams_opened(), 40);
  // Every playback heard the clip from its start, up to wherever it was stopped.
  for (int stream = 0; stream < 40; ++stream) {
    const Bytes played = device_.PlayedSamples(stream);
    for (std::size_t at = 0; at < played.size(); at += samples.size()) {
      const std::size_t n = std::min(samples.size(), played.size() - at);
      ASSERT_TRUE(std::equal(samples.begin(), samples.begin() + n, played.begin() + at))
          << "stream " << stream << " at " << at;
    }
  }
}

TEST_F(SoundTest, MidiClipsAreHeldOneAtATimeAndStoppedBySound) {
  // A header for format 0 with one track, then an empty track.
  const Bytes midi = Text("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk\0\0\0\x04\0\xFF\x2F\0"s);
  ASSERT_TRUE(PlaySound(OpeningClip()));
  EXPECT_TRUE(PlaySound(midi, /*loop=*/true));
  EXPECT_TRUE(MidiClipPlaying());
  EXPECT_EQ(ActiveSoundPlayers(), 1u);  // WAVE players are not touched

  // A MIDI clip that does not load is still accepted, and the one playing has been stopped.
  EXPECT_TRUE(PlaySound(Text("MThd\xFF\xFF")));
  EXPECT_FALSE(MidiClipPlaying());

  EXPECT_TRUE(PlaySound(midi));
  StopSound();
  EXPECT_FALSE(MidiClipPlaying());
}

// Without a device, or on a device that refuses the format or never plays, the player still
// starts, and ends by the stall time-out.
struct NoProgressCase {
  const char* name;
  HeadlessAudio::Options options;
  bool null_output;
  std::uint16_t format_tag;
  int streams_opened;
};

void PrintTo(const NoProgressCase& c, std::ostream* os) {
  *os << c.name;
}

class SoundWithoutProgressTest : public SoundTest,
                                 public ::testing::WithParamInterface<NoProgressCase> {
 protected:
  SoundWithoutProgressTest() : SoundTest(GetParam().options) {
    if (GetParam().null_output) InitSound(*clock_, nullptr);
  }
};

TEST_P(SoundWithoutProgressTest, PlayerEndsAfterTheStallTimeOut) {
  const Bytes clip = WaveClip(PcmFormat(1, 8000, 8, GetParam().format_tag), Pattern(500000));
  ASSERT_TRUE(PlaySound(clip));
  EXPECT_EQ(ActiveSoundPlayers(), 1u);
  WaitForSilence();
  EXPECT_EQ(Now(), kStall);
  EXPECT_EQ(device_.streams_opened(), GetParam().streams_opened);
  EXPECT_TRUE(device_.PlayedSamples(0).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoundWithoutProgressTest,
    ::testing::Values(NoProgressCase{"NoDevice", {.device_count = 0}, false, 1, 0},
                      NoProgressCase{"NullOutput", {}, true, 1, 0},
                      NoProgressCase{"RefusedFormat", {}, false, 0x0055, 0},
                      NoProgressCase{"StalledDevice", {.stalled = true}, false, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stage
