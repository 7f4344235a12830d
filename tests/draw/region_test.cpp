// Regions against a plain pixel set: every operation on random rectangles and outlines.

#include "stage/draw/region.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace stage::draw {
namespace {

using Pixels = std::set<std::pair<int, int>>;

Pixels PixelsOf(const Region& region) {
  Pixels p;
  region.ForEachRect([&](const Rect& r) {
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) EXPECT_TRUE(p.insert({x, y}).second) << "overlap";
    }
  });
  return p;
}

Region RandomRegion(std::mt19937& rng) {
  std::uniform_int_distribution<int> at(-4, 20), size(0, 9), count(0, 4);
  Region region;
  for (int n = count(rng); n > 0; --n) {
    const int x = at(rng), y = at(rng);
    region |= Region(Rect{x, y, x + size(rng), y + size(rng)});
  }
  return region;
}

TEST(RegionTest, OperationsMatchPixelSets) {
  std::mt19937 rng(7);
  for (int round = 0; round < 400; ++round) {
    const Region a = RandomRegion(rng), b = RandomRegion(rng);
    const Pixels pa = PixelsOf(a), pb = PixelsOf(b);
    Pixels uni = pa, sub, inter;
    uni.insert(pb.begin(), pb.end());
    for (const auto& p : pa) (pb.count(p) ? inter : sub).insert(p);
    EXPECT_EQ(PixelsOf(a.Union(b)), uni);
    EXPECT_EQ(PixelsOf(a.Subtract(b)), sub);
    EXPECT_EQ(PixelsOf(a.Intersect(b)), inter);
    // One representation per pixel set: the same set built another way compares equal.
    EXPECT_EQ(a.Union(b), b.Union(a));
    const Rect clip{2, 3, 11, 13};
    EXPECT_EQ(a.Intersect(clip), a.Intersect(Region(clip)));
    EXPECT_EQ(a.Intersects(clip), !a.Intersect(clip).empty());
    for (const auto& [x, y] : pa) EXPECT_TRUE(a.Contains(x, y));
  }
}

TEST(RegionTest, RowsMergeIntoBandsAndTranslate) {
  // A 4 x 3 ring: identical rows 0 and 2 stay separate bands, the middle row has two spans.
  const Region ring = Region::FromRows(10, 3, [](std::int32_t y, std::vector<Region::Span>& out) {
    if (y == 1) {
      out.push_back({0, 1});
      out.push_back({3, 4});
    } else {
      out.push_back({0, 4});
    }
  });
  EXPECT_EQ(ring.band_count(), 3u);
  EXPECT_EQ(ring.Area(), 10);
  EXPECT_FALSE(ring.Contains(1, 11));
  EXPECT_EQ(ring.bounds(), (Rect{0, 10, 4, 13}));
  const Region square = Region::FromRows(0, 5, [](std::int32_t, std::vector<Region::Span>& out) {
    out.push_back({2, 6});
  });
  EXPECT_EQ(square.band_count(), 1u);
  EXPECT_EQ(square.Translated(1, -1), Region(Rect{3, -1, 7, 4}));
}

}  // namespace
}  // namespace stage::draw
