#include "art.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace mediagen {
namespace {

constexpr double kPi = 3.14159265358979323846;

struct RoseColours {
  Rgba light, mid, dark;
};

const RoseColours kRed{Hex(0xF04A5A), Hex(0xC8102E), Hex(0x5A0412)};
const RoseColours kDeepRed{Hex(0xE0303C), Hex(0xA80A1E), Hex(0x46020C)};
const RoseColours kPink{Hex(0xFFC2D4), Hex(0xF27CA6), Hex(0x9E2F5E)};
const RoseColours kPalePink{Hex(0xFFE6EE), Hex(0xF8BCCD), Hex(0xC77891)};
const RoseColours kSalmon{Hex(0xFFD2C8), Hex(0xF28C8C), Hex(0xA8424E)};
const RoseColours kPinkRed{Hex(0xFF7F9C), Hex(0xE0245E), Hex(0x7A0A30)};
const RoseColours kYellow{Hex(0xFFF2A0), Hex(0xF7CB2D), Hex(0xB07A06)};
const RoseColours kYellowWarm{Hex(0xFFE680), Hex(0xF5B323), Hex(0xA65F08)};

const Rgba kLeafLight = Hex(0x7DBA4A), kLeafMid = Hex(0x3F8A2E), kLeafDark = Hex(0x1D4D1B);

// Scales the whole drawing about the picture's centre, so that the generator can fit the
// subject to its ground share.
struct Frame {
  double scale, cx, cy;
  Affine xf() const { return Affine::About({cx, cy}, 0, scale, scale); }
  Pt operator()(Pt p) const { return xf()(p); }
  double len(double v) const { return v * scale; }
};

std::uint64_t Seed(std::string_view name) {
  std::uint64_t h = 1469598103934665603ull;
  for (char c : name) h = (h ^ std::uint8_t(c)) * 1099511628211ull;
  return h;
}

void Leaf(Layer& l, Pt base, Pt tip, double width, double bend, Random& rng,
          Rgba light = kLeafLight, Rgba mid = kLeafMid, Rgba dark = kLeafDark) {
  const double dx = tip.x - base.x, dy = tip.y - base.y, len = std::hypot(dx, dy);
  const double ux = dx / len, uy = dy / len, nx = -uy, ny = ux;
  auto at = [&](double along, double across) {
    return Pt{base.x + ux * along * len + nx * across * width,
              base.y + uy * along * len + ny * across * width};
  };
  const double b = bend;
  Path p;
  const Pt s = at(0, 0), c1 = at(0.25, 0.55 + b), c2 = at(0.75, 0.5 + b), e = at(1, b * 0.3);
  const Pt d1 = at(0.75, -0.45 + b), d2 = at(0.25, -0.5 + b);
  p.MoveTo(s.x, s.y)
      .CubicTo(c1.x, c1.y, c2.x, c2.y, e.x, e.y)
      .CubicTo(d1.x, d1.y, d2.x, d2.y, s.x, s.y)
      .Close();
  // Light falls from the upper left: the side facing it is brighter.
  const Pt lightside = at(0.4, 0.5), darkside = at(0.4, -0.5);
  l.Fill(p, Linear(lightside, darkside, {{0, light}, {0.55, mid}, {1, dark}}));
  // Midrib and a few veins.
  std::vector<Pt> rib;
  for (int i = 0; i <= 12; ++i) rib.push_back(at(i / 12.0, b * 0.35 * std::sin(kPi * i / 12.0)));
  std::vector<double> w;
  for (int i = 0; i <= 12; ++i) w.push_back(std::max(0.4, width * 0.09 * (1 - i / 13.0)));
  l.Fill(StrokePolyline(rib, w), Solid(Shade(light, 1.25)), 0.7);
  for (int v = 1; v <= 4; ++v) {
    const double t = v / 5.0;
    for (int side : {-1, 1}) {
      const Pt a = at(t, b * 0.3),
               z = at(t + 0.16, side * (0.38 + rng.Uniform(-0.05, 0.05)) + b * 0.5);
      l.Fill(StrokePolyline({a, z}, std::max(0.35, width * 0.04)), Solid(Shade(mid, 0.7)), 0.5);
    }
  }
  l.Fill(StrokeOutline(p, std::max(0.5, width * 0.035)), Solid(dark), 0.5);
}

void Stem(Layer& l, Pt a, Pt c1, Pt c2, Pt b, double w0, double w1) {
  auto pts = SampleCubic(a, c1, c2, b, 40);
  std::vector<double> w, hw;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const double t = double(i) / (pts.size() - 1);
    w.push_back(w0 + (w1 - w0) * t);
    hw.push_back((w0 + (w1 - w0) * t) * 0.35);
  }
  l.Fill(StrokePolyline(pts, w), Solid(Hex(0x2F6B25)));
  std::vector<Pt> hl;
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const std::size_t j = std::min(i + 1, pts.size() - 1), k = i > 0 ? i - 1 : 0;
    const double tx = pts[j].x - pts[k].x, ty = pts[j].y - pts[k].y, tl = std::hypot(tx, ty) + 1e-9;
    hl.push_back({pts[i].x - ty / tl * w[i] * 0.22, pts[i].y + tx / tl * w[i] * 0.22});
  }
  l.Fill(StrokePolyline(hl, hw), Solid(Hex(0x6FAF45)), 0.8);
}

