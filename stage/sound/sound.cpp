#include "stage/sound/sound.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "stage/core/stage.h"
#include "stage/sound/clip.h"

namespace stage {
namespace {

constexpr int kBlockCount = 20;
constexpr std::uint32_t kBlockBytes = 15360;
// Longer than one block of any clip of at least 1729 bytes per second.
constexpr TimePoint kStallTimeout = Milliseconds(8888);

class WavePlayer;

struct PlayerThread {
  std::shared_ptr<WavePlayer> player;
  StageThread thread;
};

// Process-wide state of the sound system. Never destroyed: player threads may still refer to
// it while the process ends.
struct SoundSystem {
  std::mutex lock;  // the global lock: setup, the active-player list, the thread records
  Clock* clock = nullptr;
  AudioOutput* output = nullptr;
  std::vector<WavePlayer*> active;
  // Every player thread not yet joined, finished players included.
  std::list<PlayerThread> threads;
  // Mirrors of the counts that clock waits can read without the global lock.
  std::atomic<std::size_t> active_count{0};
  std::atomic<std::size_t> live_threads{0};
  Condition silent;  // notified, under the clock's mutex, when a player leaves the list
};

SoundSystem& Sound() {
  static SoundSystem* const system = new SoundSystem;
  return *system;
}

// One playback of one WAVE clip, fed from its own thread in blocks of kBlockBytes, at most
// kBlockCount of them held by the output at once.
class WavePlayer {
 public:
  WavePlayer(Clock& clock, const WaveClip& clip, bool loop)
      : clock_(clock),
        samples_(clip.samples.begin(), clip.samples.end()),
        sample_count_(static_cast<std::uint32_t>(clip.samples.size())),
        format_(clip.format.begin(), clip.format.end()),
        blocks_(std::make_unique<Block[]>(kBlockCount)),
        loop_(loop),
        block_free_(clock, kBlockCount, kBlockCount),
        stop_(clock, /*manual_reset=*/true) {}

  // Without an output the player still runs and ends by the stall time-out.
  void OpenOutput(AudioOutput& output) {
    if (output.DeviceCount() <= 0) return;
    output_ = output.Open(format_, [this](int block) { OnBlockDone(block); });
  }

  void Stop() { stop_.Set(); }
  bool ended() const { return ended_.load(std::memory_order_acquire); }

  // The player's thread.
  void Run() {
    Feed();
    Finish();
  }

 private:
  using Block = std::array<std::uint8_t, kBlockBytes>;

  void Feed() {
    for (;;) {
      const int woke = WaitAny(clock_, block_free_, stop_, clock_.Now() + kStallTimeout,
                               "a free sound block or the stop signal");
      if (woke != 0) {  // stopped, or the output made no progress
        Silence();
        return;
      }
      int free_blocks;
      {
        std::lock_guard lock(lock_);
        free_blocks = free_blocks_;
      }
      if (free_blocks == 0) continue;

      const std::uint32_t k = std::min(sample_count_ - position_, kBlockBytes);
      if (k > 0) {
        Block& block = blocks_[next_block_];
        std::memcpy(block.data(), samples_.data() + position_, k);
        {
          // Counted before queuing, so that a notice cannot find the count above its maximum.
          std::lock_guard lock(lock_);
          --free_blocks_;
        }
        // A block the output does not take is never handed back: the player then ends by the
        // stall time-out, as without an output.
        if (output_) output_->Queue(next_block_, std::span(block.data(), k));
        position_ += k;
        next_block_ = (next_block_ + 1) % kBlockCount;
        continue;
      }
      if (free_blocks < kBlockCount) continue;  // the last blocks are still playing
      if (!loop_) return;
      std::lock_guard lock(lock_);
      position_ = 0;
      next_block_ = 0;
      free_blocks_ = kBlockCount;
      while (block_free_.Release(1)) {
      }
    }
  }

  void Silence() {
    if (!output_) return;
    output_->Pause();
    output_->Reset();
  }

  void Finish() {
    SoundSystem& sound = Sound();
    {
      std::lock_guard lock(sound.lock);
      std::erase(sound.active, this);
      sound.active_count.store(sound.active.size(), std::memory_order_release);
    }
    {
      std::lock_guard lock(clock_.mutex());
      clock_.Notify(sound.silent);
    }
    // Closing waits for a notice in progress, so none reaches the player after this.
    output_.reset();
    samples_ = {};
    blocks_.reset();
    sound.live_threads.fetch_sub(1, std::memory_order_acq_rel);
    ended_.store(true, std::memory_order_release);
  }

  // On a thread of the output, or in Reset on the player's own thread.
  void OnBlockDone(int) {
    {
      std::lock_guard lock(lock_);
      ++free_blocks_;
    }
    block_free_.Release(1);
  }

