#pragma once
// The stage's window system: the top-level window and its controls as layers of one screen
// model, each with a rectangle, a visibility flag and a place in the z-order. Backends do not
// map layers onto native windows; they present what the compositor draws from this model.

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "stage/core/types.h"

namespace stage {

struct Rect {
  std::int32_t left = 0, top = 0, right = 0, bottom = 0;
  std::int32_t width() const { return right - left; }
  std::int32_t height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

class Layer;

// What a control kind does with its kind-specific properties and how it paints. The core gives
// every kind a plain one that stores values; the drawing module installs the real ones.
class ControlBehavior {
 public:
  virtual ~ControlBehavior() = default;
  // Property numbers from 8 on.
  virtual void Set(int number, const PropertyValue& value) = 0;
  virtual PropertyValue Get(int number) const = 0;
  // Called once the layer exists and its stored block has been applied.
  virtual void Attach(Layer& /*layer*/) {}
};

// Hooks of the compositor into the window system. All calls come on the user-interface thread.
class ScreenObserver {
 public:
  virtual ~ScreenObserver() = default;
  // A layer's rectangle or visibility changed (including its parent's visibility).
  virtual void LayerChanged(Layer& /*layer*/, const Rect& /*old_rect*/, bool /*was_visible*/) {}
  // A layer is about to be destroyed.
  virtual void LayerDestroyed(Layer& /*layer*/) {}
  // Whether anything waits to be repainted (the event loop then paints before ticks).
  virtual bool HasInvalid() { return false; }
  // Repaints everything that waits to be repainted.
  virtual void PaintInvalid() {}
  // Whether `layer` itself waits to be repainted. Called from any thread.
  virtual bool LayerWaitsForPaint(const Layer& /*layer*/) { return false; }
  // Paints what waits to be repainted on `layer` only (RefreshWindow).
  virtual void PaintLayerNow(Layer& /*layer*/) {}
  // Hands the framebuffer's dirty parts to the backend, at most once per display refresh.
  virtual void Present(bool /*force*/) {}
};

// A window of the window system: the top-level window or one of its controls.
class Layer {
 public:
  Layer(Kind kind, Layer* parent, Rect rect);
  ~Layer();

  Kind kind() const { return kind_; }
  Layer* parent() const { return parent_; }
  // Children in z-order, the topmost first. User-interface thread only.
  const std::vector<Layer*>& children() const { return children_; }

  // Reads never wait and may come from any thread.
  Rect rect() const;
  bool shown() const { return shown_.load(std::memory_order_acquire); }
  // Shown, and every parent shown.
  bool visible() const;
  bool enabled() const { return enabled_.load(std::memory_order_acquire); }

  ControlBehavior* behavior() const { return behavior_.get(); }
  void set_behavior(std::unique_ptr<ControlBehavior> behavior) { behavior_ = std::move(behavior); }

  // Writes: user-interface thread only.
  void SetRect(const Rect& rect);
  void SetShown(bool shown);
  void SetEnabled(bool enabled) { enabled_.store(enabled, std::memory_order_release); }

  // Z-order, user-interface thread only.
  void AddChildOnTop(Layer* child);
  void PlaceBelow(Layer* child, Layer* sibling);  // `sibling` null: on top

  static void SetObserver(ScreenObserver* observer);
  static ScreenObserver* observer();

 private:
  void RemoveChild(Layer* child);
  void NotifyChanged(const Rect& old_rect, bool was_visible);

  const Kind kind_;
  Layer* const parent_;
  std::vector<Layer*> children_;
  std::atomic<std::int32_t> left_, top_, right_, bottom_;
  std::atomic<bool> shown_{false};
  std::atomic<bool> enabled_{true};
  std::unique_ptr<ControlBehavior> behavior_;
};

}  // namespace stage
