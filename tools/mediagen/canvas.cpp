#include "canvas.h"

#include <algorithm>
#include <cmath>

namespace mediagen {
namespace {

constexpr int kSubRows = 8;
constexpr double kPi = 3.14159265358979323846;

double SignedArea(const std::vector<Pt>& poly) {
  double area = 0;
  for (std::size_t i = 0; i < poly.size(); ++i) {
    const Pt& p = poly[i];
    const Pt& q = poly[(i + 1) % poly.size()];
    area += p.x * q.y - q.x * p.y;
  }
  return area / 2;
}

// Every piece of a stroke must wind the same way, or overlapping pieces would cancel out
// under the non-zero rule instead of joining.
void AddPositive(std::vector<std::vector<Pt>>& out, std::vector<Pt> poly) {
  if (SignedArea(poly) < 0) std::reverse(poly.begin(), poly.end());
  out.push_back(std::move(poly));
}

std::vector<Pt> Circle(Pt c, double r) {
  const int n = std::clamp(int(r * 3), 8, 48);
  std::vector<Pt> poly;
  for (int i = 0; i < n; ++i) {
    const double t = 2 * kPi * i / n;
    poly.push_back({c.x + r * std::cos(t), c.y + r * std::sin(t)});
  }
  return poly;
}

void BoxBlur(std::vector<float>& v, int w, int h, int radius) {
  std::vector<float> tmp(v.size());
  const float norm = 1.0f / float(2 * radius + 1);
  for (int pass = 0; pass < 3; ++pass) {
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        float s = 0;
        for (int k = -radius; k <= radius; ++k) {
          const int xx = x + k;
          if (xx >= 0 && xx < w) s += v[std::size_t(y) * w + xx];
        }
        tmp[std::size_t(y) * w + x] = s * norm;
      }
    }
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        float s = 0;
        for (int k = -radius; k <= radius; ++k) {
          const int yy = y + k;
          if (yy >= 0 && yy < h) s += tmp[std::size_t(yy) * w + x];
        }
        v[std::size_t(y) * w + x] = s * norm;
      }
    }
  }
}

}  // namespace

Rgba Hex(std::uint32_t rgb, float alpha) {
  return {float((rgb >> 16) & 255) / 255.0f, float((rgb >> 8) & 255) / 255.0f,
          float(rgb & 255) / 255.0f, alpha};
}

Rgba Mix(const Rgba& a, const Rgba& b, double t) {
  const float u = float(t);
  return {a.r + (b.r - a.r) * u, a.g + (b.g - a.g) * u, a.b + (b.b - a.b) * u,
          a.a + (b.a - a.a) * u};
}

Rgba Shade(const Rgba& c, double factor) {
  if (factor <= 1) {
    const float f = float(factor);
    return {c.r * f, c.g * f, c.b * f, c.a};
  }
  return Mix(c, Rgba{1, 1, 1, c.a}, std::min(1.0, factor - 1));
}

Affine Affine::Then(const Affine& n) const {
  return {n.a * a + n.b * d, n.a * b + n.b * e, n.a * c + n.b * f + n.c,
          n.d * a + n.e * d, n.d * b + n.e * e, n.d * c + n.e * f + n.f};
}
Affine Affine::Translate(double x, double y) {
  return {1, 0, x, 0, 1, y};
}
Affine Affine::Scale(double sx, double sy) {
  return {sx, 0, 0, 0, sy, 0};
}
Affine Affine::Rotate(double r) {
  return {std::cos(r), -std::sin(r), 0, std::sin(r), std::cos(r), 0};
}
Affine Affine::About(Pt c, double r, double sx, double sy) {
  return Translate(-c.x, -c.y).Then(Scale(sx, sy)).Then(Rotate(r)).Then(Translate(c.x, c.y));
}

Path& Path::MoveTo(double x, double y) {
  polygons_.emplace_back();
  polygons_.back().push_back(transform_({x, y}));
  pen_ = {x, y};
  open_ = true;
  return *this;
}

Path& Path::LineTo(double x, double y) {
  if (!open_) return MoveTo(x, y);
  polygons_.back().push_back(transform_({x, y}));
  pen_ = {x, y};
  return *this;
}

