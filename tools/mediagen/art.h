#pragma once
// The drawings behind the twenty pictures.

#include <vector>

#include "glyph.h"
#include "picture.h"

namespace mediagen {

// The frames of the picture `spec` names, ready for MakePicture; empty for an unknown name.
std::vector<FrameArt> ArtFor(const PictureSpec& spec, const GlyphSource& glyphs);

// A red rose for the program's icon, drawn for a square of `size` pixels.
Layer IconRose(int size);

}  // namespace mediagen
