#pragma once
// The desktop backend on SDL2: one borderless, always-on-top window kept off the taskbar,
// showing the compositor's framebuffer by its dirty parts (through a streaming texture with a
// GPU, straight into the window's image without one); Esc from SDL's keyboard
// events; the primary display's size from SDL; message boxes from SDL; the real clock; SDL
// audio; the desktop picture from the X server's root window.
//
// SDL's video calls all happen on the thread that opened the backend, which must be the
// thread that becomes the stage's user-interface thread.

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "stage/core/backend.h"
#include "stage/platform/sdl/sdl_audio.h"
#include "stage/platform/sdl/x11_desktop.h"

namespace stage {

class SdlBackend : public Backend {
 public:
  // Starts SDL's video and makes the window, hidden; starts SDL's audio when it can (without
  // it clips play on no device). Null, with `problem` saying why, when there is no display.
  static std::unique_ptr<SdlBackend> Open(std::string& problem);
  ~SdlBackend() override;
  SdlBackend(const SdlBackend&) = delete;
  SdlBackend& operator=(const SdlBackend&) = delete;

  Clock& clock() override { return *clock_; }
  // Any thread. On the backend's own thread SDL is asked; other threads get what it said last,
  // which is renewed every time the user-interface thread takes events.
  std::int32_t ScreenWidth() override;
  std::int32_t ScreenHeight() override;
  // Any thread: SDL's message boxes have their own connection to the window system.
  void ShowErrorBox(const Text& title, const Text& text) override;
  TimePoint PollInput() override;
  void WindowShown(bool shown) override;
  void StopAllSound() override;
  void PresentFrame(const PresentedFrame& frame) override;
  TimePoint RefreshInterval() override { return refresh_interval_.load(); }
  bool CaptureDesktop(DesktopPicture& desktop) override;

  // The name of the SDL renderer in use, for measurements.
  std::string renderer_name() const;

 protected:
  void ExitProcess(int code) override;

 private:
  SdlBackend();
  bool MakeWindow(std::string& problem);
  bool CreateWindow(std::string& problem);
  void ReadDisplay();
  bool OnVideoThread() const { return std::this_thread::get_id() == video_thread_; }
  bool EnsureTexture(std::int32_t width, std::int32_t height);
  void PlaceWindow(const Rect& place);
  void PresentThroughTexture(const PresentedFrame& frame);
  void PresentThroughSurface(const PresentedFrame& frame);
  // The frame's dirty parts (or all of it), cut to a width x height target.
  static std::vector<SDL_Rect> Areas(const PresentedFrame& frame, bool whole, std::int32_t width,
                                     std::int32_t height);

  std::unique_ptr<Clock> clock_;
  const std::thread::id video_thread_;
  bool video_started_ = false;

  SDL_Window* window_ = nullptr;
  // With a GPU the frame goes through a streaming texture; without one (no renderer) it is
  // copied straight into the window's own image, which keeps its pixels between frames.
  SDL_Renderer* renderer_ = nullptr;
  SDL_Surface* surface_ = nullptr;  // the window image the last frame went into
  SDL_Texture* texture_ = nullptr;
  std::int32_t texture_width_ = 0, texture_height_ = 0;
  std::optional<Rect> window_place_;  // where the window stands, in the stage's coordinates
  bool shown_ = false;
  bool presented_ = false;   // the texture or window image holds a whole frame
  bool push_whole_ = false;  // the window was shown: the next present shows all of it

  // The primary display, as last read on the video thread.
  std::atomic<std::int32_t> display_x_{0}, display_y_{0}, display_width_{0}, display_height_{0};
  std::atomic<TimePoint> refresh_interval_{Milliseconds(1000) / 60};

  X11Desktop x11_;
  std::optional<DesktopPicture> hidden_desktop_;  // taken while the window was hidden

  std::unique_ptr<SdlAudio> audio_;
};

}  // namespace stage
