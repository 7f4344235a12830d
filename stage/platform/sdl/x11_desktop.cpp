#include "stage/platform/sdl/x11_desktop.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace stage {
namespace {

// Xlib's default handler ends the process on any protocol error; a refused XGetImage must only
// make the capture fail.
bool g_x_error = false;
int RecordXError(Display*, XErrorEvent*) {
  g_x_error = true;
  return 0;
}

// Scales a channel read through `mask` to 8 bits.
std::uint32_t Channel(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  const unsigned long value = (pixel & mask) >> shift;
  if (bits >= 8) return static_cast<std::uint32_t>(value >> (bits - 8));
  const unsigned long max = (1ul << bits) - 1;
  return static_cast<std::uint32_t>((value * 255 + max / 2) / max);
}

}  // namespace

X11Desktop::~X11Desktop() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

bool X11HasDirectRendering() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  int opcode = 0, event = 0, error = 0;
  const bool direct = XQueryExtension(display, "DRI3", &opcode, &event, &error) ||
                      XQueryExtension(display, "DRI2", &opcode, &event, &error);
  XCloseDisplay(display);
  return direct;
}

bool XImageToPicture(XImage& image, DesktopPicture& picture) {
  if (image.format != ZPixmap || image.width <= 0 || image.height <= 0) return false;
  if (image.red_mask == 0 || image.green_mask == 0 || image.blue_mask == 0) return false;
  picture.width = image.width;
  picture.height = image.height;
  picture.pixels.resize(std::size_t(image.width) * std::size_t(image.height));
  const bool native_order =
      (image.byte_order == LSBFirst) == (std::endian::native == std::endian::little);
  if (image.bits_per_pixel == 32 && native_order && image.red_mask == 0xFF0000 &&
      image.green_mask == 0xFF00 && image.blue_mask == 0xFF) {
    // The layout of nearly every desktop: rows of 0x??RRGGBB words.
    for (int y = 0; y < image.height; ++y) {
      const char* row = image.data + std::size_t(y) * std::size_t(image.bytes_per_line);
      std::uint32_t* out = picture.pixels.data() + std::size_t(y) * std::size_t(image.width);
      std::memcpy(out, row, std::size_t(image.width) * 4);
      for (int x = 0; x < image.width; ++x) out[x] &= 0xFFFFFF;
    }
    return true;
  }
  for (int y = 0; y < image.height; ++y) {
    std::uint32_t* out = picture.pixels.data() + std::size_t(y) * std::size_t(image.width);
    for (int x = 0; x < image.width; ++x) {
      const unsigned long pixel = XGetPixel(&image, x, y);
      out[x] = Channel(pixel, image.red_mask) << 16 | Channel(pixel, image.green_mask) << 8 |
               Channel(pixel, image.blue_mask);
    }
  }
  return true;
}

bool X11Desktop::Capture(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                         DesktopPicture& desktop) {
  if (!tried_) {
    tried_ = true;
    display_ = XOpenDisplay(nullptr);
  }
  if (display_ == nullptr) return false;
  const Window root = DefaultRootWindow(display_);
  XWindowAttributes root_attributes;
  if (XGetWindowAttributes(display_, root, &root_attributes) == 0) return false;
  const int left = std::clamp(x, 0, root_attributes.width);
  const int top = std::clamp(y, 0, root_attributes.height);
  const int right = std::clamp(x + std::max(width, 0), left, root_attributes.width);
  const int bottom = std::clamp(y + std::max(height, 0), top, root_attributes.height);
  if (right <= left || bottom <= top) return false;

  XSync(display_, False);
  g_x_error = false;
  auto* previous = XSetErrorHandler(RecordXError);
  XImage* image = XGetImage(display_, root, left, top, unsigned(right - left),
                            unsigned(bottom - top), AllPlanes, ZPixmap);
  XSync(display_, False);
  XSetErrorHandler(previous);
  if (image == nullptr || g_x_error) {
    if (image != nullptr) XDestroyImage(image);
    return false;
  }
  // XGetImage leaves the masks of the image to the visual; the root's visual has them.
  if (image->red_mask == 0) {
    image->red_mask = root_attributes.visual->red_mask;
    image->green_mask = root_attributes.visual->green_mask;
    image->blue_mask = root_attributes.visual->blue_mask;
  }
  DesktopPicture captured;
  const bool ok = XImageToPicture(*image, captured);
  XDestroyImage(image);
  if (!ok) return false;
  if (captured.width == width && captured.height == height) {
    desktop = std::move(captured);
    return true;
  }
  // Parts of the display outside the root window stay black.
  desktop.width = width;
  desktop.height = height;
  desktop.pixels.assign(std::size_t(width) * std::size_t(height), 0);
  for (int row = 0; row < captured.height; ++row) {
    std::memcpy(desktop.pixels.data() + std::size_t(top - y + row) * std::size_t(width) +
                    std::size_t(left - x),
                captured.pixels.data() + std::size_t(row) * std::size_t(captured.width),
                std::size_t(captured.width) * 4);
  }
  return true;
}

}  // namespace stage
