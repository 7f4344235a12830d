#include "picture.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <numeric>

#include "gif_writer.h"

namespace mediagen {
namespace {

using Rgb = std::array<int, 3>;

struct PalettePlan {
  int ground = -1;     // white entry of the ground
  int highlight = -1;  // white entry of white pixels inside the subject
  std::vector<int> reserved;
  std::vector<int> free;  // entries the quantiser fills
};

PalettePlan PlanPalette(const PictureSpec& s, std::size_t highlights) {
  PalettePlan p;
  const bool cut_out = s.transparent_flag && s.transparent_share > 0;
  if (cut_out) {
    p.ground = s.transparent_index;
    if (highlights > 0) p.highlight = s.transparent_index == 255 ? 254 : 255;
  } else if (s.white_share > 5) {
    // No usable transparency: the ground is the white entry the background index names.
    p.ground = p.highlight = s.background;
  } else {
    // A frame-filling subject with a few white specks; the declared transparent index is
    // kept free of pixels.
    p.highlight = s.transparent_index == 0 ? 1 : 0;
  }
  for (int e : {p.ground, p.highlight})
    if (e >= 0 && std::find(p.reserved.begin(), p.reserved.end(), e) == p.reserved.end())
      p.reserved.push_back(e);
  if (s.transparent_flag &&
      std::find(p.reserved.begin(), p.reserved.end(), s.transparent_index) == p.reserved.end())
    p.reserved.push_back(s.transparent_index);
  for (int i = 0; i < 256; ++i)
    if (std::find(p.reserved.begin(), p.reserved.end(), i) == p.reserved.end()) p.free.push_back(i);
  return p;
}

int Dist2(const Rgb& a, const Rgb& b) {
  // Weighted so that green, to which the eye is most sensitive, counts most.
  const int dr = a[0] - b[0], dg = a[1] - b[1], db = a[2] - b[2];
  return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

std::vector<Rgb> MedianCut(const std::vector<std::uint32_t>& pixels, std::size_t want) {
  std::map<std::uint32_t, int> hist;
  for (std::uint32_t c : pixels) ++hist[c];
  struct Entry {
    Rgb c;
    int n;
  };
  std::vector<Entry> colours;
  for (const auto& [key, n] : hist)
    colours.push_back({{int(key >> 16), int((key >> 8) & 255), int(key & 255)}, n});
  struct Box {
    std::size_t begin, end;
  };
  std::vector<Box> boxes{{0, colours.size()}};
  auto measure = [&](const Box& b, int* channel) {
    int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
    long pop = 0;
    for (std::size_t i = b.begin; i < b.end; ++i) {
      for (int k = 0; k < 3; ++k)
        lo[k] = std::min(lo[k], colours[i].c[k]), hi[k] = std::max(hi[k], colours[i].c[k]);
      pop += colours[i].n;
    }
    int best = 0;
    for (int k = 1; k < 3; ++k)
      if (hi[k] - lo[k] > hi[best] - lo[best]) best = k;
    *channel = best;
    return std::pair<int, double>(hi[best] - lo[best],
                                  (hi[best] - lo[best]) * std::sqrt(double(pop)));
  };
  while (boxes.size() < want) {
    int pick = -1, channel = 0;
    double score = 0;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
      int ch;
      auto [range, sc] = measure(boxes[i], &ch);
      if (range > 0 && boxes[i].end - boxes[i].begin > 1 && sc > score)
        pick = int(i), score = sc, channel = ch;
    }
    if (pick < 0) break;
    Box b = boxes[pick];
    std::stable_sort(
        colours.begin() + long(b.begin), colours.begin() + long(b.end),
        [channel](const Entry& x, const Entry& y) { return x.c[channel] < y.c[channel]; });
    long total = 0, half = 0;
    for (std::size_t i = b.begin; i < b.end; ++i) total += colours[i].n;
    std::size_t cut = b.begin + 1;
    for (std::size_t i = b.begin; i < b.end - 1; ++i) {
      half += colours[i].n;
      cut = i + 1;
      if (half * 2 >= total) break;
    }
    boxes[pick] = {b.begin, cut};
    boxes.push_back({cut, b.end});
  }
  std::vector<Rgb> palette;
  for (const Box& b : boxes) {
    double sum[3] = {0, 0, 0}, n = 0;
    for (std::size_t i = b.begin; i < b.end; ++i) {
      for (int k = 0; k < 3; ++k) sum[k] += double(colours[i].c[k]) * colours[i].n;
      n += colours[i].n;
    }
    palette.push_back(
        {int(std::lround(sum[0] / n)), int(std::lround(sum[1] / n)), int(std::lround(sum[2] / n))});
  }
  // A few rounds of k-means on the distinct colours sharpen the boxes' averages.
  for (int round = 0; round < 3; ++round) {
    std::vector<std::array<double, 4>> acc(palette.size(), {0, 0, 0, 0});
    for (const Entry& e : colours) {
      std::size_t best = 0;
      int bd = Dist2(e.c, palette[0]);
      for (std::size_t j = 1; j < palette.size(); ++j) {
        const int d = Dist2(e.c, palette[j]);
        if (d < bd) bd = d, best = j;
      }
      for (int k = 0; k < 3; ++k) acc[best][k] += double(e.c[k]) * e.n;
      acc[best][3] += e.n;
    }
    for (std::size_t j = 0; j < palette.size(); ++j)
      if (acc[j][3] > 0)
        for (int k = 0; k < 3; ++k) palette[j][k] = int(std::lround(acc[j][k] / acc[j][3]));
  }
  for (Rgb& c : palette) {
    // Pure white is reserved for the ground and the highlights.
    if (c[0] == 255 && c[1] == 255 && c[2] == 255) c = {253, 253, 253};
  }
  std::stable_sort(palette.begin(), palette.end(), [](const Rgb& a, const Rgb& b) {
    return 3 * a[0] + 6 * a[1] + a[2] < 3 * b[0] + 6 * b[1] + b[2];
  });
  return palette;
}

struct FramePixels {
  int left, top, width, height;
  std::vector<std::uint8_t> rgb;   // on white
  std::vector<std::uint8_t> kind;  // 0 ground, 1 subject, 2 highlight
};

std::vector<std::uint8_t> Dither(const FramePixels& f, const std::vector<Rgb>& colours,
                                 const std::vector<int>& entries, const PalettePlan& plan,
                                 double strength) {
  const int w = f.width, h = f.height;
  std::vector<std::uint8_t> out(std::size_t(w) * h);
  std::vector<std::array<float, 3>> err(std::size_t(w) * h, {0, 0, 0});
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const std::size_t i = std::size_t(y) * w + x;
      if (f.kind[i] == 0) {
        out[i] = std::uint8_t(plan.ground);
        continue;
      }
      if (f.kind[i] == 2) {
        out[i] = std::uint8_t(plan.highlight);
        continue;
      }
      Rgb want;
      for (int k = 0; k < 3; ++k)
        want[k] = std::clamp(int(std::lround(f.rgb[i * 3 + k] + err[i][k])), 0, 255);
      std::size_t best = 0;
      int bd = Dist2(want, colours[0]);
      for (std::size_t j = 1; j < colours.size(); ++j) {
        const int d = Dist2(want, colours[j]);
        if (d < bd) bd = d, best = j;
      }
      out[i] = std::uint8_t(entries[best]);
      float e[3];
      for (int k = 0; k < 3; ++k) e[k] = float((want[k] - colours[best][k]) * strength);
      auto spread = [&](int dx, int dy, float wgt) {
        const int xx = x + dx, yy = y + dy;
        if (xx < 0 || xx >= w || yy >= h) return;
        const std::size_t j = std::size_t(yy) * w + xx;
        if (f.kind[j] != 1) return;  // the ground takes no error
        for (int k = 0; k < 3; ++k) err[j][k] += e[k] * wgt;
      };
      spread(1, 0, 7.0f / 16), spread(-1, 1, 3.0f / 16), spread(0, 1, 5.0f / 16),
          spread(1, 1, 1.0f / 16);
    }
  }
  return out;
}

