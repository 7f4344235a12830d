// The label: its background colour and one line of caption, aligned.

#include "stage/core/text.h"
#include "stage/draw/font.h"
#include "stage/draw/kinds.h"

namespace stage::draw {
namespace {

enum LabelProperty : int {
  kCaption = 8,
  kFont = 15,
  kTextColor = 16,
  kBackColor = 17,
  kHorizontalAlign = 24,
  kVerticalAlign = 26,
};

PropertyValue LabelDefault(int number) {
  switch (number) {
    case kCaption:
      return Utf8ToGbk("标签");
    case kBackColor:
      return kDefaultColor;
    case kVerticalAlign:
      return 1;
    default:
      return 0;
  }
}

class Label : public Painter {
 public:
  explicit Label(const PropertyBlock& stored) : values_(stored) {}

  void Set(int number, const PropertyValue& value) override {
    if (number == kCaption) {
      values_[number] = AsText(value);  // an absent text is an empty caption
    } else {
      values_[number] = value;
    }
    if (number == kFont) font_.reset();
    // Invalidated without erasing: the new look comes with the next paint.
    if (layer() != nullptr && Compositor::Current() != nullptr) {
      Compositor::Current()->Invalidate(*layer());
    }
  }

  PropertyValue Get(int number) const override {
    auto it = values_.find(number);
    return it != values_.end() ? it->second : LabelDefault(number);
  }

  void Paint(const Surface& fb, const Region& area) override {
    const std::uint32_t back = BackgroundPixel(ColorOf(Get(kBackColor)));
    area.ForEachRect([&](const Rect& r) { Fill(fb, r, back); });
    std::u32string caption = GbkToUnicode(AsText(Get(kCaption)));
    // One line: line breaks do not start new lines.
    std::erase_if(caption, [](char32_t c) { return c == U'\r' || c == U'\n'; });
    if (caption.empty()) return;
    Font& font = LabelFont();
    const Rect r = layer()->rect();
    const std::int32_t w = font.Measure(caption), h = font.height();
    std::int32_t x = r.left, y = r.top;
    switch (AsInt(Get(kHorizontalAlign))) {
      case 1:
        x += (r.width() - w) / 2;
        break;
      case 2:
        x += r.width() - w;
        break;
    }
    switch (AsInt(Get(kVerticalAlign))) {
      case 1:
        y += (r.height() - h) / 2;
        break;
      case 2:
        y += r.height() - h;
        break;
    }
    font.Draw(fb, area, x, y, caption, PixelOf(ColorOf(Get(kTextColor))));
  }

 private:
  Font& LabelFont() {
    if (!font_) {
      const PropertyValue value = Get(kFont);
      const auto* d = std::get_if<FontDescription>(&value);
      font_ = d != nullptr ? Font::For(*d) : Font::DefaultGui();
    }
    return *font_;
  }

  PropertyBlock values_;
  std::shared_ptr<Font> font_;
};

}  // namespace

std::unique_ptr<ControlBehavior> MakeLabel(const PropertyBlock& stored) {
  return std::make_unique<Label>(stored);
}

}  // namespace stage::draw
