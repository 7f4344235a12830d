#pragma once
// From drawn layers to a finished GIF: the white ground cut to an exact pixel count, a
// 256-entry palette planned around the reserved white (and black) entries, error diffusion
// inside the subject only, and the LZW stream tuned to the exact file size.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "canvas.h"

namespace mediagen {

struct PictureSpec {
  const char* name;
  int width, height;
  std::uint8_t packed, background;
  int frames;
  std::uint8_t disposal;
  std::uint16_t delay;
  bool transparent_flag;
  std::uint8_t transparent_index;
  double transparent_share, white_share;  // percent of the first frame
  std::size_t bytes;
  bool crlf_after_trailer = false;  // a line break after the trailer, counted in `bytes`
};

// One frame of a picture; `draw` paints it for a given subject scale (1 = as designed). The
// scale lets the generator grow or shrink the subject until the ground has its exact share.
struct FrameArt {
  int left = 0, top = 0, width = 0, height = 0;
  std::function<Layer(double scale)> draw;
};

struct Picture {
  std::vector<std::uint8_t> gif;
  std::vector<std::uint8_t> rgb;  // first frame as shown, width * height * 3, for the sheet
};

// `frames` is empty for a single frame covering the whole picture drawn by `draw`. When
// `fit_scale` is false the subject is drawn at scale 1 and must already be near the share.
std::optional<Picture> MakePicture(const PictureSpec& spec, const std::vector<FrameArt>& frames,
                                   bool fit_scale, std::string* error);

// A Windows icon file of 8-bit images with 256-entry palettes and 1-bit masks, one image per
// layer (square, at most 255 pixels), in the order given. Pixels under half covered are masked.
std::vector<std::uint8_t> MakeIcon(const std::vector<Layer>& images);

}  // namespace mediagen