Path& Path::QuadTo(double cx, double cy, double x, double y) {
  const Pt p0 = pen_;
  return CubicTo(p0.x + 2.0 / 3 * (cx - p0.x), p0.y + 2.0 / 3 * (cy - p0.y), x + 2.0 / 3 * (cx - x),
                 y + 2.0 / 3 * (cy - y), x, y);
}

Path& Path::CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y) {
  if (!open_) MoveTo(pen_.x, pen_.y);
  const Pt p0 = transform_(pen_), p1 = transform_({c1x, c1y}), p2 = transform_({c2x, c2y}),
           p3 = transform_({x, y});
  const double len = std::hypot(p1.x - p0.x, p1.y - p0.y) + std::hypot(p2.x - p1.x, p2.y - p1.y) +
                     std::hypot(p3.x - p2.x, p3.y - p2.y);
  const int n = std::clamp(int(len / 1.5), 4, 96);
  auto pts = SampleCubic(p0, p1, p2, p3, n);
  polygons_.back().insert(polygons_.back().end(), pts.begin() + 1, pts.end());
  pen_ = {x, y};
  return *this;
}

Path& Path::Close() {
  open_ = false;
  return *this;
}

Path& Path::Ellipse(double cx, double cy, double rx, double ry) {
  constexpr double k = 0.5522847498;
  MoveTo(cx + rx, cy);
  CubicTo(cx + rx, cy + k * ry, cx + k * rx, cy + ry, cx, cy + ry);
  CubicTo(cx - k * rx, cy + ry, cx - rx, cy + k * ry, cx - rx, cy);
  CubicTo(cx - rx, cy - k * ry, cx - k * rx, cy - ry, cx, cy - ry);
  CubicTo(cx + k * rx, cy - ry, cx + rx, cy - k * ry, cx + rx, cy);
  return Close();
}

Path& Path::Append(const Path& other) {
  polygons_.insert(polygons_.end(), other.polygons_.begin(), other.polygons_.end());
  open_ = false;
  return *this;
}

std::vector<Pt> SampleCubic(Pt p0, Pt p1, Pt p2, Pt p3, int count) {
  std::vector<Pt> pts;
  for (int i = 0; i <= count; ++i) {
    const double t = double(i) / count, u = 1 - t;
    const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
    pts.push_back({w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x,
                   w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y});
  }
  return pts;
}

Path StrokePolyline(const std::vector<Pt>& pts, const std::vector<double>& widths) {
  Path out;
  std::vector<std::vector<Pt>> pieces;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const double r = widths[i] / 2;
    if (r > 0.05) AddPositive(pieces, Circle(pts[i], r));
    if (i + 1 == pts.size()) break;
    const Pt p = pts[i], q = pts[i + 1];
    const double len = std::hypot(q.x - p.x, q.y - p.y);
    if (len < 1e-9) continue;
    const double nx = -(q.y - p.y) / len, ny = (q.x - p.x) / len;
    const double r2 = widths[i + 1] / 2;
    AddPositive(pieces, {{p.x + nx * r, p.y + ny * r},
                         {q.x + nx * r2, q.y + ny * r2},
                         {q.x - nx * r2, q.y - ny * r2},
                         {p.x - nx * r, p.y - ny * r}});
  }
  for (auto& poly : pieces) {
    Path one;
    one.MoveTo(poly[0].x, poly[0].y);
    for (std::size_t i = 1; i < poly.size(); ++i) one.LineTo(poly[i].x, poly[i].y);
    out.Append(one.Close());
  }
  return out;
}

Path StrokePolyline(const std::vector<Pt>& pts, double width) {
  return StrokePolyline(pts, std::vector<double>(pts.size(), width));
}

Path StrokeOutline(const Path& path, double width) {
  Path out;
  for (const auto& poly : path.polygons()) {
    std::vector<Pt> loop = poly;
    loop.push_back(poly.front());
    out.Append(StrokePolyline(loop, width));
  }
  return out;
}

Path Positive(const Path& path) {
  double area = 0;
  for (const auto& poly : path.polygons()) area += SignedArea(poly);
  Path out;
  for (auto poly : path.polygons()) {
    if (area < 0) std::reverse(poly.begin(), poly.end());
    Path one;
    one.MoveTo(poly[0].x, poly[0].y);
    for (std::size_t i = 1; i < poly.size(); ++i) one.LineTo(poly[i].x, poly[i].y);
    out.Append(one.Close());
  }
  return out;
}

