// The canvas (DrawPanel): its background, the picture registry and the drawing operations.

#include "stage/draw/canvas.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>
#include <string>

#include "stage/core/controls.h"
#include "stage/core/stage.h"
#include "stage/core/text.h"
#include "stage/draw/drawing.h"
#include "stage/draw/font.h"
#include "stage/draw/kinds.h"

namespace stage {
namespace draw {
namespace {

enum CanvasProperty : int {
  kBorderStyle = 8,
  kBackColor = 9,
  kBackgroundPicture = 10,
  kPictureLayout = 11,
  kAutoRedraw = 12,
  kBrushColor = 19,
  kTextColor = 20,
  kTextBackColor = 21,
  kFont = 22,
};

PropertyValue CanvasDefault(int number) {
  switch (number) {
    case kBackColor:
    case kTextBackColor:
      return kDefaultColor;
    case kBackgroundPicture:
      return ByteSet();
    case kPictureLayout:
      return 1;
    case kBrushColor:
      return 0x00FFFFFF;
    case kFont:
      return Font::DefaultGuiDescription();
    default:
      return 0;
  }
}

struct Point {
  std::int32_t x = 0, y = 0;
};

class Canvas : public Painter {
 public:
  explicit Canvas(const PropertyBlock& stored) : values_(stored) {
    auto it = values_.find(kBackgroundPicture);
    if (it != values_.end()) {
      background_bytes_ = BytesOf(it->second);
      values_.erase(it);
    }
  }

  void Set(int number, const PropertyValue& value) override {
    switch (number) {
      case kBackgroundPicture:
        // Written bytes always replace the background, even when they are the same bytes.
        background_bytes_ = BytesOf(value);
        background_.reset();
        fitted_.reset();
        InvalidateAll();
        return;
      case kBackColor:
        if (ColorOf(value) == ColorOf(Get(kBackColor))) return;
        values_[number] = value;
        InvalidateAll();
        return;
      case kFont:
        values_[number] = value;
        font_.reset();
        return;
      case kPictureLayout:
        values_[number] = value;
        fitted_.reset();
        InvalidateAll();
        return;
      default:
        values_[number] = value;
    }
  }

  PropertyValue Get(int number) const override {
    if (number == kBackgroundPicture) return background_bytes_;
    auto it = values_.find(number);
    return it != values_.end() ? it->second : CanvasDefault(number);
  }

  void Paint(const Surface& fb, const Region& area) override { PaintBackground(fb, area); }
  bool RepaintsItself() const override { return false; }
  void Resized() override {
    cursor_ = {};
    fitted_.reset();
  }

  // The client area in the top-level window's client coordinates.
  Rect client() const { return layer()->rect(); }
  Point& cursor() { return cursor_; }

  void PaintBackground(const Surface& fb, const Region& area) {
    if (area.empty()) return;
    const std::uint32_t back = BackgroundPixel(ColorOf(Get(kBackColor)));
    const ScreenBitmap* picture = DecodedBackground();
    const Rect p = client();
    const std::int32_t layout = picture != nullptr ? AsInt(Get(kPictureLayout)) : -1;
    area.ForEachRect([&](const Rect& r) {
      switch (layout) {
        case 0:
          PaintPlaced(fb, r, *picture,
                      Rect{p.left, p.top, p.left + picture->width, p.top + picture->height}, back);
          return;
        case 1:
          PaintTiled(fb, r, *picture, p);
          return;
        case 2: {
          const Rect place = FittedPlace(*picture, p);
          PaintPlaced(fb, r, Fitted(*picture, place), place, back);
          return;
        }
        default:
          Fill(fb, r, back);
      }
    });
  }

  Font& TextFont() {
    if (!font_) {
      const PropertyValue value = Get(kFont);
      if (const auto* d = std::get_if<FontDescription>(&value)) {
        // The canvas takes the sizes, weight, styles and face as stored and the system's
        // defaults for the rest.
        FontDescription used = *d;
        used.bytes[23] = 1;
        used.bytes[24] = 0;
        used.bytes[25] = 0;
        used.bytes[26] = 2;
        used.bytes[27] = 0;
        font_ = Font::For(used);
      } else {
        font_ = Font::DefaultGui();
      }
    }
    return *font_;
  }

  std::uint32_t PatternPixel() const { return PixelOf(ColorOf(Get(kBrushColor))); }
  Color text_color() const { return ColorOf(Get(kTextColor)); }
  Color text_back_color() const { return ColorOf(Get(kTextBackColor)); }

 private:
  void InvalidateAll() {
    if (layer() != nullptr && Compositor::Current() != nullptr) {
      Compositor::Current()->Invalidate(*layer());
    }
  }

