#pragma once
// The desktop as an X server shows it: the root window of the default screen, read with
// XGetImage. Used for the desktop picture behind snapshots; where no X server can be reached
// (a pure Wayland session, or no display at all) there is no picture and nothing else fails.

#include <cstdint>

#include "stage/core/backend.h"

struct _XDisplay;
struct _XImage;

namespace stage {

class X11Desktop {
 public:
  X11Desktop() = default;
  ~X11Desktop();
  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;

  // The part (x, y, width, height) of the root window, cut to the root window's size. False
  // when no X server can be reached or it refuses the pixels. The connection is opened on the
  // first call (from $DISPLAY) and kept; call from one thread only.
  bool Capture(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
               DesktopPicture& desktop);

 private:
  _XDisplay* display_ = nullptr;
  bool tried_ = false;
};

// Whether the X server in $DISPLAY offers direct rendering to a GPU (the DRI2 or DRI3
// extension); false also when no X server can be reached. Without it an OpenGL renderer can
// only be a software rasteriser.
bool X11HasDirectRendering();

// Converts an XImage in ZPixmap format of any TrueColor layout to 0x00RRGGBB pixels. False
// for layouts without colour masks (palettes) or with an unusable size.
bool XImageToPicture(_XImage& image, DesktopPicture& picture);

}  // namespace stage