Paint Solid(Rgba c) {
  return [c](double, double) { return c; };
}

namespace {
Rgba AtStop(const std::vector<std::pair<double, Rgba>>& stops, double t) {
  if (t <= stops.front().first) return stops.front().second;
  for (std::size_t i = 1; i < stops.size(); ++i) {
    if (t <= stops[i].first) {
      const double span = stops[i].first - stops[i - 1].first;
      return Mix(stops[i - 1].second, stops[i].second,
                 span <= 0 ? 1.0 : (t - stops[i - 1].first) / span);
    }
  }
  return stops.back().second;
}
}  // namespace

Paint Linear(Pt p0, Pt p1, std::vector<std::pair<double, Rgba>> stops) {
  const double dx = p1.x - p0.x, dy = p1.y - p0.y, len2 = dx * dx + dy * dy;
  return
      [=](double x, double y) { return AtStop(stops, ((x - p0.x) * dx + (y - p0.y) * dy) / len2); };
}

Paint Radial(Pt c, double rx, double ry, std::vector<std::pair<double, Rgba>> stops) {
  return
      [=](double x, double y) { return AtStop(stops, std::hypot((x - c.x) / rx, (y - c.y) / ry)); };
}

std::vector<float> Coverage(const Path& path, int width, int height, int* ox0, int* oy0, int* ox1,
                            int* oy1) {
  struct Edge {
    double x0, y0, x1, y1;
    int dir;
  };
  std::vector<Edge> edges;
  double minx = 1e30, miny = 1e30, maxx = -1e30, maxy = -1e30;
  for (const auto& poly : path.polygons()) {
    for (std::size_t i = 0; i < poly.size(); ++i) {
      const Pt p = poly[i], q = poly[(i + 1) % poly.size()];
      minx = std::min(minx, p.x), maxx = std::max(maxx, p.x);
      miny = std::min(miny, p.y), maxy = std::max(maxy, p.y);
      if (p.y == q.y) continue;
      if (p.y < q.y)
        edges.push_back({p.x, p.y, q.x, q.y, 1});
      else
        edges.push_back({q.x, q.y, p.x, p.y, -1});
    }
  }
  const int x0 = std::max(0, int(std::floor(minx))), x1 = std::min(width, int(std::ceil(maxx)) + 1);
  const int y0 = std::max(0, int(std::floor(miny))),
            y1 = std::min(height, int(std::ceil(maxy)) + 1);
  *ox0 = x0, *oy0 = y0, *ox1 = std::max(x0, x1), *oy1 = std::max(y0, y1);
  const int bw = *ox1 - x0, bh = *oy1 - y0;
  std::vector<float> cov(std::size_t(bw) * std::max(bh, 0), 0.0f);
  if (bw <= 0 || bh <= 0) return cov;

  std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
  std::vector<const Edge*> active;
  std::vector<std::pair<double, int>> xs;
  std::size_t next = 0;
  const float w = 1.0f / kSubRows;
  for (int row = y0; row < *oy1; ++row) {
    while (next < edges.size() && edges[next].y0 < row + 1) active.push_back(&edges[next++]);
    std::erase_if(active, [row](const Edge* e) { return e->y1 <= row; });
    float* line = &cov[std::size_t(row - y0) * bw];
    for (int s = 0; s < kSubRows; ++s) {
      const double y = row + (s + 0.5) / kSubRows;
      xs.clear();
      for (const Edge* e : active) {
        if (y < e->y0 || y >= e->y1) continue;
        xs.push_back({e->x0 + (y - e->y0) * (e->x1 - e->x0) / (e->y1 - e->y0), e->dir});
      }
      std::sort(xs.begin(), xs.end());
      int winding = 0;
      double start = 0;
      for (const auto& [x, dir] : xs) {
        const int before = winding;
        winding += dir;
        if (before == 0 && winding != 0) start = x;
        if (before != 0 && winding == 0) {
          const double a = std::clamp(start - x0, 0.0, double(bw)),
                       b = std::clamp(x - x0, 0.0, double(bw));
          if (b <= a) continue;
          const int ia = int(a), ib = int(b);
          if (ia == ib) {
            line[ia] += float(b - a) * w;
            continue;
          }
          line[ia] += float(ia + 1 - a) * w;
          for (int i = ia + 1; i < ib; ++i) line[i] += w;
          if (ib < bw) line[ib] += float(b - ib) * w;
        }
      }
    }
  }
  for (float& c : cov) c = std::min(c, 1.0f);
  return cov;
}