  const ScreenBitmap* DecodedBackground() {
    if (background_) return &*background_;
    if (background_bytes_.empty()) return nullptr;
    ScreenBitmap bitmap = DecodeForScreen(background_bytes_.view());
    if (bitmap.width <= 0 || bitmap.height <= 0) {
      background_bytes_ = ByteSet();  // undecodable bytes empty the property
      return nullptr;
    }
    background_ = std::move(bitmap);
    return &*background_;
  }

  static void PaintPlaced(const Surface& fb, const Rect& r, const ScreenBitmap& bitmap,
                          const Rect& place, std::uint32_t back) {
    const Region inside = Region(r).Intersect(place);
    inside.ForEachRect([&](const Rect& piece) {
      BlitRop(fb, piece, ViewOf(bitmap), piece.left - place.left, piece.top - place.top, kRopCopy,
              0);
    });
    Region(r).Subtract(inside).ForEachRect([&](const Rect& piece) { Fill(fb, piece, back); });
  }

  static void PaintTiled(const Surface& fb, const Rect& r, const ScreenBitmap& bitmap,
                         const Rect& p) {
    const std::int32_t w = bitmap.width, h = bitmap.height;
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
      const std::int32_t sy = ((y - p.top) % h + h) % h;
      const std::uint32_t* src = bitmap.pixels.data() + std::size_t(sy) * w;
      std::uint32_t* dst = fb.row(y);
      std::int32_t x = r.left;
      while (x < r.right) {
        const std::int32_t sx = ((x - p.left) % w + w) % w;
        const std::int32_t n = std::min(w - sx, r.right - x);
        std::copy_n(src + sx, n, dst + x);
        x += n;
      }
    }
  }

  // Fitted and centred, never enlarged.
  static Rect FittedPlace(const ScreenBitmap& bitmap, const Rect& p) {
    const std::int32_t w = bitmap.width, h = bitmap.height;
    std::int32_t x = p.left, y = p.top, a = p.width(), b = p.height();
    if (w <= a) {
      x += (a - w) / 2;
      a = w;
    }
    if (h <= b) {
      y += (b - h) / 2;
      b = h;
    }
    std::int32_t dw = w, dh = h;
    if (w > a || h > b) {
      const double t = std::min(double(a) / w, double(b) / h);
      dw = static_cast<std::int32_t>(w * t);
      dh = static_cast<std::int32_t>(h * t);
      x += (a - dw) / 2;
      y += (b - dh) / 2;
    }
    return Rect{x, y, x + dw, y + dh};
  }

  const ScreenBitmap& Fitted(const ScreenBitmap& bitmap, const Rect& place) {
    if (place.width() == bitmap.width && place.height() == bitmap.height) return bitmap;
    if (!fitted_ || fitted_->width != place.width() || fitted_->height != place.height()) {
      fitted_ = StretchArea(ViewOf(bitmap), place.width(), place.height(),
                            Rect{0, 0, place.width(), place.height()});
    }
    return *fitted_;
  }

  PropertyBlock values_;
  ByteSet background_bytes_;
  std::optional<ScreenBitmap> background_;
  std::optional<ScreenBitmap> fitted_;  // the background scaled for layout 2
  std::shared_ptr<Font> font_;
  Point cursor_;
};

Canvas* CanvasOf(ControlRef ref) {
  Layer* layer = FindLayer(ref);
  return layer != nullptr ? dynamic_cast<Canvas*>(layer->behavior()) : nullptr;
}

// --- The picture registry ------------------------------------------------------------------

struct PictureEntry {
  ScreenBitmap bitmap;
  std::string name;
};

std::mutex g_registry_mutex;
// A deque: entries never move, so a drawing may hold one while another is added.
std::deque<PictureEntry>& Registry() {
  static auto* registry = new std::deque<PictureEntry>;  // released with the process
  return *registry;
}
// Coordinates far outside any screen are brought within a range whose sums cannot overflow;
// what lies there is clipped away anyway.
constexpr std::int64_t kFar = std::int64_t{1} << 29;
std::int32_t Far(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp(v, -kFar, kFar));
}

std::string OptText(Opt v) {
  return v ? std::to_string(*v) : "-";
}

// Splits at CR, LF and CR LF; each line says whether a break ends it.
struct Line {
  std::u32string_view text;
  bool broken = false;
};
std::vector<Line> SplitLines(std::u32string_view text) {
  std::vector<Line> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != U'\r' && text[i] != U'\n') continue;
    lines.push_back({text.substr(start, i - start), true});
    if (text[i] == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back({text.substr(start), false});
  return lines;
}

void DrawIcon(const Surface& fb, const Region& clip, const ScreenBitmap& icon, const Rect& dest) {
  // Icons keep their own mask at any size; they are scaled by picking the nearest pixel.
  const std::int64_t dw = dest.width(), dh = dest.height();
  clip.ForEachRect([&](const Rect& r) {
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
      const auto sy = static_cast<std::int32_t>((y - dest.top) * std::int64_t(icon.height) / dh);
      std::uint32_t* d = fb.row(y);
      for (std::int32_t x = r.left; x < r.right; ++x) {
        const auto sx = static_cast<std::int32_t>((x - dest.left) * std::int64_t(icon.width) / dw);
        const std::size_t i = std::size_t(sy) * icon.width + sx;
        if (icon.mask[i] == 0) d[x] = icon.pixels[i];
      }
    }
  });
}

}  // namespace

