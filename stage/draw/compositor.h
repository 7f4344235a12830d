#pragma once
// The compositor: the top-level window's client area as a framebuffer, the controls as layers
// over it in z-order, each with its region (its rectangle, or the outline a picture button
// gives it), and one invalid region that the event loop has painted when it takes events.
//
// Painting follows the window system it stands in for: a control paints only where no visible
// sibling above it covers it; moving a control invalidates what it uncovers, which the layers
// beneath repaint the next time the user-interface thread takes events (never inside a delay);
// drawing on a canvas goes straight into the framebuffer. The backend is handed the dirty parts
// of the framebuffer, coalesced.

#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "stage/core/backend.h"
#include "stage/core/screen.h"
#include "stage/draw/raster.h"
#include "stage/draw/region.h"

namespace stage::draw {

// The behaviour of a control kind that paints itself.
class Painter : public ControlBehavior {
 public:
  void Attach(Layer& layer) override { layer_ = &layer; }
  Layer* layer() const { return layer_; }

  // Paints `area` (client coordinates of the top-level window; inside the part of this control
  // that is seen).
  virtual void Paint(const Surface& framebuffer, const Region& area) = 0;
  // The control's outline in its own coordinates; nullptr for its whole rectangle. The
  // compositor clips it to the control's size.
  virtual const Region* Outline() const { return nullptr; }
  // Whether what the control shows depends on its properties only, so that a moved control
  // can be painted at its new place at once (as the window system copies its pixels).
  virtual bool RepaintsItself() const { return true; }
  // The control's size changed.
  virtual void Resized() {}

 private:
  Layer* layer_ = nullptr;
};

class Compositor : public ScreenObserver {
 public:
  explicit Compositor(Backend& backend) : backend_(backend) {}

  // The installed compositor, or nullptr before InitDrawing.
  static Compositor* Current();

  // --- ScreenObserver ---
  void LayerChanged(Layer& layer, const Rect& old_rect, bool was_visible) override;
  void LayerDestroyed(Layer& layer) override;
  bool HasInvalid() override;
  void PaintInvalid() override;
  bool LayerWaitsForPaint(const Layer& layer) override;
  void PaintLayerNow(Layer& layer) override;
  void Present(bool force) override;

  // --- For the control kinds (user-interface thread, except Invalidate) ---
  // The whole of `layer` waits to be repainted.
  void Invalidate(const Layer& layer);
  // A control's outline changed: what it covered and covers now is repainted.
  void OutlineChanged(Layer& layer, const Region& old_shape);
  // The part of `layer` that is seen, in client coordinates: empty while the top-level window
  // is hidden.
  const Region& VisibleRegion(const Layer& layer);
  // The layer's region (outline or rectangle) in client coordinates.
  Region ShapeOf(const Layer& layer, const Rect& rect) const;
  Surface framebuffer();
  // Something was drawn over `area`: it goes to the backend with the next present, and at
  // once when the display's pacing allows.
  void Drew(const Region& area);

  // The screen: the desktop with the top-level window composed over it when it is visible.
  DesktopPicture ComposeScreen();
  Layer* root() const { return root_; }

  // For tests: the framebuffer's pixel at client coordinates.
  std::uint32_t PixelAt(std::int32_t x, std::int32_t y) const;
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }

 private:
  void AdoptRoot(Layer& layer);
  void ResizeFramebuffer(std::int32_t width, std::int32_t height);
  void InvalidateArea(const Region& area);
  void ShowWhatWasBeneath();
  void RefreshVisibleRegions();
  void PaintArea(const Region& area, const Layer* only);
  void PresentNow();
  Rect ClientRect() const { return Rect{0, 0, width_, height_}; }

  Backend& backend_;
  Layer* root_ = nullptr;
  std::int32_t width_ = 0, height_ = 0;
  std::vector<std::uint32_t> pixels_;

  // The invalid region is the one piece of state other threads touch (a worker's
  // RefreshWindow asks whether its control waits to be painted).
  std::mutex invalid_mutex_;
  Region invalid_;

  // Visible regions, rebuilt when any layer changed since they were made.
  bool regions_valid_ = false;
  std::vector<Layer*> order_;  // the root's children when the regions were made
  std::map<const Layer*, Region> visible_;
  Region root_visible_;
  Region empty_;

  Region dirty_;
  bool frame_changed_ = true;
  TimePoint last_present_ = 0;
  bool presented_once_ = false;
};

}  // namespace stage::draw