std::size_t SubjectCount(const Layer& l) {
  std::size_t n = 0;
  for (int y = 0; y < l.height(); ++y)
    for (int x = 0; x < l.width(); ++x) n += l.Alpha(x, y) >= 0.5f;
  return n;
}

}  // namespace

std::optional<Picture> MakePicture(const PictureSpec& s, const std::vector<FrameArt>& frames,
                                   bool fit_scale, std::string* error) {
  const std::size_t total = std::size_t(s.width) * s.height;
  const auto share_count = [&](double pct) {
    return std::size_t(std::llround(pct * total / 100.0));
  };
  const std::size_t transparent = share_count(s.transparent_share);
  const std::size_t white = share_count(s.white_share);
  const bool cut_out = s.transparent_flag && s.transparent_share > 0;
  std::size_t ground = cut_out ? transparent : (s.white_share > 5 ? white : 0);
  const std::size_t highlights = white - ground;
  const PalettePlan plan = PlanPalette(s, highlights);

  // Grow or shrink the subject until its solid part leaves about the ground's share.
  double scale = 1.0;
  if (fit_scale && ground > 0) {
    const std::size_t want = total - ground;
    double lo = 0.3, hi = 2.5;
    for (int i = 0; i < 15; ++i) {
      const double mid = (lo + hi) / 2;
      (SubjectCount(frames[0].draw(mid)) < want ? lo : hi) = mid;
    }
    scale = (lo + hi) / 2;
    if (std::getenv("MEDIAGEN_DEBUG"))
      std::fprintf(stderr, "%s: subject %zu wanted, %zu at scale 1, %zu at %.3f\n", s.name, want,
                   SubjectCount(frames[0].draw(1.0)), SubjectCount(frames[0].draw(scale)), scale);
  }

  std::vector<FramePixels> pixels;
  float cutoff = 0;
  for (std::size_t fi = 0; fi < frames.size(); ++fi) {
    const FrameArt& art = frames[fi];
    const Layer layer = art.draw(scale);
    FramePixels f{art.left, art.top, art.width, art.height, {}, {}};
    const std::size_t n = std::size_t(f.width) * f.height;
    f.rgb.resize(n * 3);
    f.kind.assign(n, 1);
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x)
        layer.OnWhite(x, y, &f.rgb[(std::size_t(y) * f.width + x) * 3]);
    if (fi == 0) {
      // The faintest pixels become ground, exactly as many as the share asks for.
      std::vector<std::size_t> order(n);
      std::iota(order.begin(), order.end(), 0);
      auto alpha = [&](std::size_t i) { return layer.Alpha(int(i % f.width), int(i / f.width)); };
      std::stable_sort(order.begin(), order.end(),
                       [&](std::size_t a, std::size_t b) { return alpha(a) < alpha(b); });
      for (std::size_t k = 0; k < ground; ++k) f.kind[order[k]] = 0;
      if (ground > 0) {
        cutoff = alpha(order[ground - 1]);
        if (cutoff >= 0.95f || (ground < n && alpha(order[ground]) <= 0.0f)) {
          *error = std::string("the subject does not fit its ground share (edge alpha ") +
                   std::to_string(cutoff) + ")";
          return std::nullopt;
        }
      }
      // The lightest subject pixels turn pure white.
      std::vector<std::size_t> light;
      for (std::size_t i = 0; i < n; ++i)
        if (f.kind[i] == 1) light.push_back(i);
      auto lum = [&](std::size_t i) {
        return 3 * f.rgb[i * 3] + 6 * f.rgb[i * 3 + 1] + f.rgb[i * 3 + 2];
      };
      std::stable_sort(light.begin(), light.end(),
                       [&](std::size_t a, std::size_t b) { return lum(a) > lum(b); });
      for (std::size_t k = 0; k < highlights && k < light.size(); ++k) f.kind[light[k]] = 2;
    } else {
      for (std::size_t i = 0; i < n; ++i)
        if (layer.Alpha(int(i % f.width), int(i / f.width)) <= cutoff) f.kind[i] = 0;
    }
    pixels.push_back(std::move(f));
  }

  std::vector<std::uint32_t> subject;
  for (const FramePixels& f : pixels)
    for (std::size_t i = 0; i < f.kind.size(); ++i)
      if (f.kind[i] == 1)
        subject.push_back((std::uint32_t(f.rgb[i * 3]) << 16) |
                          (std::uint32_t(f.rgb[i * 3 + 1]) << 8) | f.rgb[i * 3 + 2]);
  GifLayout g;
  g.width = s.width, g.height = s.height;
  g.packed = s.packed, g.background = s.background;
  g.loop_forever = s.frames > 1;
  g.disposal = s.disposal, g.delay = s.delay;
  g.transparent_flag = s.transparent_flag, g.transparent_index = s.transparent_index;
  if (s.crlf_after_trailer) g.after_trailer = {0x0D, 0x0A};
  // Richest first: all free entries with error diffusion; where that does not fit the byte
  // count, fewer colours and less diffusion.
  struct Step {
    std::size_t colours;
    double strength;
  };
  const Step ladder[] = {{256, 0.9}, {256, 0.6}, {256, 0.3}, {160, 0.5}, {128, 0.3},
                         {96, 0.3},  {96, 0.0},  {64, 0.0},  {40, 0.0},  {24, 0.0}};
  std::size_t quantised_for = 0;
  std::vector<Rgb> colours;
  std::vector<int> entries;
  for (const Step& step : ladder) {
    const std::size_t want_colours = std::min(step.colours, plan.free.size());
    if (want_colours != quantised_for) {
      colours = MedianCut(subject, want_colours);
      entries.assign(plan.free.begin(), plan.free.begin() + long(colours.size()));
      quantised_for = want_colours;
      g.palette.fill(0);
      for (std::size_t j = 0; j < colours.size(); ++j)
        for (int k = 0; k < 3; ++k) g.palette[entries[j] * 3 + k] = std::uint8_t(colours[j][k]);
      for (int e : {plan.ground, plan.highlight})
        if (e >= 0) g.palette[e * 3] = g.palette[e * 3 + 1] = g.palette[e * 3 + 2] = 255;
    }
    const double strength = step.strength;
    g.images.clear();
    for (const FramePixels& f : pixels)
      g.images.push_back(
          {f.left, f.top, f.width, f.height, Dither(f, colours, entries, plan, strength)});
    std::string why;
    auto bytes = WriteGifExact(g, s.bytes, &why);
    if (!bytes) {
      *error = why;
      if (why.find("compress") != std::string::npos) continue;
      return std::nullopt;
    }
    if (!CheckGifRoundTrip(*bytes, g)) {
      *error = "the LZW stream does not decode back to the pixels";
      return std::nullopt;
    }
    Picture pic;
    pic.gif = std::move(*bytes);
    pic.rgb.resize(total * 3);
    for (std::size_t i = 0; i < total; ++i)
      for (int k = 0; k < 3; ++k) pic.rgb[i * 3 + k] = g.palette[g.images[0].indices[i] * 3 + k];
    return pic;
  }
  return std::nullopt;
}

