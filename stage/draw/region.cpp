#include "stage/draw/region.h"

#include <algorithm>

namespace stage::draw {
namespace {

using Span = Region::Span;

bool Keep(bool in_a, bool in_b, int op) {
  switch (op) {
    case 0:
      return in_a || in_b;
    case 1:
      return in_a && !in_b;
    default:
      return in_a && in_b;
  }
}

// Merges two sorted, disjoint span lists by walking their edges in order.
void CombineSpans(const Span* a, std::size_t na, const Span* b, std::size_t nb, int op,
                  std::vector<Span>& out) {
  out.clear();
  std::size_t i = 0, j = 0;
  bool in_a = false, in_b = false;
  bool inside = false;
  std::int32_t start = 0;
  for (;;) {
    // The next edge of either list.
    const std::int32_t ea = i < na ? (in_a ? a[i].right : a[i].left) : INT32_MAX;
    const std::int32_t eb = j < nb ? (in_b ? b[j].right : b[j].left) : INT32_MAX;
    const std::int32_t x = std::min(ea, eb);
    if (x == INT32_MAX) break;
    if (ea == x) {
      if (in_a) ++i;
      in_a = !in_a;
    }
    if (eb == x) {
      if (in_b) ++j;
      in_b = !in_b;
    }
    const bool now = Keep(in_a, in_b, op);
    if (now && !inside) {
      start = x;
    } else if (!now && inside && x > start) {
      if (!out.empty() && out.back().right == start) {
        out.back().right = x;
      } else {
        out.push_back({start, x});
      }
    }
    inside = now;
  }
}

// The first band that ends below row y.
template <class Bands>
auto FirstBandBelow(const Bands& bands, std::int32_t y) {
  return std::lower_bound(
      bands.begin(), bands.end(), y,
      [](const Region::Band& band, std::int32_t row) { return band.bottom <= row; });
}

}  // namespace

Region::Region(const Rect& rect) {
  if (rect.empty()) return;
  bands_.push_back(Band{rect.top, rect.bottom, 0, 1});
  spans_.push_back({rect.left, rect.right});
}

Rect Region::bounds() const {
  if (bands_.empty()) return {};
  Rect r{INT32_MAX, bands_.front().top, INT32_MIN, bands_.back().bottom};
  for (const Band& band : bands_) {
    r.left = std::min(r.left, spans_[band.first].left);
    r.right = std::max(r.right, spans_[band.first + band.count - 1].right);
  }
  return r;
}

bool Region::Contains(std::int32_t x, std::int32_t y) const {
  auto it = FirstBandBelow(bands_, y);
  if (it == bands_.end() || it->top > y) return false;
  const Span* s = SpansOf(*it);
  for (std::uint32_t i = 0; i < it->count; ++i) {
    if (x >= s[i].left && x < s[i].right) return true;
  }
  return false;
}

bool Region::Intersects(const Rect& rect) const {
  if (rect.empty()) return false;
  for (auto it = FirstBandBelow(bands_, rect.top); it != bands_.end(); ++it) {
    if (it->top >= rect.bottom) return false;
    const Span* s = SpansOf(*it);
    for (std::uint32_t i = 0; i < it->count; ++i) {
      if (s[i].right > rect.left && s[i].left < rect.right) return true;
    }
  }
  return false;
}

std::vector<Rect> Region::Rects() const {
  std::vector<Rect> rects;
  ForEachRect([&](const Rect& r) { rects.push_back(r); });
  return rects;
}

std::int64_t Region::Area() const {
  std::int64_t area = 0;
  ForEachRect([&](const Rect& r) { area += std::int64_t(r.width()) * r.height(); });
  return area;
}

void Region::Translate(std::int32_t dx, std::int32_t dy) {
  for (Band& band : bands_) {
    band.top += dy;
    band.bottom += dy;
  }
  for (Span& s : spans_) {
    s.left += dx;
    s.right += dx;
  }
}

Region Region::Translated(std::int32_t dx, std::int32_t dy) const {
  Region r = *this;
  r.Translate(dx, dy);
  return r;
}

Region Region::Union(const Region& other) const {
  if (other.empty()) return *this;
  if (empty()) return other;
  return Combine(*this, other, Op::kUnion);
}

Region Region::Subtract(const Region& other) const {
  if (empty() || other.empty()) return *this;
  // Only the part of `other` within this region's bounds can take anything away.
  const Region cut = other.Intersect(bounds());
  if (cut.empty()) return *this;
  return Combine(*this, cut, Op::kSubtract);
}

Region Region::Intersect(const Region& other) const {
  if (empty() || other.empty()) return {};
  // Narrowing both sides to the other's bounds keeps the strip walk to the common part.
  const Region a = Intersect(other.bounds());
  if (a.empty()) return {};
  return Combine(a, other.Intersect(a.bounds()), Op::kIntersect);
}

Region Region::Intersect(const Rect& rect) const {
  Region out;
  if (rect.empty()) return out;
  std::vector<Span> spans;
  for (auto it = FirstBandBelow(bands_, rect.top); it != bands_.end() && it->top < rect.bottom;
       ++it) {
    const std::int32_t top = std::max(it->top, rect.top);
    const std::int32_t bottom = std::min(it->bottom, rect.bottom);
    spans.clear();
    const Span* s = SpansOf(*it);
    for (std::uint32_t i = 0; i < it->count; ++i) {
      const std::int32_t l = std::max(s[i].left, rect.left), r = std::min(s[i].right, rect.right);
      if (l < r) spans.push_back({l, r});
    }
    out.AppendBand(top, bottom, spans);
  }
  return out;
}

void Region::AppendBand(std::int32_t top, std::int32_t bottom, const Span* spans,
                        std::size_t count) {
  if (count == 0 || top >= bottom) return;
  if (!bands_.empty() && bands_.back().bottom == top && bands_.back().count == count &&
      std::equal(spans, spans + count, SpansOf(bands_.back()))) {
    bands_.back().bottom = bottom;
    return;
  }
  bands_.push_back(Band{top, bottom, static_cast<std::uint32_t>(spans_.size()),
                        static_cast<std::uint32_t>(count)});
  spans_.insert(spans_.end(), spans, spans + count);
}

Region Region::Combine(const Region& a, const Region& b, Op op) {
  // Every band edge of either region splits the plane into strips in which both regions are
  // constant; each strip is combined span list by span list. Both band lists are sorted, so
  // their edges merge in one pass.
  std::vector<std::int32_t> ya, yb, ys;
  ya.reserve(2 * a.bands_.size());
  yb.reserve(2 * b.bands_.size());
  for (const Band& band : a.bands_) {
    ya.push_back(band.top);
    ya.push_back(band.bottom);
  }
  for (const Band& band : b.bands_) {
    yb.push_back(band.top);
    yb.push_back(band.bottom);
  }
  ys.resize(ya.size() + yb.size());
  std::merge(ya.begin(), ya.end(), yb.begin(), yb.end(), ys.begin());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

  Region out;
  out.bands_.reserve(a.bands_.size() + b.bands_.size());
  out.spans_.reserve(a.spans_.size() + b.spans_.size());
  std::vector<Span> spans;
  std::size_t i = 0, j = 0;
  for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
    const std::int32_t y0 = ys[k], y1 = ys[k + 1];
    while (i < a.bands_.size() && a.bands_[i].bottom <= y0) ++i;
    while (j < b.bands_.size() && b.bands_[j].bottom <= y0) ++j;
    const bool in_a = i < a.bands_.size() && a.bands_[i].top <= y0;
    const bool in_b = j < b.bands_.size() && b.bands_[j].top <= y0;
    if (!in_a && (op != Op::kUnion || !in_b)) continue;
    if (!in_b) {
      if (op != Op::kIntersect) out.AppendBand(y0, y1, a.SpansOf(a.bands_[i]), a.bands_[i].count);
      continue;
    }
    if (!in_a) {  // a union with nothing from a
      out.AppendBand(y0, y1, b.SpansOf(b.bands_[j]), b.bands_[j].count);
      continue;
    }
    CombineSpans(a.SpansOf(a.bands_[i]), a.bands_[i].count, b.SpansOf(b.bands_[j]),
                 b.bands_[j].count, static_cast<int>(op), spans);
    out.AppendBand(y0, y1, spans);
  }
  return out;
}

}  // namespace stage::draw
