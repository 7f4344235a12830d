#include "stage/draw/compositor.h"

#include <algorithm>
#include <cstring>

#include "stage/core/definition.h"

namespace stage::draw {
namespace {

Painter* PainterOf(const Layer& layer) {
  return dynamic_cast<Painter*>(layer.behavior());
}

Layer* TopOf(Layer& layer) {
  Layer* top = &layer;
  while (top->parent() != nullptr) top = top->parent();
  return top;
}

Compositor* g_current = nullptr;

}  // namespace

Compositor* Compositor::Current() {
  return g_current;
}

// Installed by InitDrawing; declared here so that only the drawing module sets it.
void SetCurrentCompositor(Compositor* compositor) {
  g_current = compositor;
}

void Compositor::AdoptRoot(Layer& layer) {
  Layer* top = TopOf(layer);
  if (top == root_) return;
  if (root_ != nullptr && root_->visible() && !top->visible()) return;
  root_ = top;
  const Rect r = root_->rect();
  ResizeFramebuffer(r.width(), r.height());
  regions_valid_ = false;
  frame_changed_ = true;
}

void Compositor::ResizeFramebuffer(std::int32_t width, std::int32_t height) {
  width = std::max(width, 0);
  height = std::max(height, 0);
  if (width == width_ && height == height_) return;
  std::vector<std::uint32_t> pixels(std::size_t(width) * height, 0);
  const std::int32_t w = std::min(width, width_), h = std::min(height, height_);
  for (std::int32_t y = 0; y < h; ++y) {
    std::memcpy(pixels.data() + std::size_t(y) * width, pixels_.data() + std::size_t(y) * width_,
                std::size_t(w) * 4);
  }
  pixels_ = std::move(pixels);
  width_ = width;
  height_ = height;
  dirty_ = Region();
  frame_changed_ = true;
}

Surface Compositor::framebuffer() {
  return Surface{pixels_.data(), width_, height_, width_};
}

std::uint32_t Compositor::PixelAt(std::int32_t x, std::int32_t y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  return pixels_[std::size_t(y) * width_ + x];
}

Region Compositor::ShapeOf(const Layer& layer, const Rect& rect) const {
  const Rect size{0, 0, rect.width(), rect.height()};
  const Painter* painter = PainterOf(layer);
  const Region* outline = painter != nullptr ? painter->Outline() : nullptr;
  Region shape = outline != nullptr ? outline->Intersect(size) : Region(size);
  shape.Translate(rect.left, rect.top);
  return shape;
}

void Compositor::RefreshVisibleRegions() {
  if (root_ == nullptr) {
    visible_.clear();
    root_visible_ = Region();
    return;
  }
  if (regions_valid_ && order_ == root_->children()) return;
  order_ = root_->children();
  visible_.clear();
  const Rect client = ClientRect();
  if (!root_->visible()) {
    root_visible_ = Region();
    regions_valid_ = true;
    return;
  }
  Region covered;
  for (const Layer* child : order_) {  // topmost first
    if (!child->shown()) continue;
    Region shape = ShapeOf(*child, child->rect()).Intersect(client);
    if (shape.empty()) continue;
    visible_[child] = shape.Subtract(covered);
    covered |= shape;
  }
  root_visible_ = Region(client).Subtract(covered);
  regions_valid_ = true;
}

const Region& Compositor::VisibleRegion(const Layer& layer) {
  RefreshVisibleRegions();
  if (&layer == root_) return root_visible_;
  auto it = visible_.find(&layer);
  return it != visible_.end() ? it->second : empty_;
}

void Compositor::InvalidateArea(const Region& area) {
  if (area.empty()) return;
  std::lock_guard lock(invalid_mutex_);
  invalid_ |= area.Intersect(ClientRect());
}

void Compositor::Invalidate(const Layer& layer) {
  if (root_ == nullptr) return;
  if (&layer == root_) {
    InvalidateArea(Region(ClientRect()));
    return;
  }
  if (!layer.visible()) return;
  InvalidateArea(ShapeOf(layer, layer.rect()));
}

void Compositor::OutlineChanged(Layer& layer, const Region& old_shape) {
  regions_valid_ = false;
  if (!layer.visible()) return;
  InvalidateArea(old_shape.Translated(layer.rect().left, layer.rect().top)
                     .Intersect(layer.rect())
                     .Union(ShapeOf(layer, layer.rect())));
}

void Compositor::LayerChanged(Layer& layer, const Rect& old_rect, bool was_visible) {
  AdoptRoot(layer);
  regions_valid_ = false;
  const Rect now = layer.rect();
  const bool resized = now.width() != old_rect.width() || now.height() != old_rect.height();
  const bool visible = layer.visible();
  if (&layer == root_) {
    if (resized) ResizeFramebuffer(now.width(), now.height());
    frame_changed_ = true;
    if (visible && !was_visible) ShowWhatWasBeneath();
    if (visible && (resized || !was_visible)) InvalidateArea(Region(ClientRect()));
    if (!visible) {
      std::lock_guard lock(invalid_mutex_);
      invalid_ = Region();
    }
    return;
  }
  Painter* painter = PainterOf(layer);
  if (resized && painter != nullptr) painter->Resized();
  if (root_ == nullptr || !root_->visible()) return;
  const Region old_shape = was_visible ? ShapeOf(layer, old_rect) : Region();
  const Region new_shape = visible ? ShapeOf(layer, now) : Region();
  InvalidateArea(old_shape.Subtract(new_shape));
  if (!visible) return;
  if (was_visible && !resized && painter != nullptr && painter->RepaintsItself()) {
    // The window system carries a moved control's pixels to its new place at once.
    const Region seen = VisibleRegion(layer);
    painter->Paint(framebuffer(), seen);
    Drew(seen);
  } else {
    InvalidateArea(new_shape);
  }
}

void Compositor::LayerDestroyed(Layer& layer) {
  regions_valid_ = false;
  visible_.erase(&layer);
  if (&layer == root_) {
    root_ = nullptr;
    order_.clear();
    std::lock_guard lock(invalid_mutex_);
    invalid_ = Region();
  }
}

void Compositor::ShowWhatWasBeneath() {
  // Until a newly shown window paints, it shows what the screen showed at its place, as a
  // window system without composition does; so drawing into it before the loop repaints
  // lands on the desktop, not on black.
  DesktopPicture desktop;
  if (!backend_.CaptureDesktop(desktop)) return;
  const Rect place = root_->rect();
  for (std::int32_t y = 0; y < height_; ++y) {
    const std::int32_t sy = place.top + y;
    if (sy < 0 || sy >= desktop.height) continue;
    const std::int32_t x0 = std::max(0, -place.left);
    const std::int32_t x1 = std::min(width_, desktop.width - place.left);
    if (x0 >= x1) continue;
    std::memcpy(pixels_.data() + std::size_t(y) * width_ + x0,
                desktop.pixels.data() + std::size_t(sy) * desktop.width + place.left + x0,
                std::size_t(x1 - x0) * 4);
  }
}

bool Compositor::HasInvalid() {
  std::lock_guard lock(invalid_mutex_);
  return !invalid_.empty();
}

void Compositor::PaintArea(const Region& area, const Layer* only) {
  if (area.empty() || root_ == nullptr || !root_->visible()) return;
  RefreshVisibleRegions();
  const Surface fb = framebuffer();
  const Rect area_bounds = area.bounds();
  for (const Layer* child : order_) {
    if (only != nullptr && child != only) continue;
    auto it = visible_.find(child);
    if (it == visible_.end()) continue;
    if (!it->second.Intersects(area_bounds)) continue;
    Painter* painter = PainterOf(*child);
    const Region part = it->second.Intersect(area);
    if (part.empty()) continue;
    if (painter != nullptr) {
      painter->Paint(fb, part);
    } else {
      part.ForEachRect([&](const Rect& r) { Fill(fb, r, kFacePixel); });
    }
  }
  if (only == nullptr || only == root_) {
    const Color back = AsInt(root_->behavior()->Get(window_property::kBackColor));
    const std::uint32_t pixel = BackgroundPixel(back);
    root_visible_.Intersect(area).ForEachRect([&](const Rect& r) { Fill(fb, r, pixel); });
  }
  dirty_ |= area;
}

void Compositor::PaintInvalid() {
  Region area;
  {
    std::lock_guard lock(invalid_mutex_);
    std::swap(area, invalid_);
  }
  PaintArea(area, nullptr);
  Present(false);
}

bool Compositor::LayerWaitsForPaint(const Layer& layer) {
  const Rect r = &layer == root_ ? ClientRect() : layer.rect();
  std::lock_guard lock(invalid_mutex_);
  return invalid_.Intersects(r);
}

void Compositor::PaintLayerNow(Layer& layer) {
  if (root_ == nullptr) return;
  Region area;
  {
    const Region& seen = VisibleRegion(layer);
    std::lock_guard lock(invalid_mutex_);
    area = invalid_.Intersect(seen);
    invalid_ = invalid_.Subtract(area);
  }
  PaintArea(area, &layer);
  Drew(Region());
}

void Compositor::Drew(const Region& area) {
  dirty_ |= area;
  const TimePoint interval = backend_.RefreshInterval();
  if (interval == kNoDeadline) return;
  const TimePoint now = backend_.clock().Now();
  if (!presented_once_ || now - last_present_ >= interval) PresentNow();
}

void Compositor::Present(bool /*force*/) {
  // Presents asked for by the loop (at a delay, or when it goes idle) always go out; only the
  // presents after each drawing are paced by the display.
  PresentNow();
}

void Compositor::PresentNow() {
  if (dirty_.empty() && !frame_changed_) return;
  if (root_ == nullptr) {
    dirty_ = Region();
    frame_changed_ = false;
    return;
  }
  std::vector<Rect> rects =
      frame_changed_ ? std::vector<Rect>{ClientRect()} : dirty_.Intersect(ClientRect()).Rects();
  PresentedFrame frame;
  frame.pixels = pixels_.data();
  frame.width = width_;
  frame.height = height_;
  frame.place = root_->rect();
  frame.visible = root_->visible();
  frame.dirty = rects;
  backend_.PresentFrame(frame);
  dirty_ = Region();
  frame_changed_ = false;
  presented_once_ = true;
  last_present_ = backend_.clock().Now();
}

DesktopPicture Compositor::ComposeScreen() {
  DesktopPicture screen;
  screen.width = std::max(backend_.ScreenWidth(), 0);
  screen.height = std::max(backend_.ScreenHeight(), 0);
  screen.pixels.assign(std::size_t(screen.width) * screen.height, 0);
  DesktopPicture desktop;
  // Without a picture of the desktop the window is composed over black.
  if (backend_.CaptureDesktop(desktop) &&
      desktop.pixels.size() >= std::size_t(desktop.width) * std::size_t(desktop.height)) {
    const std::int32_t w = std::min(desktop.width, screen.width);
    const std::int32_t h = std::min(desktop.height, screen.height);
    for (std::int32_t y = 0; y < h; ++y) {
      std::memcpy(screen.pixels.data() + std::size_t(y) * screen.width,
                  desktop.pixels.data() + std::size_t(y) * desktop.width, std::size_t(w) * 4);
    }
  }
  if (root_ != nullptr && root_->visible()) {
    const Rect place = root_->rect();
    const Rect on_screen{std::max(place.left, 0), std::max(place.top, 0),
                         std::min(place.left + width_, screen.width),
                         std::min(place.top + height_, screen.height)};
    for (std::int32_t y = on_screen.top; y < on_screen.bottom; ++y) {
      if (on_screen.empty()) break;
      std::memcpy(
          screen.pixels.data() + std::size_t(y) * screen.width + on_screen.left,
          pixels_.data() + std::size_t(y - place.top) * width_ + (on_screen.left - place.left),
          std::size_t(on_screen.width()) * 4);
    }
  }
  return screen;
}

}  // namespace stage::draw
