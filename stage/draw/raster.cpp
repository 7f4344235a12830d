#include "stage/draw/raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace stage::draw {
namespace {

constexpr std::uint32_t kRgb = 0x00FFFFFF;

std::uint32_t ApplyRop(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
  // Bit i of the index answers for pattern bit (i >> 2), source bit (i >> 1) and destination
  // bit i, so the result is the OR of the minterms whose index bit is set.
  std::uint32_t r = 0;
  for (int i = 0; i < 8; ++i) {
    if ((rop >> i & 1) == 0) continue;
    r |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return r & kRgb;
}

template <class Op>
void ForRows(const Surface& dst, const Rect& rect, const BitmapView& src, std::int32_t sx,
             std::int32_t sy, Op op) {
  const std::int32_t w = rect.width();
  for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
    std::uint32_t* __restrict d = dst.row(y) + rect.left;
    const std::uint32_t* __restrict s = src.row(sy + (y - rect.top)) + sx;
    for (std::int32_t x = 0; x < w; ++x) d[x] = op(s[x], d[x]);
  }
}

// Area-averaging weights of one axis: target pixel i takes source pixels first[i] ..
// first[i] + count[i] - 1 with 16-bit weights that sum to 65536.
struct Taps {
  std::vector<std::int32_t> first, count, offset;
  std::vector<std::uint32_t> weights;
  std::int32_t lowest = 0, highest = 0;  // source range used, [lowest, highest)
};

Taps MakeTaps(std::int32_t src_size, std::int32_t dst_size, std::int32_t from, std::int32_t to) {
  Taps t;
  const double scale = double(src_size) / double(dst_size);
  t.lowest = INT32_MAX;
  t.highest = 0;
  for (std::int32_t i = from; i < to; ++i) {
    const double start = i * scale, end = (i + 1) * scale;
    std::int32_t k0 = static_cast<std::int32_t>(std::floor(start));
    std::int32_t k1 = static_cast<std::int32_t>(std::ceil(end));
    k0 = std::clamp(k0, 0, src_size - 1);
    k1 = std::clamp(k1, k0 + 1, src_size);
    t.first.push_back(k0);
    t.count.push_back(k1 - k0);
    t.offset.push_back(static_cast<std::int32_t>(t.weights.size()));
    std::uint32_t sum = 0, best = 0;
    std::size_t biggest = t.weights.size();
    for (std::int32_t k = k0; k < k1; ++k) {
      const double cover = std::min(end, double(k + 1)) - std::max(start, double(k));
      const auto w = static_cast<std::uint32_t>(std::lround(std::max(cover, 0.0) / scale * 65536));
      if (w > best) {
        best = w;
        biggest = t.weights.size();
      }
      t.weights.push_back(w);
      sum += w;
    }
    // Rounding must not change the total, or flat areas would drift by one level.
    t.weights[biggest] += 65536 - sum;
    t.lowest = std::min(t.lowest, k0);
    t.highest = std::max(t.highest, k1);
  }
  return t;
}

}  // namespace

void Fill(const Surface& dst, const Rect& rect, std::uint32_t pixel) {
  const std::int32_t w = rect.width();
  if (w <= 0) return;
  for (std::int32_t y = rect.top; y < rect.bottom; ++y)
    std::fill_n(dst.row(y) + rect.left, w, pixel);
}

void BlitRop(const Surface& dst, const Rect& rect, const BitmapView& src, std::int32_t sx,
             std::int32_t sy, std::uint8_t rop, std::uint32_t pattern) {
  if (rect.empty()) return;
  switch (rop) {
    case kRopCopy:
      for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
        std::memcpy(dst.row(y) + rect.left, src.row(sy + (y - rect.top)) + sx,
                    std::size_t(rect.width()) * 4);
      }
      return;
    case kRopNotCopy:
      return ForRows(dst, rect, src, sx, sy,
                     [](std::uint32_t s, std::uint32_t) { return ~s & kRgb; });
    case kRopXor:
      return ForRows(dst, rect, src, sx, sy,
                     [](std::uint32_t s, std::uint32_t d) { return s ^ d; });
    case kRopOr:
      return ForRows(dst, rect, src, sx, sy,
                     [](std::uint32_t s, std::uint32_t d) { return s | d; });
    case kRopAnd:
      return ForRows(dst, rect, src, sx, sy,
                     [](std::uint32_t s, std::uint32_t d) { return s & d; });
    case 0x00:
      return Fill(dst, rect, 0);
    case 0xFF:
      return Fill(dst, rect, kRgb);
    case 0xAA:
      return;
    case 0xF0:
      return Fill(dst, rect, pattern & kRgb);
    default:
      return ForRows(dst, rect, src, sx, sy, [rop, pattern](std::uint32_t s, std::uint32_t d) {
        return ApplyRop(rop, pattern, s, d);
      });
  }
}

void BlitKeyed(const Surface& dst, const Rect& rect, const BitmapView& src, std::int32_t sx,
               std::int32_t sy, std::uint32_t key) {
  if (rect.empty()) return;
  ForRows(dst, rect, src, sx, sy,
          [key](std::uint32_t s, std::uint32_t d) { return s == key ? d : s; });
}