void Thorn(Layer& l, Pt at, double size, double dir) {
  Path p;
  p.MoveTo(at.x - size * 0.5 * std::sin(dir), at.y + size * 0.5 * std::cos(dir))
      .LineTo(at.x + size * std::cos(dir) * 1.3, at.y + size * std::sin(dir) * 1.3 - size * 0.4)
      .LineTo(at.x + size * 0.5 * std::sin(dir), at.y - size * 0.5 * std::cos(dir))
      .Close();
  l.Fill(p, Solid(Hex(0x6B3A1E)));
}

// A rose seen from above and a little in front: rings of cupped petals, each ring smaller and
// darker at its heart, with a tight spiral in the middle. `tilt` squashes the view vertically.
void RoseHead(Layer& l, Pt c, double r, double tilt, double turn, const RoseColours& col,
              Random& rng, int rings = 5) {
  const Affine view =
      Affine::Rotate(turn).Then(Affine::Scale(1, tilt)).Then(Affine::Translate(c.x, c.y));
  // Inverse of the view, for the paints that shade in the rose's own plane.
  const double ct = std::cos(turn), st = std::sin(turn);
  auto local = [=](double x, double y) {
    const double u = x - c.x, v = (y - c.y) / tilt;
    return Pt{ct * u + st * v, -st * u + ct * v};
  };
  // A soft shadow under the whole head lifts it off the ground.
  {
    Path halo(view);
    halo.Ellipse(0, r * 0.08, r * 1.02, r * 1.02);
    l.Fill(halo, Solid(Shade(col.dark, 0.6)), 0.35, std::max(1.0, r * 0.05));
  }
  double angle = rng.Uniform(0, 2 * kPi);
  for (int ring = 0; ring < rings; ++ring) {
    const double f = double(ring) / rings;
    const double radius = r * (1.0 - 0.78 * f);
    const int petals = ring == 0 ? 5 : (ring < 3 ? 5 : 4);
    const double spread = 2 * kPi / petals;
    const Rgba tip = Mix(col.light, col.mid, f * 0.6),
               heart = Mix(col.mid, col.dark, 0.55 + 0.3 * f);
    for (int p = 0; p < petals; ++p) {
      const double a = angle + p * spread + rng.Uniform(-0.12, 0.12);
      const double rr = radius * rng.Uniform(0.92, 1.04);
      const double half = spread * (0.62 + 0.1 * f);
      const Affine petal = Affine::Rotate(a).Then(view);
      Path shape(petal);
      const double base = rr * 0.08, wave = rng.Uniform(-0.06, 0.06);
      const double hw = std::tan(std::min(half, 1.2)) * rr * 0.62;
      shape.MoveTo(base, -base * 0.5)
          .CubicTo(rr * 0.3, -hw * 0.9, rr * 0.78, -hw * 1.05, rr * 0.97, -hw * 0.35)
          .CubicTo(rr * 1.06, -hw * 0.05 + wave * rr, rr * 1.06, hw * 0.1 + wave * rr, rr * 0.96,
                   hw * 0.38)
          .CubicTo(rr * 0.78, hw * 1.05, rr * 0.3, hw * 0.9, base, base * 0.5)
          .Close();
      if (ring > 0) l.Fill(shape, Solid(Shade(col.dark, 0.5)), 0.45, std::max(0.8, r * 0.035));
      const double axis = a;
      l.Fill(shape, [=](double x, double y) {
        const Pt q = local(x, y);
        const double d = std::hypot(q.x, q.y) / rr;
        double across = std::fabs(std::remainder(std::atan2(q.y, q.x) - axis, 2 * kPi)) / half;
        Rgba k = d < 0.35 ? heart : Mix(heart, tip, std::min(1.0, (d - 0.35) / 0.55));
        // The cupped petal darkens towards its folded sides and catches light at its rim.
        k = Shade(k, 1.0 - 0.22 * std::min(1.0, across * across));
        if (d > 0.86) k = Shade(k, 1.0 + 0.12 * (d - 0.86) / 0.14);
        const double lit = -(q.x * 0.6 + q.y * 0.8) / rr;
        return Shade(k, 1.0 + 0.1 * std::clamp(lit, -1.0, 1.0));
      });
      l.Fill(StrokeOutline(shape, std::max(0.45, r * 0.018)), Solid(Shade(col.dark, 0.8)), 0.35);
    }
    angle += spread * 0.5 + 0.35;
  }
  // The tight heart: a spiral of dark folds.
  std::vector<Pt> spiral;
  std::vector<double> widths;
  for (int i = 0; i <= 60; ++i) {
    const double t = i / 60.0, a = angle + t * 4 * kPi, rad = r * 0.2 * (1 - t) + r * 0.02;
    spiral.push_back(view({rad * std::cos(a), rad * std::sin(a)}));
    widths.push_back(std::max(0.5, r * 0.05 * (1 - t * 0.6)));
  }
  l.Fill(StrokePolyline(spiral, widths), Solid(Shade(col.dark, 0.85)), 0.75);
  Path heart(view);
  heart.Ellipse(0, 0, r * 0.06, r * 0.06);
  l.Fill(heart, Solid(Shade(col.dark, 0.8)), 0.9);
}

