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
void CombineSpans(const std::vector<Span>& a, const std::vector<Span>& b, int op,
                  std::vector<Span>& out) {
  out.clear();
  std::size_t i = 0, j = 0;
  bool in_a = false, in_b = false;
  bool inside = false;
  std::int32_t start = 0;
  for (;;) {
    // The next edge of either list.
    const std::int32_t ea = i < a.size() ? (in_a ? a[i].right : a[i].left) : INT32_MAX;
    const std::int32_t eb = j < b.size() ? (in_b ? b[j].right : b[j].left) : INT32_MAX;
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

}  // namespace

Region::Region(const Rect& rect) {
  if (!rect.empty()) bands_.push_back(Band{rect.top, rect.bottom, {{rect.left, rect.right}}});
}

Rect Region::bounds() const {
  if (bands_.empty()) return {};
  Rect r{INT32_MAX, bands_.front().top, INT32_MIN, bands_.back().bottom};
  for (const Band& band : bands_) {
    r.left = std::min(r.left, band.spans.front().left);
    r.right = std::max(r.right, band.spans.back().right);
  }
  return r;
}

bool Region::Contains(std::int32_t x, std::int32_t y) const {
  for (const Band& band : bands_) {
    if (y < band.top) return false;
    if (y >= band.bottom) continue;
    for (const Span& s : band.spans) {
      if (x >= s.left && x < s.right) return true;
    }
    return false;
  }
  return false;
}

bool Region::Intersects(const Rect& rect) const {
  if (rect.empty()) return false;
  for (const Band& band : bands_) {
    if (band.bottom <= rect.top) continue;
    if (band.top >= rect.bottom) return false;
    for (const Span& s : band.spans) {
      if (s.right > rect.left && s.left < rect.right) return true;
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
    for (Span& s : band.spans) {
      s.left += dx;
      s.right += dx;
    }
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
  return Combine(*this, other, Op::kSubtract);
}

Region Region::Intersect(const Region& other) const {
  if (empty() || other.empty()) return {};
  return Combine(*this, other, Op::kIntersect);
}

Region Region::Intersect(const Rect& rect) const {
  Region out;
  if (rect.empty()) return out;
  std::vector<Span> spans;
  for (const Band& band : bands_) {
    const std::int32_t top = std::max(band.top, rect.top);
    const std::int32_t bottom = std::min(band.bottom, rect.bottom);
    if (top >= bottom) continue;
    spans.clear();
    for (const Span& s : band.spans) {
      const std::int32_t l = std::max(s.left, rect.left), r = std::min(s.right, rect.right);
      if (l < r) spans.push_back({l, r});
    }
    out.AppendBand(top, bottom, spans);
  }
  return out;
}

void Region::AppendBand(std::int32_t top, std::int32_t bottom, const std::vector<Span>& spans) {
  if (spans.empty() || top >= bottom) return;
  if (!bands_.empty() && bands_.back().bottom == top && bands_.back().spans == spans) {
    bands_.back().bottom = bottom;
    return;
  }
  bands_.push_back(Band{top, bottom, spans});
}

Region Region::Combine(const Region& a, const Region& b, Op op) {
  // Every band edge of either region splits the plane into strips in which both regions are
  // constant; each strip is combined span list by span list.
  std::vector<std::int32_t> ys;
  ys.reserve(2 * (a.bands_.size() + b.bands_.size()));
  for (const Band& band : a.bands_) {
    ys.push_back(band.top);
    ys.push_back(band.bottom);
  }
  for (const Band& band : b.bands_) {
    ys.push_back(band.top);
    ys.push_back(band.bottom);
  }
  std::sort(ys.begin(), ys.end());
  ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

  static const std::vector<Span> kNone;
  Region out;
  std::vector<Span> spans;
  std::size_t i = 0, j = 0;
  for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
    const std::int32_t y0 = ys[k], y1 = ys[k + 1];
    while (i < a.bands_.size() && a.bands_[i].bottom <= y0) ++i;
    while (j < b.bands_.size() && b.bands_[j].bottom <= y0) ++j;
    const bool in_a = i < a.bands_.size() && a.bands_[i].top <= y0;
    const bool in_b = j < b.bands_.size() && b.bands_[j].top <= y0;
    if (!in_a && (op != Op::kUnion || !in_b)) continue;
    if (!in_b && op != Op::kUnion) {
      if (op == Op::kSubtract) out.AppendBand(y0, y1, a.bands_[i].spans);
      continue;
    }
    CombineSpans(in_a ? a.bands_[i].spans : kNone, in_b ? b.bands_[j].spans : kNone,
                 static_cast<int>(op), spans);
    out.AppendBand(y0, y1, spans);
  }
  return out;
}

}  // namespace stage::draw
