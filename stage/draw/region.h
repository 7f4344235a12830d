#pragma once
// Pixel regions as bands: horizontal strips, each with sorted, disjoint spans of columns.
// Bands are sorted top-down, never overlap, and two touching bands never hold the same spans,
// so every region has exactly one representation and equality is structural.

#include <cstdint>
#include <vector>

#include "stage/core/screen.h"

namespace stage::draw {

class Region {
 public:
  struct Span {
    std::int32_t left, right;
    friend bool operator==(const Span&, const Span&) = default;
  };
  // A strip of rows [top, bottom) with spans_[first, first + count).
  struct Band {
    std::int32_t top, bottom;
    std::uint32_t first, count;
    friend bool operator==(const Band&, const Band&) = default;
  };

  Region() = default;
  explicit Region(const Rect& rect);

  // One band per row from runs of pixels: `runs_of_row(y, out)` appends the row's spans,
  // sorted and disjoint. Identical neighbouring rows become one band.
  template <class RunsOfRow>
  static Region FromRows(std::int32_t top, std::int32_t height, RunsOfRow runs_of_row) {
    Region region;
    std::vector<Span> spans;
    for (std::int32_t y = 0; y < height; ++y) {
      spans.clear();
      runs_of_row(y, spans);
      region.AppendBand(top + y, top + y + 1, spans);
    }
    return region;
  }

  bool empty() const { return bands_.empty(); }
  Rect bounds() const;
  bool Contains(std::int32_t x, std::int32_t y) const;
  bool Intersects(const Rect& rect) const;
  std::size_t band_count() const { return bands_.size(); }
  std::vector<Rect> Rects() const;
  std::int64_t Area() const;

  void Translate(std::int32_t dx, std::int32_t dy);
  Region Translated(std::int32_t dx, std::int32_t dy) const;

  Region Union(const Region& other) const;
  Region Subtract(const Region& other) const;
  Region Intersect(const Region& other) const;
  Region Intersect(const Rect& rect) const;

  Region& operator|=(const Region& other) { return *this = Union(other); }
  Region& operator-=(const Region& other) { return *this = Subtract(other); }
  Region& operator&=(const Region& other) { return *this = Intersect(other); }

  template <class F>
  void ForEachRect(F f) const {
    for (const Band& band : bands_) {
      for (std::uint32_t i = band.first; i < band.first + band.count; ++i) {
        f(Rect{spans_[i].left, band.top, spans_[i].right, band.bottom});
      }
    }
  }

  friend bool operator==(const Region&, const Region&) = default;

 private:
  enum class Op { kUnion, kSubtract, kIntersect };
  static Region Combine(const Region& a, const Region& b, Op op);
  // Appends a band below every other; merges it into the last band when they touch and hold
  // the same spans. Empty span lists are dropped.
  void AppendBand(std::int32_t top, std::int32_t bottom, const Span* spans, std::size_t count);
  void AppendBand(std::int32_t top, std::int32_t bottom, const std::vector<Span>& spans) {
    AppendBand(top, bottom, spans.data(), spans.size());
  }
  const Span* SpansOf(const Band& band) const { return spans_.data() + band.first; }

  std::vector<Band> bands_;
  std::vector<Span> spans_;
};

}  // namespace stage::draw