// A closed bud seen from the side, pointing along `up` (radians, 0 = straight up).
void Bud(Layer& l, Pt base, double height, double lean, const RoseColours& col, Random& rng) {
  const Affine xf = Affine::Rotate(lean).Then(Affine::Translate(base.x, base.y));
  const double h = height, w = height * 0.34;
  Path body(xf);
  body.MoveTo(0, 0)
      .CubicTo(-w * 1.25, -h * 0.15, -w * 0.7, -h * 0.8, 0, -h)
      .CubicTo(w * 0.7, -h * 0.8, w * 1.25, -h * 0.15, 0, 0)
      .Close();
  const Pt left = xf({-w, -h * 0.45}), right = xf({w, -h * 0.45});
  l.Fill(body,
         Linear(left, right, {{0, col.mid}, {0.3, col.light}, {0.65, col.mid}, {1, col.dark}}));
  // Two wrapping outer petals.
  for (int side : {-1, 1}) {
    Path petal(xf);
    petal.MoveTo(0, -h * 0.02)
        .CubicTo(side * w * 1.3, -h * 0.12, side * w * 1.05, -h * 0.62, side * w * 0.1, -h * 0.82)
        .CubicTo(side * w * 0.45, -h * 0.55, side * w * 0.5, -h * 0.25, -side * w * 0.15, -h * 0.02)
        .Close();
    l.Fill(petal, Solid(Shade(col.dark, 0.6)), 0.35, std::max(0.8, h * 0.03));
    const Pt a = xf({side * w * 1.1, -h * 0.4}), b = xf({-side * w * 0.1, -h * 0.4});
    l.Fill(petal, Linear(a, b, {{0, side < 0 ? col.light : col.mid}, {1, Shade(col.mid, 0.8)}}));
    l.Fill(StrokeOutline(petal, std::max(0.4, h * 0.012)), Solid(col.dark), 0.4);
  }
  // The rim of the innermost petal curling at the tip.
  std::vector<Pt> curl = SampleCubic(xf({-w * 0.3, -h * 0.78}), xf({-w * 0.1, -h * 0.9}),
                                     xf({w * 0.25, -h * 0.88}), xf({w * 0.28, -h * 0.72}), 16);
  l.Fill(StrokePolyline(curl, std::max(0.5, h * 0.025)), Solid(Shade(col.dark, 0.9)), 0.6);
  // Sepals reaching up around the bud, and the round hip beneath it.
  for (int s = -2; s <= 2; ++s) {
    if (s == 0) continue;
    const double dir = s * 0.38 + rng.Uniform(-0.08, 0.08);
    Path sepal(xf);
    const double len = h * (std::abs(s) == 1 ? 0.62 : 0.45);
    const Pt tip{std::sin(dir) * len * 1.1, -std::cos(dir) * len};
    sepal.MoveTo(-w * 0.18, h * 0.02)
        .QuadTo(tip.x * 0.4 - w * 0.2, tip.y * 0.5, tip.x, tip.y)
        .QuadTo(tip.x * 0.4 + w * 0.25, tip.y * 0.4, w * 0.18, h * 0.02)
        .Close();
    l.Fill(sepal, Linear(xf({-w, 0}), xf({w, 0}), {{0, kLeafLight}, {1, kLeafDark}}));
  }
  Path hip(xf);
  hip.Ellipse(0, h * 0.06, w * 0.42, h * 0.11);
  l.Fill(hip,
         Radial(xf({-w * 0.15, h * 0.02}), w * 0.5, h * 0.16, {{0, kLeafLight}, {1, kLeafDark}}));
}

using Draw = std::function<void(Layer&, const Frame&, Random&)>;

FrameArt Single(const PictureSpec& s, Draw draw) {
  FrameArt art{0, 0, s.width, s.height, {}};
  const std::uint64_t seed = Seed(s.name);
  const int w = s.width, h = s.height;
  art.draw = [=](double scale) {
    Layer l(w, h);
    Random rng(seed);
    draw(l, Frame{scale, w / 2.0, h / 2.0}, rng);
    return l;
  };
  return art;
}

