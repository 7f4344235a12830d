// The headless backend's screen: a generated or given desktop, the presented frames of the
// program's window over it, and stills of it written as PPM files.

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "stage/platform/headless/headless.h"

namespace stage {

DesktopPicture GeneratedDesktop(std::int32_t width, std::int32_t height) {
  DesktopPicture d;
  d.width = std::max(width, 0);
  d.height = std::max(height, 0);
  d.pixels.resize(std::size_t(d.width) * d.height);
  auto fill = [&d](std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
                   std::uint32_t pixel) {
    l = std::max(l, 0);
    t = std::max(t, 0);
    r = std::min(r, d.width);
    b = std::min(b, d.height);
    for (std::int32_t y = t; y < b && l < r; ++y) {
      std::fill(d.pixels.begin() + std::ptrdiff_t(y) * d.width + l,
                d.pixels.begin() + std::ptrdiff_t(y) * d.width + r, pixel);
    }
  };
  // Wallpaper: deep blue at the top left to teal at the bottom right.
  for (std::int32_t y = 0; y < d.height; ++y) {
    for (std::int32_t x = 0; x < d.width; ++x) {
      const std::uint32_t u = d.width > 1 ? std::uint32_t(x) * 255 / (d.width - 1) : 0;
      const std::uint32_t v = d.height > 1 ? std::uint32_t(y) * 255 / (d.height - 1) : 0;
      const std::uint32_t r = 16 + u / 8, g = 40 + (u + v) * 50 / 255, b = 110 + v * 60 / 255;
      d.pixels[std::size_t(y) * d.width + x] = r << 16 | g << 8 | b;
    }
  }
  // Windows placed by fractions of the screen, so that every size shows the same picture.
  struct Box {
    int l, t, r, b;  // per mille of the screen
    std::uint32_t title;
  };
  const Box boxes[] = {
      {60, 80, 420, 520, 0x2B579A}, {300, 220, 760, 700, 0x217346}, {640, 120, 940, 460, 0xB7472A}};
  for (const Box& box : boxes) {
    const std::int32_t l = box.l * d.width / 1000, t = box.t * d.height / 1000;
    const std::int32_t r = box.r * d.width / 1000, b = box.b * d.height / 1000;
    fill(l - 1, t - 1, r + 1, b + 1, 0x404040);
    fill(l, t, r, b, 0xF3F3F3);
    const std::int32_t bar = std::max(4, d.height / 40);
    fill(l, t, r, t + bar, box.title);
    // Lines of text as bars of varying length: no font takes part.
    const std::int32_t line = std::max(3, d.height / 90);
    int n = 0;
    for (std::int32_t y = t + bar + line; y + line < b - line; y += 2 * line, ++n) {
      const std::int32_t len = (r - l - 2 * line) * (5 + (n * 7) % 5) / 10;
      fill(l + line, y, l + line + len, y + line / 2 + 1, 0x5A5A5A);
    }
  }
  const std::int32_t taskbar = std::max(2, d.height / 27);
  fill(0, d.height - taskbar, d.width, d.height, 0x1F1F1F);
  fill(taskbar / 4, d.height - taskbar + taskbar / 4, taskbar, d.height - taskbar / 4, 0x3A8EE6);
  return d;
}

bool WritePpm(const DesktopPicture& picture, const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  std::fprintf(f, "P6\n%d %d\n255\n", picture.width, picture.height);
  std::vector<std::uint8_t> row(std::size_t(picture.width) * 3);
  bool ok = true;
  for (std::int32_t y = 0; y < picture.height && ok; ++y) {
    for (std::int32_t x = 0; x < picture.width; ++x) {
      const std::uint32_t p = picture.pixels[std::size_t(y) * picture.width + x];
      row[3 * x] = p >> 16 & 0xFF;
      row[3 * x + 1] = p >> 8 & 0xFF;
      row[3 * x + 2] = p & 0xFF;
    }
    ok = std::fwrite(row.data(), 1, row.size(), f) == row.size();
  }
  return std::fclose(f) == 0 && ok;
}

void HeadlessBackend::PresentFrame(const PresentedFrame& frame) {
  std::lock_guard lock(screen_mutex_);
  ++present_count_;
  window_place_ = frame.place;
  window_visible_ = frame.visible;
  if (window_.width != frame.width || window_.height != frame.height) {
    window_.width = frame.width;
    window_.height = frame.height;
    window_.pixels.assign(std::size_t(frame.width) * frame.height, 0);
  }
  for (const Rect& r : frame.dirty) {
    const Rect c{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, frame.width),
                 std::min(r.bottom, frame.height)};
    for (std::int32_t y = c.top; y < c.bottom && !c.empty(); ++y) {
      const std::size_t at = std::size_t(y) * frame.width + c.left;
      std::memcpy(window_.pixels.data() + at, frame.pixels + at, std::size_t(c.width()) * 4);
    }
  }
}

bool HeadlessBackend::CaptureDesktop(DesktopPicture& desktop) {
  std::lock_guard lock(screen_mutex_);
  desktop = desktop_;
  return true;
}

DesktopPicture HeadlessBackend::ScreenImage() {
  std::lock_guard lock(screen_mutex_);
  DesktopPicture screen;
  screen.width = width_;
  screen.height = height_;
  screen.pixels.assign(std::size_t(width_) * height_, 0);
  const std::int32_t dw = std::min(desktop_.width, width_), dh = std::min(desktop_.height, height_);
  for (std::int32_t y = 0; y < dh; ++y) {
    std::memcpy(screen.pixels.data() + std::size_t(y) * width_,
                desktop_.pixels.data() + std::size_t(y) * desktop_.width, std::size_t(dw) * 4);
  }
  if (window_visible_) {
    const Rect p = window_place_;
    const Rect c{std::max(p.left, 0), std::max(p.top, 0), std::min(p.left + window_.width, width_),
                 std::min(p.top + window_.height, height_)};
    for (std::int32_t y = c.top; y < c.bottom && !c.empty(); ++y) {
      std::memcpy(
          screen.pixels.data() + std::size_t(y) * width_ + c.left,
          window_.pixels.data() + std::size_t(y - p.top) * window_.width + (c.left - p.left),
          std::size_t(c.width()) * 4);
    }
  }
  return screen;
}

int HeadlessBackend::present_count() {
  std::lock_guard lock(screen_mutex_);
  return present_count_;
}

void HeadlessBackend::ScheduleStill(std::int64_t at_ms, std::string path) {
  {
    std::lock_guard lock(screen_mutex_);
    stills_pending_.push_back(path);
  }
  StageThread still(*clock_, "still " + path, [this, at_ms, path] {
    const TimePoint wait = Milliseconds(at_ms) - clock_->Now();
    if (wait > 0) clock_->Sleep(wait, "the moment of a still");
    if (!WritePpm(ScreenImage(), path)) {
      std::fprintf(stderr, "show-headless: cannot write %s\n", path.c_str());
    }
    std::lock_guard lock(screen_mutex_);
    std::erase(stills_pending_, path);
  });
  still.Detach();
}

}  // namespace stage