  Clock& clock_;
  std::vector<std::uint8_t> samples_;
  const std::uint32_t sample_count_;
  const std::vector<std::uint8_t> format_;
  std::unique_ptr<AudioStream> output_;
  std::unique_ptr<Block[]> blocks_;
  int next_block_ = 0;          // the feeding thread's own
  std::uint32_t position_ = 0;  // the feeding thread's own
  const bool loop_;
  Semaphore block_free_;
  Event stop_;
  std::mutex lock_;
  int free_blocks_ = kBlockCount;  // guarded by lock_
  std::atomic<bool> ended_{false};
};

// Joins the threads of players that have finished, so that records do not pile up.
void ReapEndedThreads() {
  SoundSystem& sound = Sound();
  std::list<PlayerThread> ended;
  {
    std::lock_guard lock(sound.lock);
    for (auto it = sound.threads.begin(); it != sound.threads.end();) {
      auto next = std::next(it);
      if (it->player->ended()) ended.splice(ended.end(), sound.threads, it);
      it = next;
    }
  }
  for (PlayerThread& record : ended) record.thread.Join();
}

bool StartWavePlayer(std::span<const std::uint8_t> clip, bool loop) {
  const std::optional<WaveClip> wave = ParseWaveClip(clip);
  if (!wave) return false;
  SoundSystem& sound = Sound();
  Clock* clock;
  AudioOutput* output;
  {
    std::lock_guard lock(sound.lock);
    clock = sound.clock;
    output = sound.output;
  }
  if (clock == nullptr) return false;
  ReapEndedThreads();

  auto player = std::make_shared<WavePlayer>(*clock, *wave, loop);
  if (output != nullptr) player->OpenOutput(*output);

  std::lock_guard lock(sound.lock);
  sound.active.push_back(player.get());
  sound.live_threads.fetch_add(1, std::memory_order_acq_rel);
  PlayerThread& record = sound.threads.emplace_back();
  record.player = player;
  // Started under the global lock, so that a stop walking the list always finds its thread.
  record.thread = StageThread(*clock, "sound player", [player] { player->Run(); });
  if (!record.thread.started()) {
    sound.threads.pop_back();
    sound.active.pop_back();
    sound.live_threads.fetch_sub(1, std::memory_order_acq_rel);
    return false;
  }
  sound.active_count.store(sound.active.size(), std::memory_order_release);
  return true;
}

// The MIDI player. Standard MIDI files are accepted and held, one at a time, but not rendered:
// no clip of the show is MIDI.
struct MidiPlayer {
  std::mutex lock;
  std::vector<std::uint8_t> clip;
  bool playing = false;
  bool loop = false;
};

MidiPlayer& Midi() {
  static MidiPlayer* const midi = new MidiPlayer;
  return *midi;
}

std::uint32_t ReadBe32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// A loadable standard MIDI file: a header of at least 6 bytes naming format 0 to 2 and at
// least one track, followed by a track chunk.
bool IsLoadableMidi(std::span<const std::uint8_t> clip) {
  if (clip.size() < 14) return false;
  const std::uint64_t header = ReadBe32(&clip[4]);
  const unsigned format = clip[8] << 8 | clip[9];
  const unsigned tracks = clip[10] << 8 | clip[11];
  const std::uint64_t track_at = 8 + header;
  return header >= 6 && format <= 2 && tracks >= 1 && track_at + 8 <= clip.size() &&
         std::memcmp(&clip[track_at], "MTrk", 4) == 0;
}

void StopMidi() {
  MidiPlayer& midi = Midi();
  std::lock_guard lock(midi.lock);
  midi.playing = false;
  midi.clip = {};
}

bool PlayMidi(std::span<const std::uint8_t> clip, bool loop) {
  StopMidi();
  MidiPlayer& midi = Midi();
  std::lock_guard lock(midi.lock);
  midi.clip.assign(clip.begin(), clip.end());
  if (IsLoadableMidi(midi.clip)) {
    midi.playing = true;
    midi.loop = loop;
  } else {
    midi.clip = {};
  }
  return true;  // also when it did not load
}

}  // namespace

void InitSound(Clock& clock, AudioOutput* output) {
  StopAllSoundAndWait();
  SoundSystem& sound = Sound();
  std::lock_guard lock(sound.lock);
  sound.clock = &clock;
  sound.output = output;
}

void ShutdownSound() {
  StopAllSoundAndWait();
  SoundSystem& sound = Sound();
  std::lock_guard lock(sound.lock);
  sound.clock = nullptr;
  sound.output = nullptr;
}

bool PlaySound(std::span<const std::uint8_t> clip, bool loop) {
  switch (ClassifyClip(clip)) {
    case ClipKind::kWave:
      return StartWavePlayer(clip, loop);
    case ClipKind::kMidi:
      return PlayMidi(clip, loop);
    case ClipKind::kRefused:
      break;
  }
  return false;
}

bool PlaySound(ByteSetView clip, bool loop) {
  const bool started = PlaySound(clip.bytes(), loop);
  if (TraceEnabled()) {
    TraceLine("PlaySound", MediaName(clip) + (loop ? " true " : " false ") +
                               (started ? "true" : "false"));
  }
  return started;
}

void StopSound() {
  if (TraceEnabled()) TraceLine("StopSound", "");
  StopMidi();
  SoundSystem& sound = Sound();
  std::lock_guard lock(sound.lock);
  for (WavePlayer* player : sound.active) player->Stop();
}

void StopAllSoundAndWait() {
  StopMidi();
  SoundSystem& sound = Sound();
  std::list<PlayerThread> noted;
  {
    std::lock_guard lock(sound.lock);
    for (WavePlayer* player : sound.active) player->Stop();
    // Threads of players that already left the list may still be closing their outputs; they
    // are waited for too.
    noted.splice(noted.end(), sound.threads);
  }
  for (PlayerThread& record : noted) record.thread.Join();
}

std::size_t ActiveSoundPlayers() {
  return Sound().active_count.load(std::memory_order_acquire);
}

std::size_t LiveSoundThreads() {
  return Sound().live_threads.load(std::memory_order_acquire);
}

bool WaitUntilSilent(TimePoint deadline) {
  SoundSystem& sound = Sound();
  Clock* clock;
  {
    std::lock_guard lock(sound.lock);
    clock = sound.clock;
  }
  if (clock == nullptr) return ActiveSoundPlayers() == 0;
  std::unique_lock lock(clock->mutex());
  return clock->WaitFor(lock, sound.silent, deadline, "the sound players to finish",
                        [&sound] { return sound.active_count.load() == 0; });
}

bool MidiClipPlaying() {
  MidiPlayer& midi = Midi();
  std::lock_guard lock(midi.lock);
  return midi.playing;
}

}  // namespace stage