// Helpers that place parts in design coordinates, scaled about the centre.
void HeadAt(Layer& l, const Frame& f, Pt c, double r, double tilt, double turn,
            const RoseColours& col, Random& rng, int rings = 5) {
  RoseHead(l, f(c), f.len(r), tilt, turn, col, rng, rings);
}
void LeafAt(Layer& l, const Frame& f, Pt a, Pt b, double w, double bend, Random& rng) {
  Leaf(l, f(a), f(b), f.len(w), bend, rng);
}
void StemAt(Layer& l, const Frame& f, Pt a, Pt c1, Pt c2, Pt b, double w0, double w1) {
  Stem(l, f(a), f(c1), f(c2), f(b), f.len(w0), f.len(w1));
}
void BudAt(Layer& l, const Frame& f, Pt base, double h, double lean, const RoseColours& col,
           Random& rng) {
  Bud(l, f(base), f.len(h), lean, col, rng);
}

std::vector<FrameArt> Rose(const PictureSpec& s) {
  const std::string_view n = s.name;
  if (n == "RosePic01")  // pale pink head between two leaves
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      LeafAt(l, f, {70, 55}, {18, 70}, 15, 0.15, r);
      LeafAt(l, f, {78, 55}, {130, 72}, 15, -0.15, r);
      HeadAt(l, f, {73.5, 43}, 34, 0.82, 0.3, kPalePink, r);
    })};
  if (n == "RosePic02")  // red head with a leaf
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      LeafAt(l, f, {55, 52}, {90, 68}, 13, -0.2, r);
      HeadAt(l, f, {45, 37}, 31, 0.85, 1.0, kRed, r);
    })};
  if (n == "RosePic03")  // red rose on a long stem
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      StemAt(l, f, {40, 40}, {50, 62}, {62, 86}, {84, 114}, 4.0, 3.0);
      Thorn(l, f({55, 68}), f.len(3.5), -0.3);
      Thorn(l, f({71, 96}), f.len(3.5), 2.6);
      LeafAt(l, f, {62, 82}, {100, 70}, 12, -0.2, r);
      LeafAt(l, f, {50, 62}, {22, 76}, 9, 0.2, r);
      HeadAt(l, f, {40, 33}, 27, 0.8, 0.6, kRed, r, 5);
    })};
  if (n == "RosePic04")  // red bud on a stem
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      StemAt(l, f, {62, 90}, {60, 105}, {66, 120}, {64, 135}, 4.6, 4.0);
      LeafAt(l, f, {63, 106}, {112, 92}, 15, -0.2, r);
      LeafAt(l, f, {62, 118}, {18, 106}, 13, 0.2, r);
      BudAt(l, f, {62, 92}, 78, 0.08, kDeepRed, r);
    })};
  if (n == "RosePic05")  // large pink-red head
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      LeafAt(l, f, {65, 90}, {20, 118}, 16, 0.2, r);
      HeadAt(l, f, {65, 62}, 54, 0.92, 0.2, kPinkRed, r, 6);
    })};
  if (n == "RosePic06")  // pink rose with stem and leaves
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      StemAt(l, f, {73, 90}, {70, 115}, {78, 140}, {74, 163}, 5.0, 4.2);
      LeafAt(l, f, {74, 122}, {136, 104}, 19, -0.2, r);
      LeafAt(l, f, {75, 138}, {12, 126}, 18, 0.2, r);
      HeadAt(l, f, {73.5, 62}, 60, 0.8, 0.9, kPink, r, 6);
    })};
  if (n == "RosePic07")  // red rose with leaves
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      LeafAt(l, f, {70, 70}, {15, 88}, 16, 0.2, r);
      LeafAt(l, f, {80, 72}, {135, 92}, 15, -0.15, r);
      HeadAt(l, f, {73.5, 52}, 42, 0.82, 2.0, kRed, r, 6);
    })};
  if (n == "RosePic08")  // pink rose, open
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      LeafAt(l, f, {70, 80}, {14, 104}, 17, 0.2, r);
      LeafAt(l, f, {80, 84}, {134, 108}, 16, -0.2, r);
      HeadAt(l, f, {73.5, 60}, 50, 0.86, 0.4, kPink, r, 6);
    })};
  if (n == "RosePic09")  // two pink-red roses
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      LeafAt(l, f, {60, 100}, {12, 124}, 16, 0.2, r);
      LeafAt(l, f, {90, 102}, {140, 126}, 16, -0.2, r);
      HeadAt(l, f, {100, 78}, 44, 0.86, 1.3, kPinkRed, r, 5);
      HeadAt(l, f, {50, 60}, 47, 0.86, 0.2, kPinkRed, r, 5);
    })};
  if (n == "RosePic10")  // red bud with leaves
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      StemAt(l, f, {74, 82}, {74, 90}, {76, 96}, {78, 102}, 4.4, 4.0);
      LeafAt(l, f, {74, 86}, {6, 62}, 19, 0.25, r);
      LeafAt(l, f, {76, 88}, {142, 64}, 19, -0.25, r);
      LeafAt(l, f, {76, 94}, {128, 100}, 13, -0.1, r);
      BudAt(l, f, {74, 84}, 70, -0.05, kRed, r);
    })};
  if (n == "RosePic11")  // close-up that fills the frame
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      Path all;
      all.MoveTo(-1, -1)
          .LineTo(f.cx * 2 + 1, -1)
          .LineTo(f.cx * 2 + 1, f.cy * 2 + 1)
          .LineTo(-1, f.cy * 2 + 1)
          .Close();
      l.Fill(all, Radial({f.cx, f.cy}, f.cx * 1.2, f.cy * 1.5,
                         {{0, Hex(0x7A0A18)}, {1, Hex(0x2A0308)}}));
      RoseHead(l, {f.cx - 4, f.cy + 6}, 96, 0.9, 0.7, kDeepRed, r, 7);
      // Dew drops; their glints are the picture's only white.
      for (const Pt& d : {Pt{40, 30}, Pt{104, 62}, Pt{70, 82}, Pt{118, 22}}) {
        Path drop;
        drop.Ellipse(d.x, d.y, 4.2, 3.6);
        l.Fill(drop, Radial({d.x + 0.8, d.y + 0.8}, 4.2, 3.6,
                            {{0, Hex(0xB02030)}, {0.8, Hex(0x801020)}, {1, Hex(0x500810)}}));
        Path glint;
        glint.Ellipse(d.x - 1.2, d.y - 1.1, 2.5, 2.1);
        l.Fill(glint, Radial({d.x - 1.2, d.y - 1.1}, 2.5, 2.1,
                             {{0, Hex(0xFFFFFF)}, {1, Hex(0xFFE0E4, 0.6f)}}));
      }
    })};
  if (n == "RosePic12")  // two red roses on thin stems
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      StemAt(l, f, {48, 50}, {56, 85}, {70, 112}, {76, 141}, 2.4, 1.8);
      StemAt(l, f, {102, 42}, {94, 78}, {84, 112}, {79, 141}, 2.4, 1.8);
      LeafAt(l, f, {64, 98}, {34, 112}, 10, 0.2, r);
      LeafAt(l, f, {88, 92}, {118, 104}, 10, -0.2, r);
      HeadAt(l, f, {46, 36}, 24, 0.8, 0.4, kRed, r, 5);
      HeadAt(l, f, {103, 30}, 23, 0.8, 1.9, kRed, r, 5);
    })};
  if (n == "RosePic13")  // yellow rose
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      LeafAt(l, f, {68, 88}, {12, 110}, 16, 0.2, r);
      LeafAt(l, f, {80, 90}, {138, 112}, 16, -0.2, r);
      HeadAt(l, f, {73.5, 60}, 48, 0.84, 1.1, kYellow, r, 6);
    })};
  if (n == "RosePic14")  // yellow rose, full
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      LeafAt(l, f, {52, 88}, {16, 106}, 16, 0.2, r);
      LeafAt(l, f, {94, 90}, {132, 106}, 16, -0.2, r);
      HeadAt(l, f, {73.5, 60}, 56, 0.9, 0.5, kYellowWarm, r, 6);
    })};
  if (n == "RosePic15")  // salmon-pink rose seen more from the side, a bud beside it
    return {Single(s, [](Layer& l, const Frame& f, Random& r) {
      StemAt(l, f, {36, 98}, {42, 106}, {52, 112}, {64, 116}, 3.0, 3.0);
      LeafAt(l, f, {72, 96}, {140, 116}, 17, -0.2, r);
      LeafAt(l, f, {62, 100}, {20, 124}, 14, 0.2, r);
      BudAt(l, f, {36, 98}, 52, -0.45, kSalmon, r);
      HeadAt(l, f, {86, 58}, 58, 0.74, 2.4, kSalmon, r, 6);
    })};
  return {};
}

