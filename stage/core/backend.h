#pragma once
// What a platform backend gives the stage. The stage core makes no platform call of its own:
// windows on the screen, input, the clock, message boxes and the process end come from here.

#include <cstdint>
#include <cstdlib>

#include "stage/core/clock.h"
#include "stage/core/types.h"

namespace stage {

// Keys the stage reacts to.
struct KeyPress {
  int key = 0;  // kKeyEscape, or anything else
  bool ctrl = false, shift = false, alt = false;
};
inline constexpr int kKeyEscape = 27;

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

  // Ends the process with `code`; every thread ends with it.
  [[noreturn]] void Exit(int code) {
    ExitProcess(code);
    std::_Exit(code);  // a backend's exit never returns; this keeps that a fact
  }

 protected:
  virtual void ExitProcess(int code) = 0;
};

}  // namespace stage