void BlitMasked(const Surface& dst, const Rect& rect, const BitmapView& src,
                const std::uint8_t* mask, std::int32_t mask_stride, std::int32_t sx,
                std::int32_t sy) {
  const std::int32_t w = rect.width();
  for (std::int32_t y = rect.top; y < rect.bottom; ++y) {
    std::uint32_t* __restrict d = dst.row(y) + rect.left;
    const std::uint32_t* __restrict s = src.row(sy + (y - rect.top)) + sx;
    const std::uint8_t* __restrict m = mask + std::size_t(sy + (y - rect.top)) * mask_stride + sx;
    for (std::int32_t x = 0; x < w; ++x) {
      const std::uint32_t grey = m[x] * 0x010101u;  // a one-bit mask turned to colour
      d[x] = (((d[x] ^ s[x]) & grey) ^ s[x]) & kRgb;
    }
  }
}

ScreenBitmap StretchArea(const BitmapView& src, std::int32_t dst_width, std::int32_t dst_height,
                         const Rect& window) {
  ScreenBitmap out;
  out.width = window.width();
  out.height = window.height();
  if (out.width <= 0 || out.height <= 0 || src.width <= 0 || src.height <= 0) {
    out.width = out.height = 0;
    return out;
  }
  out.pixels.resize(std::size_t(out.width) * out.height);
  const Taps columns = MakeTaps(src.width, dst_width, window.left, window.right);
  const Taps rows = MakeTaps(src.height, dst_height, window.top, window.bottom);
  const std::int32_t c0 = columns.lowest, cn = columns.highest - columns.lowest;

  // Vertical pass into 16-bit channel planes of the source columns in use (planes, so that the
  // inner loop vectorises), then the horizontal pass.
  std::vector<std::uint32_t> acc(std::size_t(cn) * 3);
  std::vector<std::uint16_t> mid(std::size_t(cn) * 3);
  std::uint32_t* __restrict ar = acc.data();
  std::uint32_t* __restrict ag = ar + cn;
  std::uint32_t* __restrict ab = ag + cn;
  for (std::int32_t j = 0; j < out.height; ++j) {
    std::fill(acc.begin(), acc.end(), 0);
    const std::uint32_t* wv = rows.weights.data() + rows.offset[j];
    for (std::int32_t k = 0; k < rows.count[j]; ++k) {
      const std::uint32_t w = wv[k];
      const std::uint32_t* __restrict s = src.row(rows.first[j] + k) + c0;
      for (std::int32_t x = 0; x < cn; ++x) {
        const std::uint32_t p = s[x];
        ar[x] += (p >> 16 & 0xFF) * w;
        ag[x] += (p >> 8 & 0xFF) * w;
        ab[x] += (p & 0xFF) * w;
      }
    }
    for (std::size_t i = 0; i < acc.size(); ++i) {
      mid[i] = static_cast<std::uint16_t>((acc[i] + 128) >> 8);
    }
    const std::uint16_t* mr = mid.data();
    const std::uint16_t* mg = mr + cn;
    const std::uint16_t* mb = mg + cn;
    std::uint32_t* d = out.pixels.data() + std::size_t(j) * out.width;
    for (std::int32_t i = 0; i < out.width; ++i) {
      const std::uint32_t* wh = columns.weights.data() + columns.offset[i];
      const std::int32_t at = columns.first[i] - c0;
      std::uint32_t r = 0, g = 0, b = 0;
      for (std::int32_t k = 0; k < columns.count[i]; ++k) {
        r += mr[at + k] * wh[k];
        g += mg[at + k] * wh[k];
        b += mb[at + k] * wh[k];
      }
      r = (r + (1u << 23)) >> 24;
      g = (g + (1u << 23)) >> 24;
      b = (b + (1u << 23)) >> 24;
      d[i] = std::min(r, 255u) << 16 | std::min(g, 255u) << 8 | std::min(b, 255u);
    }
  }
  return out;
}

std::vector<std::uint8_t> StretchMaskArea(const std::uint8_t* mask, std::int32_t width,
                                          std::int32_t height, std::int32_t dst_width,
                                          std::int32_t dst_height, const Rect& window) {
  const std::int32_t ow = window.width(), oh = window.height();
  std::vector<std::uint8_t> out;
  if (ow <= 0 || oh <= 0 || width <= 0 || height <= 0) return out;
  out.resize(std::size_t(ow) * oh);
  const Taps columns = MakeTaps(width, dst_width, window.left, window.right);
  const Taps rows = MakeTaps(height, dst_height, window.top, window.bottom);
  const std::int32_t c0 = columns.lowest, cn = columns.highest - columns.lowest;
  std::vector<std::uint32_t> acc(cn);
  std::vector<std::uint16_t> mid(cn);
  for (std::int32_t j = 0; j < oh; ++j) {
    std::fill(acc.begin(), acc.end(), 0);
    const std::uint32_t* wv = rows.weights.data() + rows.offset[j];
    for (std::int32_t k = 0; k < rows.count[j]; ++k) {
      const std::uint32_t w = wv[k];
      const std::uint8_t* __restrict s = mask + std::size_t(rows.first[j] + k) * width + c0;
      std::uint32_t* __restrict a = acc.data();
      for (std::int32_t x = 0; x < cn; ++x) a[x] += s[x] * w;
    }
    for (std::int32_t x = 0; x < cn; ++x) mid[x] = static_cast<std::uint16_t>((acc[x] + 128) >> 8);
    std::uint8_t* d = out.data() + std::size_t(j) * ow;
    for (std::int32_t i = 0; i < ow; ++i) {
      const std::uint32_t* wh = columns.weights.data() + columns.offset[i];
      const std::uint16_t* m = mid.data() + (columns.first[i] - c0);
      std::uint32_t v = 0;
      for (std::int32_t k = 0; k < columns.count[i]; ++k) v += m[k] * wh[k];
      d[i] = static_cast<std::uint8_t>(std::min((v + (1u << 23)) >> 24, 255u));
    }
  }
  return out;
}

}  // namespace stage::draw
