#pragma once
// A small deterministic vector rasteriser: paths of lines and Bézier curves filled with
// non-zero winding, exact horizontal coverage on eight sub-rows per pixel, and painted with
// colour functions. It depends on no drawing library, so the pictures come out the same bytes
// wherever the generator is built.

#include <cstdint>
#include <functional>
#include <vector>

namespace mediagen {

// A colour with straight (not premultiplied) alpha, every channel in 0..1.
struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

Rgba Hex(std::uint32_t rgb, float alpha = 1.0f);
Rgba Mix(const Rgba& a, const Rgba& b, double t);
Rgba Shade(const Rgba& c, double factor);  // < 1 darkens, > 1 lightens towards white

struct Pt {
  double x = 0, y = 0;
};

// Row-major affine map: x' = a x + b y + c, y' = d x + e y + f.
struct Affine {
  double a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
  Pt operator()(Pt p) const { return {a * p.x + b * p.y + c, d * p.x + e * p.y + f}; }
  Affine Then(const Affine& next) const;  // first this, then next
  static Affine Translate(double x, double y);
  static Affine Scale(double sx, double sy);
  static Affine Rotate(double radians);
  // Rotation and scale about a centre.
  static Affine About(Pt centre, double radians, double sx, double sy);
};

// Closed polygons built from lines and curves; every point goes through `transform` as it is
// added.
class Path {
 public:
  explicit Path(Affine transform = {}) : transform_(transform) {}

  Path& MoveTo(double x, double y);
  Path& LineTo(double x, double y);
  Path& QuadTo(double cx, double cy, double x, double y);
  Path& CubicTo(double c1x, double c1y, double c2x, double c2y, double x, double y);
  Path& Close();
  Path& Ellipse(double cx, double cy, double rx, double ry);
  Path& Append(const Path& other);  // takes the other path's points as they stand

  const std::vector<std::vector<Pt>>& polygons() const { return polygons_; }
  bool empty() const { return polygons_.empty(); }

 private:
  Affine transform_;
  std::vector<std::vector<Pt>> polygons_;
  Pt pen_;  // last point before transform
  bool open_ = false;
};

// The outline of a stroke along a polyline, as a union of quads and round joins; the width
// may vary from point to point (tapered stems, fine veins).
Path StrokePolyline(const std::vector<Pt>& points, const std::vector<double>& widths);
Path StrokePolyline(const std::vector<Pt>& points, double width);
// Samples a cubic Bézier into `count` + 1 points.
std::vector<Pt> SampleCubic(Pt p0, Pt p1, Pt p2, Pt p3, int count);
// The union outline of every polygon edge of `path`, `width` wide.
Path StrokeOutline(const Path& path, double width);

// The same outline with every polygon reversed if needed so that the whole winds positively
// (holes stay opposite to their outlines).
Path Positive(const Path& path);

using Paint = std::function<Rgba(double x, double y)>;
Paint Solid(Rgba c);
// Colour stops at positions 0..1 along a line from p0 to p1 (clamped at the ends).
Paint Linear(Pt p0, Pt p1, std::vector<std::pair<double, Rgba>> stops);
// Stops from the centre (0) to the ellipse of radii rx, ry (1).
Paint Radial(Pt centre, double rx, double ry, std::vector<std::pair<double, Rgba>> stops);

// A picture layer with premultiplied colour. Starts fully transparent.
class Layer {
 public:
  Layer(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }

  // Fills `path`; `feather` > 0 blurs the coverage by about that many pixels (soft shadows,
  // glows).
  void Fill(const Path& path, const Paint& paint, double opacity = 1.0, double feather = 0.0);
  // Draws `other` over this layer.
  void Over(const Layer& other);

  // Straight-alpha colour of one pixel.
  Rgba At(int x, int y) const;
  float Alpha(int x, int y) const { return px_[std::size_t(y) * width_ + x].a; }
  // The colour as it shows over a white ground, 0..255 per channel.
  void OnWhite(int x, int y, std::uint8_t rgb[3]) const;

 private:
  struct Premul {
    float r = 0, g = 0, b = 0, a = 0;
  };
  int width_, height_;
  std::vector<Premul> px_;
};

// Coverage of `path` per pixel of a width x height grid, 0..1.
std::vector<float> Coverage(const Path& path, int width, int height, int* x0, int* y0, int* x1,
                            int* y1);

// A fixed-seed generator so that texture and scatter come out identical on every run.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next();
  double Uniform(double lo = 0.0, double hi = 1.0);

 private:
  std::uint64_t state_;
};

}  // namespace mediagen