std::vector<std::uint8_t> MakeIcon(const std::vector<Layer>& images) {
  std::vector<std::uint8_t> out;
  auto put = [&](std::vector<std::uint8_t>& v, std::uint32_t x, int n) {
    for (int i = 0; i < n; ++i) v.push_back(std::uint8_t(x >> (8 * i)));
  };
  std::vector<std::vector<std::uint8_t>> bodies;
  for (const Layer& l : images) {
    const int n = l.width();
    std::vector<std::uint32_t> opaque;
    std::vector<std::uint8_t> rgb(std::size_t(n) * n * 3);
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) {
        // Over black, so that the masked-out edge does not leave a light fringe.
        const Rgba c = l.At(x, y);
        std::uint8_t* p = &rgb[(std::size_t(y) * n + x) * 3];
        p[0] = std::uint8_t(std::lround(c.r * 255)), p[1] = std::uint8_t(std::lround(c.g * 255)),
        p[2] = std::uint8_t(std::lround(c.b * 255));
        if (l.Alpha(x, y) >= 0.5f)
          opaque.push_back((std::uint32_t(p[0]) << 16) | (p[1] << 8) | p[2]);
      }
    std::vector<Rgb> palette = MedianCut(opaque, 255);
    palette.insert(palette.begin(), Rgb{0, 0, 0});  // entry 0: what masked pixels carry
    palette.resize(256, Rgb{0, 0, 0});
    const int row = (n + 3) / 4 * 4, mask_row = (n + 31) / 32 * 4;
    std::vector<std::uint8_t> body;
    put(body, 40, 4), put(body, std::uint32_t(n), 4), put(body, std::uint32_t(2 * n), 4);
    put(body, 1, 2), put(body, 8, 2), put(body, 0, 4);
    put(body, std::uint32_t((row + mask_row) * n), 4);
    put(body, 0, 4), put(body, 0, 4), put(body, 256, 4), put(body, 0, 4);
    for (const Rgb& c : palette)
      body.insert(body.end(), {std::uint8_t(c[2]), std::uint8_t(c[1]), std::uint8_t(c[0]), 0});
    // Rows bottom-up, first the colour indices, then the mask.
    for (int y = n - 1; y >= 0; --y) {
      for (int x = 0; x < n; ++x) {
        std::uint8_t index = 0;
        if (l.Alpha(x, y) >= 0.5f) {
          const std::uint8_t* p = &rgb[(std::size_t(y) * n + x) * 3];
          const Rgb want{p[0], p[1], p[2]};
          int best = 1;
          for (int j = 2; j < 256; ++j)
            if (Dist2(want, palette[j]) < Dist2(want, palette[best])) best = j;
          index = std::uint8_t(best);
        }
        body.push_back(index);
      }
      body.resize(body.size() + std::size_t(row - n), 0);
    }
    for (int y = n - 1; y >= 0; --y) {
      std::vector<std::uint8_t> bits(std::size_t(mask_row), 0);
      for (int x = 0; x < n; ++x)
        if (l.Alpha(x, y) < 0.5f) bits[std::size_t(x / 8)] |= std::uint8_t(0x80 >> (x % 8));
      body.insert(body.end(), bits.begin(), bits.end());
    }
    bodies.push_back(std::move(body));
  }
  put(out, 0, 2), put(out, 1, 2), put(out, std::uint32_t(images.size()), 2);
  std::uint32_t offset = 6 + 16 * std::uint32_t(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int n = images[i].width();
    out.push_back(std::uint8_t(n)), out.push_back(std::uint8_t(n));
    out.push_back(0), out.push_back(0);  // 256 colours, reserved
    put(out, 1, 2), put(out, 8, 2);
    put(out, std::uint32_t(bodies[i].size()), 4), put(out, offset, 4);
    offset += std::uint32_t(bodies[i].size());
  }
  for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace mediagen
