#pragma once
// What a platform backend gives the stage. The stage core makes no platform call of its own:
// windows on the screen, input, the clock, message boxes and the process end come from here.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "stage/core/clock.h"
#include "stage/core/screen.h"
#include "stage/core/types.h"

namespace stage {

// Keys the stage reacts to.
struct KeyPress {
  int key = 0;  // kKeyEscape, or anything else
  bool ctrl = false, shift = false, alt = false;
};
inline constexpr int kKeyEscape = 27;

// The top-level window's client area as the compositor hands it to the backend.
struct PresentedFrame {
  const std::uint32_t* pixels = nullptr;  // width x height, 0x00RRGGBB, rows top-down
  std::int32_t width = 0, height = 0;
  Rect place;            // the window's rectangle on the screen
  bool visible = false;  // whether the window is on the screen at all
  // Parts of `pixels` (in its own coordinates) that changed since the previous frame. After a
  // change of place, size or visibility they cover the whole frame.
  std::span<const Rect> dirty;
};

// A picture of the desktop: 0x00RRGGBB, rows top-down.
struct DesktopPicture {
  std::int32_t width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
};

class Backend {
 public:
  virtual ~Backend() = default;

  virtual Clock& clock() = 0;

  // Size of the primary display, read anew on every call.
  virtual std::int32_t ScreenWidth() = 0;
  virtual std::int32_t ScreenHeight() = 0;

  // A modal box with one OK button and the stop icon; returns when it is dismissed.
  // Title and text are GBK.
  virtual void ShowErrorBox(const Text& title, const Text& text) = 0;

  // The user-interface thread calls this each time it takes events. The backend posts the
  // input it has gathered (Stage::PostKey) and returns how long, in microseconds, the thread
  // may wait for messages before it must call again (kNoDeadline: as long as it likes).
  virtual TimePoint PollInput() { return kNoDeadline; }

  // The top-level window became visible or hidden.
  virtual void WindowShown(bool /*shown*/) {}

  // Stops every sound and waits until every sound thread has finished.
  virtual void StopAllSound() {}

  // Shows the compositor's framebuffer on the screen. Called on the user-interface thread,
  // coalesced by the compositor; the pixels stay valid only for the call.
  virtual void PresentFrame(const PresentedFrame& /*frame*/) {}

  // The display's refresh interval: presents after drawing come at most this often. kNoDeadline
  // means there is no display to pace by, and only the presents the event loop asks for (at
  // each delay and when it goes idle) are made.
  virtual TimePoint RefreshInterval() { return kNoDeadline; }

  // The desktop as it is on the screen, at the screen's size, for snapshots; the program's own
  // window is composed over it by the stage. False when the platform cannot provide it.
  virtual bool CaptureDesktop(DesktopPicture& /*desktop*/) { return false; }

  // Ends the process with `code`; every thread ends with it.
  [[noreturn]] void Exit(int code) {
    ExitProcess(code);
    std::_Exit(code);  // a backend's exit never returns; this keeps that a fact
  }

 protected:
  virtual void ExitProcess(int code) = 0;
};

}  // namespace stage
