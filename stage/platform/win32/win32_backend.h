#pragma once
// The native Windows backend: a frameless popup window, topmost and kept off the taskbar by a
// hidden owner window, showing the compositor's framebuffer by its dirty parts from a DIB
// section; Esc from the window's messages; the screen's size from GetSystemMetrics; message
// boxes from MessageBox; the desktop picture with BitBlt from the screen; waveOut audio; the
// real clock.
//
// The window belongs to the thread that opens the backend, which must be the thread that
// becomes the stage's user-interface thread: only it takes the window's messages.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "stage/core/backend.h"
#include "stage/platform/win32/waveout_audio.h"

namespace stage {

// Prepares the process as the program expects it before anything else runs: DPI-aware, so
// that the screen's size is in real pixels (per-monitor v2 where the system has it), OLE
// started on the calling thread, and the executable's own folder as the current directory.
void PrepareWin32Process();

class Win32Backend : public Backend {
 public:
  // Makes the window, hidden, and starts the sound system on waveOut (without a device clips
  // play on none). Null, with `problem` saying why, when no window can be made.
  static std::unique_ptr<Win32Backend> Open(std::string& problem);
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  Clock& clock() override { return *clock_; }
  // Any thread.
  std::int32_t ScreenWidth() override;
  std::int32_t ScreenHeight() override;
  // Any thread. The box is owned by the show's window while it is on the screen, so that it
  // opens above it.
  void ShowErrorBox(const Text& title, const Text& text) override;
  TimePoint PollInput() override;
  void WindowShown(bool shown) override;
  void StopAllSound() override;
  void PresentFrame(const PresentedFrame& frame) override;
  TimePoint RefreshInterval() override { return refresh_interval_.load(); }
  bool CaptureDesktop(DesktopPicture& desktop) override;

  // For the window procedure.
  struct Impl;

 protected:
  void ExitProcess(int code) override;

 private:
  Win32Backend();
  void ReadRefreshRate();

  std::unique_ptr<Clock> clock_;
  std::unique_ptr<Impl> impl_;
  std::atomic<bool> shown_{false};
  std::atomic<TimePoint> refresh_interval_{Milliseconds(1000) / 60};
  std::optional<DesktopPicture> hidden_desktop_;  // taken while the window was hidden
  std::unique_ptr<WaveOutAudio> audio_;
};

}  // namespace stage