// ---- The greeting's characters ------------------------------------------------------------

Rgba Hue(double h) {
  h = h - std::floor(h);
  const double r = std::clamp(std::fabs(h * 6 - 3) - 1, 0.0, 1.0);
  const double g = std::clamp(2 - std::fabs(h * 6 - 2), 0.0, 1.0);
  const double b = std::clamp(2 - std::fabs(h * 6 - 4), 0.0, 1.0);
  return {float(0.1 + 0.85 * r), float(0.1 + 0.8 * g), float(0.1 + 0.85 * b), 1};
}

// The character filled with `fill`, thickened by `bold` pixels and ringed by a `rim` of
// `rim_colour`; the ring's width is part of the character's ink.
void Character(Layer& l, const Path& glyph_in, double bold, double rim, const Paint& fill,
               const Paint& rim_paint, double shadow) {
  // The thickening strokes wind positively; the glyph must too, or the non-zero rule would
  // punch holes where they overlap.
  const Path glyph = Positive(glyph_in);
  Path body;
  body.Append(glyph);
  if (bold > 0) body.Append(StrokeOutline(glyph, bold));
  if (shadow > 0) {
    Path drop(Affine::Translate(shadow, shadow));
    for (const auto& poly : body.polygons()) {
      drop.MoveTo(poly[0].x, poly[0].y);
      for (std::size_t i = 1; i < poly.size(); ++i) drop.LineTo(poly[i].x, poly[i].y);
      drop.Close();
    }
    l.Fill(drop, Solid(Hex(0x404040)), 0.45, shadow * 0.6);
  }
  if (rim > 0) l.Fill(StrokeOutline(glyph, bold + 2 * rim), rim_paint);
  l.Fill(body, fill);
}

