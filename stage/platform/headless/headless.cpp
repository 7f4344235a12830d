#include "stage/platform/headless/headless.h"

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

#include "stage/core/stage.h"
#include "stage/core/text.h"
#include "stage/sound/sound.h"

namespace stage {

HeadlessBackend::HeadlessBackend(const HeadlessOptions& options)
    : clock_(options.simulated_time ? Clock::MakeSimulated() : Clock::MakeReal()),
      width_(options.width),
      height_(options.height) {
  HeadlessAudio::Options audio;
  audio.device_count = options.audio_device ? 1 : 0;
  audio.keep_samples = options.keep_samples;
  audio_ = std::make_unique<HeadlessAudio>(*clock_, audio);
  InitSound(*clock_, audio_.get());
  desktop_ = options.desktop ? *options.desktop : GeneratedDesktop(width_, height_);
}

HeadlessBackend::~HeadlessBackend() { ShutdownSound(); }

void HeadlessBackend::ShowErrorBox(const Text& title, const Text& text) {
  const std::string line = GbkToUtf8(title) + ": " + GbkToUtf8(text);
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

void HeadlessBackend::ScheduleKey(std::int64_t at_ms, KeyPress key) {
  StageThread keyboard(*clock_, "keyboard", [this, at_ms, key] {
    const TimePoint wait = Milliseconds(at_ms) - clock_->Now();
    if (wait > 0) clock_->Sleep(wait, "the moment of a scripted key");
    PostKey(key);
  });
  keyboard.Detach();
}

void HeadlessBackend::StopAllSound() { StopAllSoundAndWait(); }

void HeadlessBackend::ExitProcess(int code) {
  for (auto& action : at_exit_) action();
  // Stills the program did not live to see show its last frame.
  std::vector<std::string> pending;
  {
    std::lock_guard lock(screen_mutex_);
    pending.swap(stills_pending_);
  }
  if (!pending.empty()) {
    const DesktopPicture last = ScreenImage();
    for (const std::string& path : pending) {
      if (!WritePpm(last, path)) std::fprintf(stderr, "show-headless: cannot write %s\n", path.c_str());
    }
  }
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(code & 0xFF);
}

}  // namespace stage