Layer::Layer(int width, int height)
    : width_(width), height_(height), px_(std::size_t(width) * height) {}

void Layer::Fill(const Path& path, const Paint& paint, double opacity, double feather) {
  int x0, y0, x1, y1;
  std::vector<float> cov;
  if (feather > 0) {
    // Rasterise onto a grid with a margin so the blur can spread outward.
    const int margin = int(std::ceil(feather * 3)) + 1;
    Path shifted(Affine::Translate(margin, margin));
    for (const auto& poly : path.polygons()) {
      shifted.MoveTo(poly[0].x, poly[0].y);
      for (std::size_t i = 1; i < poly.size(); ++i) shifted.LineTo(poly[i].x, poly[i].y);
      shifted.Close();
    }
    int bx0, by0, bx1, by1;
    const int gw = width_ + 2 * margin, gh = height_ + 2 * margin;
    auto inner = Coverage(shifted, gw, gh, &bx0, &by0, &bx1, &by1);
    // Widen the box by the margin and blur inside it.
    const int ex0 = std::max(0, bx0 - margin), ey0 = std::max(0, by0 - margin);
    const int ex1 = std::min(gw, bx1 + margin), ey1 = std::min(gh, by1 + margin);
    const int ew = ex1 - ex0, eh = ey1 - ey0;
    if (ew <= 0 || eh <= 0) return;
    std::vector<float> wide(std::size_t(ew) * eh, 0.0f);
    for (int y = by0; y < by1; ++y)
      for (int x = bx0; x < bx1; ++x)
        wide[std::size_t(y - ey0) * ew + (x - ex0)] =
            inner[std::size_t(y - by0) * (bx1 - bx0) + (x - bx0)];
    BoxBlur(wide, ew, eh, std::max(1, int(std::lround(feather / 1.7))));
    x0 = ex0 - margin, y0 = ey0 - margin, x1 = ex1 - margin, y1 = ey1 - margin;
    cov = std::move(wide);
  } else {
    cov = Coverage(path, width_, height_, &x0, &y0, &x1, &y1);
  }
  const int bw = x1 - x0;
  for (int y = std::max(0, y0); y < std::min(height_, y1); ++y) {
    for (int x = std::max(0, x0); x < std::min(width_, x1); ++x) {
      const float c = cov[std::size_t(y - y0) * bw + (x - x0)];
      if (c <= 0) continue;
      const Rgba s = paint(x + 0.5, y + 0.5);
      const float a = std::clamp(s.a * c * float(opacity), 0.0f, 1.0f);
      if (a <= 0) continue;
      Premul& d = px_[std::size_t(y) * width_ + x];
      d.r = s.r * a + d.r * (1 - a);
      d.g = s.g * a + d.g * (1 - a);
      d.b = s.b * a + d.b * (1 - a);
      d.a = a + d.a * (1 - a);
    }
  }
}

void Layer::Over(const Layer& o) {
  for (std::size_t i = 0; i < px_.size() && i < o.px_.size(); ++i) {
    const Premul& s = o.px_[i];
    Premul& d = px_[i];
    d.r = s.r + d.r * (1 - s.a);
    d.g = s.g + d.g * (1 - s.a);
    d.b = s.b + d.b * (1 - s.a);
    d.a = s.a + d.a * (1 - s.a);
  }
}

Rgba Layer::At(int x, int y) const {
  const Premul& p = px_[std::size_t(y) * width_ + x];
  if (p.a <= 0) return {};
  return {p.r / p.a, p.g / p.a, p.b / p.a, p.a};
}

void Layer::OnWhite(int x, int y, std::uint8_t rgb[3]) const {
  const Premul& p = px_[std::size_t(y) * width_ + x];
  const float v[3] = {p.r + (1 - p.a), p.g + (1 - p.a), p.b + (1 - p.a)};
  for (int i = 0; i < 3; ++i)
    rgb[i] = std::uint8_t(std::lround(std::clamp(v[i], 0.0f, 1.0f) * 255));
}

std::uint64_t Random::Next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Random::Uniform(double lo, double hi) {
  return lo + (hi - lo) * double(Next() >> 11) * (1.0 / 9007199254740992.0);
}

}  // namespace mediagen
