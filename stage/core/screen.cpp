#include "stage/core/screen.h"

#include <algorithm>

namespace stage {
namespace {
ScreenObserver g_null_observer;
ScreenObserver* g_observer = &g_null_observer;
}  // namespace

void Layer::SetObserver(ScreenObserver* observer) {
  g_observer = observer != nullptr ? observer : &g_null_observer;
}
ScreenObserver* Layer::observer() { return g_observer; }

Layer::Layer(Kind kind, Layer* parent, Rect rect)
    : kind_(kind),
      parent_(parent),
      left_(rect.left),
      top_(rect.top),
      right_(rect.right),
      bottom_(rect.bottom) {}

Layer::~Layer() {
  g_observer->LayerDestroyed(*this);
  if (parent_ != nullptr) parent_->RemoveChild(this);
}

Rect Layer::rect() const {
  return Rect{left_.load(std::memory_order_acquire), top_.load(std::memory_order_acquire),
              right_.load(std::memory_order_acquire), bottom_.load(std::memory_order_acquire)};
}

bool Layer::visible() const {
  for (const Layer* layer = this; layer != nullptr; layer = layer->parent_) {
    if (!layer->shown()) return false;
  }
  return true;
}

void Layer::SetRect(const Rect& rect) {
  const Rect old = this->rect();
  if (old == rect) return;
  left_.store(rect.left, std::memory_order_release);
  top_.store(rect.top, std::memory_order_release);
  right_.store(rect.right, std::memory_order_release);
  bottom_.store(rect.bottom, std::memory_order_release);
  NotifyChanged(old, visible());
}

void Layer::SetShown(bool shown) {
  if (shown_.load() == shown) return;
  const bool was_visible = visible();
  shown_.store(shown, std::memory_order_release);
  NotifyChanged(rect(), was_visible);
}

void Layer::NotifyChanged(const Rect& old_rect, bool was_visible) {
  g_observer->LayerChanged(*this, old_rect, was_visible);
}

void Layer::AddChildOnTop(Layer* child) { children_.insert(children_.begin(), child); }

void Layer::PlaceBelow(Layer* child, Layer* sibling) {
  RemoveChild(child);
  auto at = std::find(children_.begin(), children_.end(), sibling);
  if (sibling == nullptr || at == children_.end()) {
    children_.insert(children_.begin(), child);
  } else {
    children_.insert(at + 1, child);
  }
}

void Layer::RemoveChild(Layer* child) { std::erase(children_, child); }

}  // namespace stage
