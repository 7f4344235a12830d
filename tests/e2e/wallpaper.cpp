// Puts a known wallpaper on the X server's root window and writes the same picture as a BMP,
// so that end-to-end tests can give the headless runner exactly the desktop the real program
// photographs.
//
//   e2e-wallpaper WIDTH HEIGHT OUT.bmp
//
// The picture has detail at every scale: a colour ramp in each direction (so a mirrored or
// shifted capture and swapped channels show), checks of 64 pixels and thin lines every 30.
// The root keeps it after the tool exits.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

std::uint32_t WallpaperPixel(int x, int y, int width, int height) {
  const std::uint32_t r = static_cast<std::uint32_t>(x * 255 / std::max(width - 1, 1));
  const std::uint32_t g = static_cast<std::uint32_t>(y * 255 / std::max(height - 1, 1));
  std::uint32_t b = ((x / 64 + y / 64) % 2 == 0) ? 60 : 190;
  if (x % 30 == 0 || y % 30 == 0) b = 255 - b;
  return r << 16 | g << 8 | b;
}

bool WriteBmp(const char* path, const std::vector<std::uint32_t>& pixels, int width, int height) {
  const std::size_t row = (std::size_t(width) * 3 + 3) / 4 * 4;
  std::vector<std::uint8_t> file(54 + row * height, 0);
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = v >> (8 * i) & 0xFF;
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<std::uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  file[26] = 1;
  file[28] = 24;
  put32(34, static_cast<std::uint32_t>(row * height));
  for (int y = 0; y < height; ++y) {
    std::uint8_t* out = file.data() + 54 + row * std::size_t(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      const std::uint32_t p = pixels[std::size_t(y) * width + x];
      out[3 * x] = p & 0xFF;
      out[3 * x + 1] = p >> 8 & 0xFF;
      out[3 * x + 2] = p >> 16 & 0xFF;
    }
  }
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
  return std::fclose(f) == 0 && ok;
}

unsigned long ToVisual(std::uint32_t rgb, const Visual& visual) {
  auto place = [](std::uint32_t channel, unsigned long mask) {
    const int bits = std::popcount(mask);
    const int shift = std::countr_zero(mask);
    return (static_cast<unsigned long>(channel) >> (8 - std::min(bits, 8))) << shift & mask;
  };
  return place(rgb >> 16 & 0xFF, visual.red_mask) | place(rgb >> 8 & 0xFF, visual.green_mask) |
         place(rgb & 0xFF, visual.blue_mask);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: e2e-wallpaper WIDTH HEIGHT OUT.bmp\n");
    return 2;
  }
  const int width = std::atoi(argv[1]);
  const int height = std::atoi(argv[2]);
  if (width < 1 || height < 1 || width > 16384 || height > 16384) {
    std::fprintf(stderr, "e2e-wallpaper: bad size\n");
    return 2;
  }
  std::vector<std::uint32_t> pixels(std::size_t(width) * height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      pixels[std::size_t(y) * width + x] = WallpaperPixel(x, y, width, height);
  }
  if (!WriteBmp(argv[3], pixels, width, height)) {
    std::fprintf(stderr, "e2e-wallpaper: cannot write %s\n", argv[3]);
    return 1;
  }

  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "e2e-wallpaper: cannot open the X display\n");
    return 1;
  }
  const int screen = DefaultScreen(display);
  const Window root = RootWindow(display, screen);
  Visual* visual = DefaultVisual(display, screen);
  const int depth = DefaultDepth(display, screen);
  if (visual->c_class != TrueColor) {
    std::fprintf(stderr, "e2e-wallpaper: the root visual is not TrueColor\n");
    return 1;
  }
  XImage* image = XCreateImage(display, visual, depth, ZPixmap, 0, nullptr, width, height, 32, 0);
  image->data = static_cast<char*>(std::malloc(std::size_t(image->bytes_per_line) * height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      XPutPixel(image, x, y, ToVisual(pixels[std::size_t(y) * width + x], *visual));
    }
  }
  const Pixmap pixmap = XCreatePixmap(display, root, width, height, depth);
  GC gc = XCreateGC(display, pixmap, 0, nullptr);
  XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, width, height);
  XFreeGC(display, gc);
  XDestroyImage(image);
  XSetWindowBackgroundPixmap(display, root, pixmap);
  XClearWindow(display, root);
  // What desktop tools read to find the wallpaper.
  for (const char* name : {"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"}) {
    const Atom atom = XInternAtom(display, name, False);
    XChangeProperty(display, root, atom, XA_PIXMAP, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pixmap), 1);
  }
  // The pixmap outlives this connection.
  XSetCloseDownMode(display, RetainPermanent);
  XSync(display, False);
  XCloseDisplay(display);
  return 0;
}