std::unique_ptr<ControlBehavior> MakeCanvas(const PropertyBlock& stored) {
  return std::make_unique<Canvas>(stored);
}

}  // namespace draw

using namespace draw;

namespace {
PictureRefusal g_picture_refusal;  // fault tests only
}  // namespace

void SetPictureRefusal(PictureRefusal refuse) {
  g_picture_refusal = std::move(refuse);
}

PictureValue LoadPicture(ByteSetView bytes) {
  PictureValue value = 0;
  std::string name;
  ScreenBitmap bitmap =
      g_picture_refusal && g_picture_refusal(bytes) ? ScreenBitmap{} : DecodeForScreen(bytes);
  {
    std::lock_guard lock(g_registry_mutex);
    if (bitmap.width > 0 && bitmap.height > 0) {
      Registry().push_back({std::move(bitmap), {}});
      value = static_cast<PictureValue>(Registry().size());
    }
    // The media catalogue's name; a picture it does not know is named by its value.
    name = MediaName(bytes);
    if (name == "-" && value != 0) name = "picture" + std::to_string(value);
    if (value != 0) Registry()[value - 1].name = name;
  }
  if (TraceEnabled()) TraceLine("LoadPicture", name);
  return value;
}

void ClearCanvas(ControlRef ref, Opt left, Opt top, Opt width, Opt height) {
  if (TraceEnabled()) TraceLine("ClearCanvas", "");
  Canvas* canvas = CanvasOf(ref);
  Compositor* compositor = Compositor::Current();
  if (canvas == nullptr || compositor == nullptr) return;
  const Rect c = canvas->client();
  Rect r{0, 0, c.width(), c.height()};
  if (left) r.left = Far(*left);
  if (top) r.top = Far(*top);
  if (width) r.right = Far(std::int64_t(r.left) + *width);
  if (height) r.bottom = Far(std::int64_t(r.top) + *height);
  if (r.right < r.left) std::swap(r.left, r.right);
  if (r.bottom < r.top) std::swap(r.top, r.bottom);
  canvas->cursor() = {r.left, r.top};
  const Rect area{c.left + r.left, c.top + r.top, c.left + r.right, c.top + r.bottom};
  const Region part = compositor->VisibleRegion(*canvas->layer()).Intersect(area);
  canvas->PaintBackground(compositor->framebuffer(), part);
  compositor->Drew(part);
}