std::vector<FrameArt> Greeting(const PictureSpec& s, const GlyphSource& glyphs) {
  const std::string_view n = s.name;
  const GlyphBox box{46, 46, 354, 354};
  auto glyph = [&](char32_t c, GlyphBox b) {
    return glyphs.Outline(c, b, nullptr).value_or(Path());
  };
  auto single = [&](Path g, std::function<void(Layer&, const Path&, double)> draw) {
    FrameArt art{0, 0, 400, 400, {}};
    art.draw = [g, draw](double scale) {
      Layer l(400, 400);
      draw(l, g, scale);
      return l;
    };
    return std::vector<FrameArt>{art};
  };
  if (n == "GreetingPic1") {
    return single(glyph(U'生', {70, 70, 330, 330}), [](Layer& l, const Path& g, double scale) {
      const Paint rainbow = [](double x, double y) { return Hue((x * 0.8 + y * 0.5) / 520.0); };
      Character(l, g, 6 * scale, 3, rainbow, Solid(Hex(0x3A2A6A)), 5);
    });
  }
  if (n == "GreetingPic3") {
    return single(glyph(U'快', {64, 64, 336, 336}), [](Layer& l, const Path& g, double scale) {
      Character(l, g, 6 * scale, 3,
                Linear({60, 60}, {340, 340},
                       {{0, Hex(0x8EE05A)}, {0.5, Hex(0x2FA83A)}, {1, Hex(0x0F6B2A)}}),
                Solid(Hex(0x0A4A1C)), 5);
    });
  }
  if (n == "GreetingPic4") {
    return single(glyph(U'乐', box), [](Layer& l, const Path& g, double scale) {
      Character(l, g, 6 * scale, 0,
                Linear({60, 60}, {340, 340},
                       {{0, Hex(0x4A4A4A)}, {0.35, Hex(0x1A1A1A)}, {1, Hex(0x050505)}}),
                Solid(Hex(0)), 5);
    });
  }
  if (n == "GreetingPic2") {
    // 日 sits inside the area that frames 2 to 4 repaint, rim and all.
    const GlyphBox inner{100, 68, 311, 311};
    const Path g = glyphs.Outline(U'日', inner, nullptr, false).value_or(Path());
    const Rgba rims[] = {Hex(0xF5B800), Hex(0xE8338F), Hex(0xFF6A1A), Hex(0x7B4DFF)};
    std::vector<FrameArt> frames;
    for (int i = 0; i < 4; ++i) {
      FrameArt art = i == 0 ? FrameArt{0, 0, 400, 400, {}} : FrameArt{81, 55, 249, 269, {}};
      const Rgba rim = rims[i];
      const int ox = art.left, oy = art.top, w = art.width, h = art.height;
      art.draw = [g, rim, ox, oy, w, h](double scale) {
        Layer l(w, h);
        Path shifted(Affine::Translate(-ox, -oy));
        for (const auto& poly : g.polygons()) {
          shifted.MoveTo(poly[0].x, poly[0].y);
          for (std::size_t k = 1; k < poly.size(); ++k) shifted.LineTo(poly[k].x, poly[k].y);
          shifted.Close();
        }
        const Paint teal =
            Linear({double(100 - ox), double(80 - oy)}, {double(300 - ox), double(300 - oy)},
                   {{0, Hex(0x5FE0D0)}, {0.5, Hex(0x16A99A)}, {1, Hex(0x0B6F68)}});
        Character(
            l, shifted, 6 * scale, 5, teal,
            Linear({0, 0}, {double(w), double(h)}, {{0, Shade(rim, 1.3)}, {1, Shade(rim, 0.75)}}),
            0);
        return l;
      };
      frames.push_back(std::move(art));
    }
    return frames;
  }
  return {};
}

// ---- The cake -----------------------------------------------------------------------------

