// One heart outline of 31 copies of a picture, grown one step at a time: a start copy, four
// rising pairs, two crest pairs, three outer lobe pairs and six pairs down to the point.

#include "show/show.h"

namespace show {
namespace {

void DrawCopy(stage::ControlRef canvas, stage::PictureValue picture, std::int32_t x,
              std::int32_t y) {
  stage::DrawPicture(canvas, picture, x, y, stage::kOmitted, stage::kOmitted,
                     stage::kTransparentWhite);
}

}  // namespace

void DrawHeartOutline(stage::ControlRef canvas, stage::PictureValue picture, std::int32_t pause) {
  const std::int32_t w = stage::ScreenWidth();
  const std::int32_t h = stage::ScreenHeight();

  // Left x (element 1) and right x (element 2).
  const std::int32_t x0 = Trunc(w / 2.0 - 73.5);  // half the width of most of the roses
  std::vector<std::int32_t> anchor{x0, x0};
  std::int32_t base_y = Trunc(h / 3.0);
  std::vector<std::int32_t> cursor = anchor;
  std::int32_t y = base_y;
  DrawCopy(canvas, picture, At(anchor, 1), base_y);
  stage::Delay(pause);

  // Rise.
  for (std::int32_t k = 1; k <= 4; ++k) {
    At(cursor, 1) = Trunc(At(anchor, 1) - 55.0 * k);
    At(cursor, 2) = Trunc(At(anchor, 2) + 55.0 * k);
    y = Trunc(base_y - 65.0 * k);
    if (y < 0) y = 0;
    DrawCopy(canvas, picture, At(cursor, 1), y);
    DrawCopy(canvas, picture, At(cursor, 2), y);
    if (k == 4) {
      anchor = cursor;
      base_y = y;
    }
    stage::Delay(pause);
  }

  // Crest.
  for (std::int32_t k = 1; k <= 2; ++k) {
    At(cursor, 1) = Trunc(At(anchor, 1) - 93.0 * k);
    At(cursor, 2) = Trunc(At(anchor, 2) + 93.0 * k);
    DrawCopy(canvas, picture, At(cursor, 1), y);
    DrawCopy(canvas, picture, At(cursor, 2), y);
    if (k == 2) anchor = cursor;
    stage::Delay(pause);
  }

  // Outer lobes.
  for (std::int32_t k = 1; k <= 3; ++k) {
    At(cursor, 1) = Trunc(At(anchor, 1) - 55.0 * k);
    At(cursor, 2) = Trunc(At(anchor, 2) + 55.0 * k);
    y = Trunc(base_y + 65.0 * k);
    DrawCopy(canvas, picture, At(cursor, 1), y);
    DrawCopy(canvas, picture, At(cursor, 2), y);
    stage::Delay(pause);
  }

  // Down to the point.
  for (std::int32_t l = 1; l <= 6; ++l) {
    DrawCopy(canvas, picture, Trunc(At(cursor, 1) + 93.0 * l), Trunc(y + 65.0 * l));
    DrawCopy(canvas, picture, Trunc(At(cursor, 2) - 93.0 * l), Trunc(y + 65.0 * l));
    stage::Delay(pause);
  }
}

}  // namespace show