void DrawPicture(ControlRef ref, PictureValue picture, std::int32_t left, std::int32_t top,
                 Opt width, Opt height, Opt mode) {
  const ScreenBitmap* bitmap = nullptr;
  std::string name = "-";
  {
    std::lock_guard lock(g_registry_mutex);
    if (picture > 0 && picture <= static_cast<PictureValue>(Registry().size())) {
      bitmap = &Registry()[picture - 1].bitmap;
      name = Registry()[picture - 1].name;
    }
  }
  if (TraceEnabled()) {
    TraceLine("DrawPicture", name + " " + std::to_string(left) + " " + std::to_string(top) + " " +
                                 OptText(width) + " " + OptText(height) + " " + OptText(mode));
  }
  Canvas* canvas = CanvasOf(ref);
  Compositor* compositor = Compositor::Current();
  if (bitmap == nullptr || canvas == nullptr || compositor == nullptr) return;

  const std::int32_t w = bitmap->width, h = bitmap->height;
  const std::int32_t dw = Far(width && *width != -1 ? *width : w);
  const std::int32_t dh = Far(height && *height != -1 ? *height : h);
  if (dw <= 0 || dh <= 0) return;  // mirrored and empty destinations draw nothing
  const Rect c = canvas->client();
  const std::int32_t x = c.left + Far(left), y = c.top + Far(top);
  const Rect dest{x, y, x + dw, y + dh};
  const Region clip = compositor->VisibleRegion(*canvas->layer()).Intersect(dest);
  if (clip.empty()) return;
  const Surface fb = compositor->framebuffer();

  if (!bitmap->mask.empty()) {
    DrawIcon(fb, clip, *bitmap, dest);
    compositor->Drew(clip);
    return;
  }

  // The source: the picture itself at natural size, or the part of its stretched form that
  // the clip needs.
  const bool stretched = dw != w || dh != h;
  const Rect bounds = clip.bounds();
  const Rect window{bounds.left - dest.left, bounds.top - dest.top, bounds.right - dest.left,
                    bounds.bottom - dest.top};
  ScreenBitmap scaled;
  BitmapView src = ViewOf(*bitmap);
  std::int32_t ox = dest.left, oy = dest.top;  // framebuffer position of src's (0, 0)
  if (stretched) {
    scaled = StretchArea(src, dw, dh, window);
    src = ViewOf(scaled);
    ox = bounds.left;
    oy = bounds.top;
  }

  const std::int32_t m = mode.value_or(1);
  if (m < 0) {
    const std::uint32_t k = static_cast<std::uint32_t>(-static_cast<std::int64_t>(m));
    // A key outside the colour range matches no pixel: the picture is opaque.
    const std::uint32_t key = k > 0x00FFFFFF ? 0xFFFFFFFF : PixelOf(static_cast<Color>(k));
    if (!stretched) {
      clip.ForEachRect([&](const Rect& r) { BlitKeyed(fb, r, src, r.left - ox, r.top - oy, key); });
    } else {
      // The mask at natural size, set where the picture has the key, stretched like the
      // picture; the three raster operations are folded into one pass. A picture without the
      // key is an opaque stretched copy.
      std::vector<std::uint8_t> mask(bitmap->pixels.size());
      bool any = false;
      for (std::size_t i = 0; i < mask.size(); ++i) {
        mask[i] = bitmap->pixels[i] == key ? 255 : 0;
        any |= mask[i] != 0;
      }
      if (!any) {
        clip.ForEachRect(
            [&](const Rect& r) { BlitRop(fb, r, src, r.left - ox, r.top - oy, kRopCopy, 0); });
      } else {
        const std::vector<std::uint8_t> scaled_mask =
            StretchMaskArea(mask.data(), w, h, dw, dh, window);
        clip.ForEachRect([&](const Rect& r) {
          BlitMasked(fb, r, src, scaled_mask.data(), window.width(), r.left - ox, r.top - oy);
        });
      }
    }
  } else {
    std::uint8_t rop = kRopCopy;
    switch (m) {
      case 1:
        break;
      case 2:
        rop = kRopNotCopy;
        break;
      case 3:
        rop = kRopXor;
        break;
      case 4:
        rop = kRopOr;
        break;
      case 5:
        rop = kRopAnd;
        break;
      default:
        rop = static_cast<std::uint8_t>(m >> 16 & 0xFF);
    }
    const std::uint32_t pattern = canvas->PatternPixel();
    clip.ForEachRect(
        [&](const Rect& r) { BlitRop(fb, r, src, r.left - ox, r.top - oy, rop, pattern); });
  }
  compositor->Drew(clip);
}

void WriteText(ControlRef ref, Opt x, Opt y, const Text& text) {
  if (TraceEnabled()) {
    TraceLine("WriteText", OptText(x) + " " + OptText(y) + " " + GbkToUtf8(text));
  }
  Canvas* canvas = CanvasOf(ref);
  Compositor* compositor = Compositor::Current();
  if (canvas == nullptr || compositor == nullptr || text.empty()) return;
  const std::u32string unicode = GbkToUnicode(text);
  Font& font = canvas->TextFont();
  const Rect c = canvas->client();
  const Region& seen = compositor->VisibleRegion(*canvas->layer());
  const Surface fb = compositor->framebuffer();
  const std::uint32_t ink = PixelOf(canvas->text_color());
  const Color back = canvas->text_back_color();
  const std::int32_t start_x = Far(x.value_or(canvas->cursor().x));
  std::int32_t px = start_x, py = Far(y.value_or(canvas->cursor().y));
  Region drawn;
  for (const Line& line : SplitLines(unicode)) {
    const std::int32_t h = font.height();
    if (!line.text.empty()) {
      const std::int32_t w = font.Measure(line.text);
      const Rect box{c.left + px, c.top + py, c.left + px + w, c.top + py + h};
      const Region part = seen.Intersect(box);
      if (back != kDefaultColor) {
        part.ForEachRect([&](const Rect& r) { Fill(fb, r, PixelOf(back)); });
      }
      // Glyphs may reach outside their cell (italics, swashes); they are clipped to the canvas.
      font.Draw(fb, seen, c.left + px, c.top + py, line.text, ink);
      drawn |= seen.Intersect(Rect{box.left - h, box.top - h, box.right + h, box.bottom + h});
      if (!line.broken) px = Far(std::int64_t(px) + w);
    }
    if (line.broken) {
      py = Far(std::int64_t(py) + h + 2);
      px = start_x;
    }
  }
  compositor->Drew(drawn);
}

}  // namespace stage