void Candle(Layer& l, Pt base, double h, Rgba colour) {
  const double w = h * 0.16;
  Path body;
  body.MoveTo(base.x - w / 2, base.y)
      .LineTo(base.x - w / 2, base.y - h)
      .LineTo(base.x + w / 2, base.y - h)
      .LineTo(base.x + w / 2, base.y)
      .Close();
  l.Fill(body, Linear({base.x - w / 2, 0}, {base.x + w / 2, 0},
                      {{0, Shade(colour, 1.3)}, {0.5, colour}, {1, Shade(colour, 0.65)}}));
  // Spiral stripes.
  for (int i = 0; i < 5; ++i) {
    const double y = base.y - h * (i + 0.5) / 5;
    Path stripe;
    stripe.MoveTo(base.x - w / 2, y + w * 0.35)
        .LineTo(base.x + w / 2, y - w * 0.35)
        .LineTo(base.x + w / 2, y - w * 0.05)
        .LineTo(base.x - w / 2, y + w * 0.65)
        .Close();
    l.Fill(stripe, Solid(Hex(0xFFF4E0)), 0.85);
  }
  l.Fill(
      StrokePolyline({{base.x, base.y - h}, {base.x + w * 0.05, base.y - h - w * 0.6}}, w * 0.14),
      Solid(Hex(0x302010)));
  const Pt flame{base.x, base.y - h - w * 1.6};
  Path glow;
  glow.Ellipse(flame.x, flame.y, w * 2.2, w * 2.8);
  l.Fill(glow,
         Radial(flame, w * 2.2, w * 2.8, {{0, Hex(0xFFD070, 0.55f)}, {1, Hex(0xFFB040, 0.0f)}}));
  Path outer;
  outer.MoveTo(flame.x, flame.y - w * 1.5)
      .CubicTo(flame.x + w * 0.9, flame.y - w * 0.2, flame.x + w * 0.7, flame.y + w * 0.9, flame.x,
               flame.y + w * 0.95)
      .CubicTo(flame.x - w * 0.7, flame.y + w * 0.9, flame.x - w * 0.9, flame.y - w * 0.2, flame.x,
               flame.y - w * 1.5)
      .Close();
  l.Fill(outer, Radial({flame.x, flame.y + w * 0.4}, w * 0.8, w * 1.9,
                       {{0, Hex(0xFFF6B0)}, {0.5, Hex(0xFFC830)}, {1, Hex(0xF06A10)}}));
}

