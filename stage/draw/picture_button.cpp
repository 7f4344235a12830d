// The picture button: its pictures decoded once, painted at natural size over black, and an
// outline made of the pixels that are not the transparent colour.

#include <array>

#include "stage/draw/kinds.h"

namespace stage::draw {
namespace {

enum ButtonProperty : int {
  kNormalPicture = 10,
  kHoverPicture = 11,
  kPressedPicture = 12,
  kDisabledPicture = 13,
  kTransparentColor = 14,
};

class PictureButton : public Painter {
 public:
  explicit PictureButton(const PropertyBlock& stored) : values_(stored) {
    for (int n = kNormalPicture; n <= kDisabledPicture; ++n) Decode(n);
    RebuildOutline();
  }

  void Set(int number, const PropertyValue& value) override {
    values_[number] = value;
    if (number >= kNormalPicture && number <= kDisabledPicture) Decode(number);
    if (number >= kNormalPicture && number <= kTransparentColor) Changed();
  }

  PropertyValue Get(int number) const override {
    auto it = values_.find(number);
    if (it != values_.end()) return it->second;
    if (number >= kNormalPicture && number <= kDisabledPicture) return ByteSet();
    return number == kTransparentColor ? PropertyValue(0x00FFFFFF) : PropertyValue(0);
  }

  const Region* Outline() const override { return shaped_ ? &outline_ : nullptr; }

  void Paint(const Surface& fb, const Region& area) override {
    const ScreenBitmap* picture = Current();
    const Rect r = layer()->rect();
    area.ForEachRect([&](const Rect& piece) {
      if (picture == nullptr) {
        Fill(fb, piece, 0);
        return;
      }
      const Rect covered{r.left, r.top, r.left + picture->width, r.top + picture->height};
      const Region inside = Region(piece).Intersect(covered);
      inside.ForEachRect([&](const Rect& p) {
        BlitRop(fb, p, ViewOf(*picture), p.left - r.left, p.top - r.top, kRopCopy, 0);
      });
      Region(piece).Subtract(inside).ForEachRect([&](const Rect& p) { Fill(fb, p, 0); });
    });
  }

 private:
  void Decode(int number) {
    ScreenBitmap& bitmap = bitmaps_[number - kNormalPicture];
    bitmap = DecodeForScreen(BytesOf(Get(number)).view());
    if (!bitmap.mask.empty()) {
      // Icons and cursors are first drawn on white.
      for (std::size_t i = 0; i < bitmap.pixels.size(); ++i) {
        if (bitmap.mask[i] != 0) bitmap.pixels[i] = 0x00FFFFFF;
      }
      bitmap.mask.clear();
    }
  }

  const ScreenBitmap* Current() const {
    // No pointer reaches this stage, so hover and pressed never show.
    const ScreenBitmap& disabled = bitmaps_[kDisabledPicture - kNormalPicture];
    if (layer() != nullptr && !layer()->enabled() && disabled.width > 0) return &disabled;
    const ScreenBitmap& normal = bitmaps_[0];
    return normal.width > 0 ? &normal : nullptr;
  }

  void RebuildOutline() {
    const Color transparent = ColorOf(Get(kTransparentColor));
    const ScreenBitmap* picture = Current();
    shaped_ = transparent != kDefaultColor && picture != nullptr;
    outline_ = Region();
    if (!shaped_) return;
    const std::uint32_t key = PixelOf(transparent);
    outline_ = Region::FromRows(0, picture->height, [&](std::int32_t y, auto& spans) {
      const std::uint32_t* row = picture->pixels.data() + std::size_t(y) * picture->width;
      std::int32_t x = 0;
      while (x < picture->width) {
        while (x < picture->width && row[x] == key) ++x;
        const std::int32_t start = x;
        while (x < picture->width && row[x] != key) ++x;
        if (x > start) spans.push_back({start, x});
      }
    });
  }

  void Changed() {
    const Region old_shape = shaped_ ? outline_ : Region(Rect{0, 0, 32767, 32767});
    RebuildOutline();
    if (layer() != nullptr && Compositor::Current() != nullptr) {
      Compositor::Current()->OutlineChanged(*layer(), old_shape);
    }
  }

  PropertyBlock values_;
  std::array<ScreenBitmap, 4> bitmaps_;
  bool shaped_ = false;
  Region outline_;
};

}  // namespace

std::unique_ptr<ControlBehavior> MakePictureButton(const PropertyBlock& stored) {
  return std::make_unique<PictureButton>(stored);
}

}  // namespace stage::draw
