// The snapshot: the screen (or one window's rectangle of it) as a 24-bit BMP file.

#include <cstring>
#include <string>

#include "stage/core/controls.h"
#include "stage/core/stage.h"
#include "stage/draw/canvas.h"
#include "stage/draw/kinds.h"

namespace stage {
namespace {

// Omitted or 0: the source size; -p: p percent of it, at least 10 %; otherwise as given.
std::int64_t OutputSize(Opt requested, std::int32_t source) {
  if (!requested || *requested == 0) return source;
  if (*requested > 0) return *requested;
  const std::int64_t p = std::max<std::int64_t>(-std::int64_t(*requested), 10);
  return (std::int64_t(source) * p + 50) / 100;
}

void Put16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  out[at] = v & 0xFF;
  out[at + 1] = v >> 8 & 0xFF;
}
void Put32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
  Put16(out, at, v & 0xFFFF);
  Put16(out, at + 2, v >> 16);
}

ByteSet EncodeBmp(const draw::BitmapView& image) {
  const std::size_t row_bytes = (std::size_t(image.width) * 3 + 3) / 4 * 4;
  const std::size_t size = 54 + row_bytes * image.height;
  std::vector<std::uint8_t> file(size, 0);
  file[0] = 'B';
  file[1] = 'M';
  Put32(file, 2, static_cast<std::uint32_t>(size));
  Put32(file, 10, 54);
  Put32(file, 14, 40);
  Put32(file, 18, static_cast<std::uint32_t>(image.width));
  Put32(file, 22, static_cast<std::uint32_t>(image.height));
  Put16(file, 26, 1);
  Put16(file, 28, 24);
  Put32(file, 34, static_cast<std::uint32_t>(row_bytes * image.height));
  for (std::int32_t y = 0; y < image.height; ++y) {
    std::uint8_t* out = file.data() + 54 + row_bytes * std::size_t(image.height - 1 - y);
    const std::uint32_t* in = image.row(y);
    for (std::int32_t x = 0; x < image.width; ++x, out += 3) {
      out[0] = in[x] & 0xFF;
      out[1] = in[x] >> 8 & 0xFF;
      out[2] = in[x] >> 16 & 0xFF;
    }
  }
  return ByteSet(file);
}

ByteSet Snapshot(Opt window, Opt width, Opt height) {
  draw::Compositor* compositor = draw::Compositor::Current();
  if (compositor == nullptr) return {};
  const DesktopPicture screen = compositor->ComposeScreen();
  Rect source{0, 0, screen.width, screen.height};
  if (window && *window != 0) {
    Layer* layer = WindowLayer(static_cast<std::uint32_t>(*window));
    if (layer == nullptr) return {};
    source = layer->rect();
  }
  if (source.empty()) return {};
  // The source rectangle, with black where it leaves the screen.
  ScreenBitmap pixels;
  pixels.width = source.width();
  pixels.height = source.height();
  pixels.pixels.assign(std::size_t(pixels.width) * pixels.height, 0);
  const Rect on_screen{std::max(source.left, 0), std::max(source.top, 0),
                       std::min(source.right, screen.width),
                       std::min(source.bottom, screen.height)};
  for (std::int32_t y = on_screen.top; y < on_screen.bottom && !on_screen.empty(); ++y) {
    std::memcpy(pixels.pixels.data() + std::size_t(y - source.top) * pixels.width +
                    (on_screen.left - source.left),
                screen.pixels.data() + std::size_t(y) * screen.width + on_screen.left,
                std::size_t(on_screen.width()) * 4);
  }

  const std::int64_t w = OutputSize(width, source.width());
  const std::int64_t h = OutputSize(height, source.height());
  if (w <= 0 || h <= 0) return {};
  // Larger than any picture the stage decodes (and so than any screen): refused rather than
  // risking the memory; it would not fit a byte set's 32-bit length much beyond anyway.
  if (w * h > kMaxPicturePixels) return {};
  if (w == source.width() && h == source.height()) return EncodeBmp(draw::ViewOf(pixels));
  const auto ow = static_cast<std::int32_t>(w), oh = static_cast<std::int32_t>(h);
  const ScreenBitmap stretched =
      draw::StretchArea(draw::ViewOf(pixels), ow, oh, Rect{0, 0, ow, oh});
  return EncodeBmp(draw::ViewOf(stretched));
}

}  // namespace

ByteSet TakeSnapshot(Opt window, Opt width, Opt height) {
  ByteSet bmp = Snapshot(window, width, height);
  if (TraceEnabled()) TraceLine("TakeSnapshot", std::to_string(bmp.length()));
  return bmp;
}

}  // namespace stage
