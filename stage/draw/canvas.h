#pragma once
// Drawing on a canvas (a DrawPanel control), loaded pictures and the screen snapshot.
// Everything here runs on the user-interface thread. Drawing goes straight to the screen:
// a canvas keeps no copy of what was drawn, so a repaint of an area shows its background again.

#include <cstdint>
#include <functional>

#include "stage/core/byteset.h"
#include "stage/core/types.h"

namespace stage {

// Names a decoded picture of the picture registry; 0 is no picture.
using PictureValue = std::int32_t;

// Paints the background over a rectangle of the canvas (the whole client area, narrowed by the
// given edges) and moves the text cursor to its top-left corner.
void ClearCanvas(ControlRef canvas, Opt left = kOmitted, Opt top = kOmitted, Opt width = kOmitted,
                 Opt height = kOmitted);

// Decodes a picture file into a new registry entry (no cache). 0 when it does not decode.
PictureValue LoadPicture(ByteSetView bytes);

// For fault-injection tests: while set, LoadPicture treats every picture for which `refuse`
// answers true as one that does not decode (it returns 0). The program never sets it. Set it
// before the show starts; it is read on the user-interface thread.
using PictureRefusal = std::function<bool(ByteSetView bytes)>;
void SetPictureRefusal(PictureRefusal refuse);

// Draws a picture with its top-left corner at (left, top). Width and height: omitted or -1 is
// the natural size. Mode: omitted or 1 copy, 2 inverted copy, 3 xor, 4 or, 5 and, another value
// >= 0 a raster operation code, a negative -k draws transparently with colour k left out.
void DrawPicture(ControlRef canvas, PictureValue picture, std::int32_t left, std::int32_t top,
                 Opt width = kOmitted, Opt height = kOmitted, Opt mode = kOmitted);

// Draws a text (GBK) at (x, y), the top-left corner of its first character cell; an omitted
// coordinate comes from the text cursor.
void WriteText(ControlRef canvas, Opt x, Opt y, const Text& text);

// A BMP file (24 bits, bottom-up) of the screen, or of a window; empty when it cannot be had.
ByteSet TakeSnapshot(Opt window = kOmitted, Opt width = kOmitted, Opt height = kOmitted);

inline constexpr Color MakeColor(std::int32_t red, std::int32_t green, std::int32_t blue) {
  return (red & 255) | (green & 255) << 8 | (blue & 255) << 16;
}

// The mode the show draws with: transparent, white left out (0xFF000001).
inline constexpr std::int32_t kTransparentWhite = -16777215;

}  // namespace stage
