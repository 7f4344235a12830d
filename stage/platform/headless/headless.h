#pragma once
// The headless backend: a screen of a chosen size in memory, simulated time, scripted keys and
// a message box that writes to standard error. A first-class backend: tests, previews and
// machines without a display run the show on it.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "stage/core/backend.h"
#include "stage/sound/headless_audio.h"

namespace stage {

struct HeadlessOptions {
  std::int32_t width = 1920;
  std::int32_t height = 1080;
  bool simulated_time = true;
  bool audio_device = true;       // false: no wave output at all
  bool keep_samples = false;      // the audio device keeps what it played
  // The desktop behind the program's window; without one a generated desktop of the screen's
  // size is used.
  std::optional<DesktopPicture> desktop{};
};

// A fixed desktop of the given size: a wallpaper gradient, a few window-like rectangles with
// lines of "text" made of bars, and a taskbar. Depends on nothing but the size.
DesktopPicture GeneratedDesktop(std::int32_t width, std::int32_t height);

// Writes a picture as a binary PPM; false when the file cannot be written.
bool WritePpm(const DesktopPicture& picture, const std::string& path);

class HeadlessBackend : public Backend {
 public:
  explicit HeadlessBackend(const HeadlessOptions& options = {});
  ~HeadlessBackend() override;

  Clock& clock() override { return *clock_; }
  std::int32_t ScreenWidth() override { return width_; }
  std::int32_t ScreenHeight() override { return height_; }
  void SetScreenSize(std::int32_t width, std::int32_t height) {
    width_ = width;
    height_ = height;
  }

  // Writes "<title>: <text>" (as UTF-8) to standard error and answers OK.
  void ShowErrorBox(const Text& title, const Text& text) override;

  // Presses `key` at `at_ms` on the clock (from a thread of the backend's own).
  void ScheduleKey(std::int64_t at_ms, KeyPress key);

  // Runs before the process ends (flushes of files the runner writes, for example).
  void AtExit(std::function<void()> action) { at_exit_.push_back(std::move(action)); }

  bool window_shown() const { return window_shown_; }
  void WindowShown(bool shown) override { window_shown_ = shown; }

  void StopAllSound() override;

  // The screen as presented: the desktop, and the window's last presented frame over it while
  // the window is visible. Any thread.
  DesktopPicture ScreenImage();
  // How many frames have been presented. Any thread.
  int present_count();

  // Writes the presented screen to `path` (binary PPM) at `at_ms` on the clock. A still whose
  // moment the program does not live to see shows the last frame, written as the process ends.
  void ScheduleStill(std::int64_t at_ms, std::string path);

  void PresentFrame(const PresentedFrame& frame) override;
  bool CaptureDesktop(DesktopPicture& desktop) override;

  HeadlessAudio& audio() { return *audio_; }

 protected:
  void ExitProcess(int code) override;

 private:
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<HeadlessAudio> audio_;
  std::int32_t width_, height_;
  std::vector<std::function<void()>> at_exit_;
  bool window_shown_ = false;

  std::mutex screen_mutex_;  // guards what follows
  DesktopPicture desktop_;
  DesktopPicture window_;  // the last presented frame
  Rect window_place_;
  bool window_visible_ = false;
  int present_count_ = 0;
  std::vector<std::string> stills_pending_;
};

}  // namespace stage