std::vector<FrameArt> Cake(const PictureSpec& s, const GlyphSource& glyphs) {
  const Path words = [&] {
    double width = 0;
    glyphs.Text(U"Happy Birthday", 0, 0, 64, &width);
    return glyphs.Text(U"Happy Birthday", 505 - width / 2, 560, 64, nullptr);
  }();
  return {Single(s, [words](Layer& l, const Frame& f, Random& rng) {
    const Affine xf = f.xf();
    auto P = [&](double x, double y) { return f({x, y}); };
    auto L = [&](double v) { return f.len(v); };
    // Plate.
    Path plate(xf);
    plate.Ellipse(505, 650, 440, 62);
    l.Fill(plate, Solid(Hex(0x707080)), 0.4, L(8));
    l.Fill(plate, Linear(P(505, 590), P(505, 712), {{0, Hex(0xF4F4FA)}, {1, Hex(0xB8BCCB)}}));
    // A tier: a cylinder of sponge under pink icing with a cream rim.
    auto tier = [&](double cx, double top, double bottom, double rx, double ry, Rgba icing,
                    Rgba side) {
      Path wall(xf);
      wall.MoveTo(cx - rx, top)
          .LineTo(cx - rx, bottom)
          .CubicTo(cx - rx, bottom + ry * 1.33, cx + rx, bottom + ry * 1.33, cx + rx, bottom)
          .LineTo(cx + rx, top)
          .Close();
      l.Fill(wall, Linear(P(cx - rx, 0), P(cx + rx, 0),
                          {{0, Shade(side, 0.7)},
                           {0.3, Shade(side, 1.15)},
                           {0.7, side},
                           {1, Shade(side, 0.6)}}));
      // Icing dripping over the wall.
      Path drip(xf);
      drip.MoveTo(cx - rx, top);
      const int drops = 14;
      for (int i = 0; i < drops; ++i) {
        const double x0 = cx - rx + 2 * rx * i / drops, x1 = cx - rx + 2 * rx * (i + 1) / drops;
        const double u = (x0 + x1) / 2 - cx;
        const double curve = ry * std::sqrt(std::max(0.0, 1 - (u / rx) * (u / rx)));
        const double depth = (bottom - top) * rng.Uniform(0.22, 0.45);
        drip.CubicTo(x0 + (x1 - x0) * 0.15, top + curve + depth, x1 - (x1 - x0) * 0.15,
                     top + curve + depth, x1, top + curve * 0.9);
      }
      drip.LineTo(cx + rx, top).Close();
      l.Fill(drip,
             Linear(P(cx - rx, 0), P(cx + rx, 0),
                    {{0, Shade(icing, 0.8)}, {0.35, Shade(icing, 1.2)}, {1, Shade(icing, 0.75)}}));
      Path lid(xf);
      lid.Ellipse(cx, top, rx, ry);
      l.Fill(lid, Radial(P(cx - rx * 0.3, top - ry * 0.3), L(rx * 1.3), L(ry * 1.6),
                         {{0, Shade(icing, 1.35)}, {1, icing}}));
      // Cream rosettes along the front rim.
      for (int i = 0; i <= 16; ++i) {
        const double a = kPi * i / 16;
        const Pt c = P(cx + rx * std::cos(a) * 0.97, top + ry * std::sin(a) * 0.97);
        Path blob;
        blob.Ellipse(c.x, c.y, L(rx * 0.075), L(ry * 0.3));
        l.Fill(blob, Radial({c.x - L(rx * 0.02), c.y - L(ry * 0.08)}, L(rx * 0.08), L(ry * 0.34),
                            {{0, Hex(0xFFFFFF)}, {0.6, Hex(0xFFF3E8)}, {1, Hex(0xE8C8B0)}}));
      }
    };
    tier(505, 400, 600, 360, 70, Hex(0xF58AB0), Hex(0xF5D6A8));
    // Strawberries around the lower tier's lid.
    for (int i = 0; i < 9; ++i) {
      const double a = kPi * (0.08 + 0.84 * i / 8);
      const Pt c = P(505 - 300 * std::cos(a), 400 + 40 * std::sin(a) - 10);
      Path berry;
      berry.MoveTo(c.x - L(18), c.y - L(8))
          .CubicTo(c.x - L(22), c.y + L(20), c.x - L(4), c.y + L(30), c.x, c.y + L(32))
          .CubicTo(c.x + L(4), c.y + L(30), c.x + L(22), c.y + L(20), c.x + L(18), c.y - L(8))
          .CubicTo(c.x + L(10), c.y - L(16), c.x - L(10), c.y - L(16), c.x - L(18), c.y - L(8))
          .Close();
      l.Fill(berry, Radial({c.x - L(6), c.y}, L(22), L(32),
                           {{0, Hex(0xFF5A5A)}, {0.7, Hex(0xD8102A)}, {1, Hex(0x8A0418)}}));
      for (int k = 0; k < 7; ++k) {
        Path seed;
        seed.Ellipse(c.x + L(rng.Uniform(-11, 11)), c.y + L(rng.Uniform(-2, 20)), L(1.6), L(2.4));
        l.Fill(seed, Solid(Hex(0xFFE08A)));
      }
      Leaf(l, {c.x, c.y - L(10)}, {c.x - L(16), c.y - L(18)}, L(7), 0.1, rng);
      Leaf(l, {c.x, c.y - L(10)}, {c.x + L(16), c.y - L(19)}, L(7), -0.1, rng);
    }
    tier(505, 250, 385, 240, 48, Hex(0xFFF0F5), Hex(0xF7A8C4));
    // Writing on the lower tier.
    Path text(xf);
    for (const auto& poly : words.polygons()) {
      text.MoveTo(poly[0].x, poly[0].y);
      for (std::size_t i = 1; i < poly.size(); ++i) text.LineTo(poly[i].x, poly[i].y);
      text.Close();
    }
    l.Fill(StrokeOutline(text, L(3)), Solid(Hex(0x6A2A18)));
    l.Fill(text, Solid(Hex(0x8A3A20)));
    // Candles on the top tier, in a shallow arc.
    const Rgba colours[] = {Hex(0x4AA8F0), Hex(0xF2C030), Hex(0x9A60E0), Hex(0x50C878),
                            Hex(0xF06090)};
    for (int i = 0; i < 5; ++i) {
      const double x = 505 + (i - 2) * 80, y = 250 + 22 - std::abs(i - 2) * 8 + (i % 2) * 10;
      Candle(l, P(x, y), L(150), colours[i]);
    }
  })};
}

}  // namespace

std::vector<FrameArt> ArtFor(const PictureSpec& spec, const GlyphSource& glyphs) {
  const std::string_view n = spec.name;
  if (n.starts_with("RosePic")) return Rose(spec);
  if (n.starts_with("GreetingPic")) return Greeting(spec, glyphs);
  if (n == "CakePic") return Cake(spec, glyphs);
  return {};
}

Layer IconRose(int size) {
  Layer l(size, size);
  Random rng(Seed("AppIcon"));
  const double u = size / 48.0;
  Leaf(l, {24 * u, 30 * u}, {45 * u, 44 * u}, 9 * u, -0.15, rng);
  Leaf(l, {22 * u, 30 * u}, {3 * u, 42 * u}, 8 * u, 0.15, rng);
  RoseHead(l, {24 * u, 21 * u}, 19.5 * u, 0.9, 0.5, kRed, rng, size >= 32 ? 5 : 3);
  return l;
}

}  // namespace mediagen
