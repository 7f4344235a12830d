#include "glyph.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

namespace mediagen {

struct GlyphSource::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::vector<unsigned char> file;
  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

GlyphSource::~GlyphSource() = default;

std::unique_ptr<GlyphSource> GlyphSource::Open(const std::string& path, std::string* error) {
  std::unique_ptr<GlyphSource> src(new GlyphSource);
  src->impl_ = std::make_unique<Impl>();
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path;
    return nullptr;
  }
  src->impl_->file.assign(std::istreambuf_iterator<char>(in), {});
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : src->impl_->file) h = (h ^ c) * 0x100000001b3ull;
  src->hash_ = h;
  if (FT_Init_FreeType(&src->impl_->library) != 0 ||
      FT_New_Memory_Face(src->impl_->library, src->impl_->file.data(),
                         FT_Long(src->impl_->file.size()), 0, &src->impl_->face) != 0) {
    *error = "FreeType cannot open " + path;
    return nullptr;
  }
  return src;
}

namespace {

struct Builder {
  std::vector<std::vector<Pt>> contours;
  Pt pen;
};

Pt ToPt(const FT_Vector* v) {
  return {double(v->x), double(v->y)};
}

int MoveTo(const FT_Vector* to, void* user) {
  auto* b = static_cast<Builder*>(user);
  b->contours.emplace_back();
  b->pen = ToPt(to);
  b->contours.back().push_back(b->pen);
  return 0;
}
int LineTo(const FT_Vector* to, void* user) {
  auto* b = static_cast<Builder*>(user);
  b->pen = ToPt(to);
  b->contours.back().push_back(b->pen);
  return 0;
}
int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
  auto* b = static_cast<Builder*>(user);
  const Pt p0 = b->pen, p1 = ToPt(c), p2 = ToPt(to);
  for (int i = 1; i <= 12; ++i) {
    const double t = i / 12.0, u = 1 - t;
    b->contours.back().push_back({u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x,
                                  u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
  }
  b->pen = p2;
  return 0;
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* b = static_cast<Builder*>(user);
  auto pts = SampleCubic(b->pen, ToPt(c1), ToPt(c2), ToPt(to), 16);
  b->contours.back().insert(b->contours.back().end(), pts.begin() + 1, pts.end());
  b->pen = ToPt(to);
  return 0;
}

}  // namespace

std::optional<Path> GlyphSource::Outline(char32_t code, GlyphBox box, GlyphBox* ink,
                                         bool keep_aspect) const {
  FT_Face face = impl_->face;
  const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(code));
  if (index == 0 || FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0 ||
      face->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
    return std::nullopt;
  Builder b;
  const FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  if (FT_Outline_Decompose(&face->glyph->outline, &funcs, &b) != 0) return std::nullopt;
  double x0 = 1e30, y0 = 1e30, x1 = -1e30, y1 = -1e30;
  for (const auto& c : b.contours)
    for (const Pt& p : c)
      x0 = std::min(x0, p.x), x1 = std::max(x1, p.x), y0 = std::min(y0, p.y),
      y1 = std::max(y1, p.y);
  // Font units run upward; the picture's rows run downward.
  double sx = (box.x1 - box.x0) / (x1 - x0), s = (box.y1 - box.y0) / (y1 - y0);
  if (keep_aspect) sx = s = std::min(sx, s);
  const double ox = (box.x0 + box.x1) / 2 - sx * (x0 + x1) / 2;
  const double oy = (box.y0 + box.y1) / 2 + s * (y0 + y1) / 2;
  Path path(Affine{sx, 0, ox, 0, -s, oy});
  for (const auto& c : b.contours) {
    if (c.size() < 3) continue;
    path.MoveTo(c[0].x, c[0].y);
    for (std::size_t i = 1; i < c.size(); ++i) path.LineTo(c[i].x, c[i].y);
    path.Close();
  }
  if (ink) *ink = {ox + sx * x0, oy - s * y1, ox + sx * x1, oy - s * y0};
  return path;
}

Path GlyphSource::Text(const std::u32string& text, double x, double y, double size,
                       double* width) const {
  FT_Face face = impl_->face;
  const double s = size / face->units_per_EM;
  Path path;
  double pen = x;
  for (char32_t c : text) {
    const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
    if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) continue;
    Builder b;
    const FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    if (face->glyph->format == FT_GLYPH_FORMAT_OUTLINE &&
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &b) == 0) {
      Path glyph(Affine{s, 0, pen, 0, -s, y});
      for (const auto& contour : b.contours) {
        if (contour.size() < 3) continue;
        glyph.MoveTo(contour[0].x, contour[0].y);
        for (std::size_t i = 1; i < contour.size(); ++i) glyph.LineTo(contour[i].x, contour[i].y);
        glyph.Close();
      }
      path.Append(glyph);
    }
    pen += face->glyph->advance.x * s;
  }
  if (width) *width = pen - x;
  return path;
}

}  // namespace mediagen
