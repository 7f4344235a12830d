// GIF decoding speed: our decoder against giflib (DGifSlurp, to indices) and stb_image (to
// RGBA), on rose-like pictures of 256 colours with minimum code size 8, the shape of the
// show's own pictures. Extra arguments name GIF files to measure as well.
//
// At the end a table gives Mpixel/s for each decoder and the ratios ours/giflib, ours/stb.

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "stage/picture/picture.h"

// stb_image is compiled here, with the benchmark's own optimisation, as a peer on equal terms;
// its code is not ours to keep warning-free.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_GIF
#define STBI_NO_STDIO
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#include <stb_image.h>
#pragma GCC diagnostic pop

namespace {

using Bytes = std::vector<std::uint8_t>;

// A smooth rose: spiralling petals in reds and pinks on a white ground, a green leaf, and a
// little grain so that the colour quantiser leaves photograph-like noise in the indices.
void PaintRose(int width, int height, std::vector<GifByteType>& r, std::vector<GifByteType>& g,
               std::vector<GifByteType>& b) {
  std::mt19937 random(42);
  std::normal_distribution<double> grain(0.0, 4.0);
  const std::size_t n = std::size_t(width) * std::size_t(height);
  r.resize(n);
  g.resize(n);
  b.resize(n);
  const double cx = width * 0.5, cy = height * 0.45, scale = 0.42 * std::min(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = (x - cx) / scale, dy = (y - cy) / scale;
      const double rad = std::sqrt(dx * dx + dy * dy), angle = std::atan2(dy, dx);
      double red = 255, green = 255, blue = 255;  // white ground
      const double petal = 0.75 + 0.25 * std::cos(5 * angle + 9 * rad);
      if (rad < petal) {
        const double shade = 0.55 + 0.45 * std::cos(3 * angle - 14 * rad) * (1 - rad);
        red = 150 + 100 * shade;
        green = 20 + 70 * shade * shade;
        blue = 40 + 80 * shade;
      } else if (dy > 0.6 && std::abs(dx + 0.5 - (dy - 0.6)) < 0.25) {
        const double shade = 0.6 + 0.4 * std::sin(20 * dx);
        red = 30 * shade;
        green = 120 + 80 * shade;
        blue = 40 * shade;
      }
      const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
      const auto clamp = [](double v) {
        return GifByteType(std::lround(std::fmin(255, std::fmax(0, v))));
      };
      r[i] = clamp(red + grain(random));
      g[i] = clamp(green + grain(random));
      b[i] = clamp(blue + grain(random));
    }
  }
}

// One 256-colour image written by giflib's encoder (minimum code size 8).
Bytes EncodeRose(int width, int height) {
  std::vector<GifByteType> r, g, b;
  PaintRose(width, height, r, g, b);
  std::vector<GifByteType> indices(r.size());
  std::vector<GifColorType> colors(256);
  int color_count = 256;
  GifQuantizeBuffer(unsigned(width), unsigned(height), &color_count, r.data(), g.data(), b.data(),
                    indices.data(), colors.data());
  ColorMapObject* map = GifMakeMapObject(256, colors.data());
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(
      &out,
      [](GifFileType* f, const GifByteType* data, int n) {
        auto* o = static_cast<Bytes*>(f->UserData);
        o->insert(o->end(), data, data + n);
        return n;
      },
      &error);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
  for (int y = 0; y < height; ++y) EGifPutLine(gif, indices.data() + std::size_t(y) * width, width);
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

Bytes ReadFile(const char* path) {
  Bytes bytes;
  if (std::FILE* f = std::fopen(path, "rb")) {
    std::uint8_t chunk[65536];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
      bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
  }
  return bytes;
}

// giflib's indices of the first image, to check that every decoder measured agrees.
Bytes GiflibIndices(const Bytes& bytes) {
  struct Source {
    const Bytes* bytes;
    std::size_t pos;
  } source{&bytes, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(
      &source,
      [](GifFileType* f, GifByteType* out, int n) {
        auto* s = static_cast<Source*>(f->UserData);
        const std::size_t take = std::min(std::size_t(n), s->bytes->size() - s->pos);
        std::memcpy(out, s->bytes->data() + s->pos, take);
        s->pos += take;
        return int(take);
      },
      &error);
  Bytes indices;
  if (gif != nullptr && DGifSlurp(gif) == GIF_OK && gif->ImageCount > 0) {
    const SavedImage& image = gif->SavedImages[0];
    indices.assign(image.RasterBits,
                   image.RasterBits + std::size_t(image.ImageDesc.Width) * image.ImageDesc.Height);
  }
  if (gif != nullptr) DGifCloseFile(gif, &error);
  return indices;
}

bool AgreesWithGiflib(const Bytes& bytes) {
  const auto decoded = stage::DecodePicture(bytes.data(), std::int32_t(bytes.size()));
  if (!decoded || !decoded->indexed()) return false;
  const stage::IndexedImage& image = *decoded->indexed();
  Bytes ours;
  for (int y = 0; y < image.height; ++y) {
    const auto* row = image.rows.data() + std::size_t(y) * std::size_t(image.stride);
    ours.insert(ours.end(), row, row + image.width);
  }
  return ours == GiflibIndices(bytes);
}

struct Picture {
  std::string name;
  Bytes bytes;
  std::int64_t pixels = 0;
};

void Ours(benchmark::State& state, const Picture* picture) {
  for (auto _ : state) {
    auto decoded = stage::DecodePicture(picture->bytes.data(), std::int32_t(picture->bytes.size()));
    if (!decoded) state.SkipWithError("refused");
    benchmark::DoNotOptimize(decoded);
  }
  state.SetItemsProcessed(state.iterations() * picture->pixels);
}

void Giflib(benchmark::State& state, const Picture* picture) {
  struct Source {
    const Bytes* bytes;
    std::size_t pos;
  };
  for (auto _ : state) {
    Source source{&picture->bytes, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(
        &source,
        [](GifFileType* f, GifByteType* out, int n) {
          auto* s = static_cast<Source*>(f->UserData);
          const std::size_t take = std::min(std::size_t(n), s->bytes->size() - s->pos);
          std::memcpy(out, s->bytes->data() + s->pos, take);
          s->pos += take;
          return int(take);
        },
        &error);
    if (gif == nullptr || DGifSlurp(gif) != GIF_OK) state.SkipWithError("giflib refused");
    benchmark::DoNotOptimize(gif->SavedImages);
    DGifCloseFile(gif, &error);
  }
  state.SetItemsProcessed(state.iterations() * picture->pixels);
}

void Stb(benchmark::State& state, const Picture* picture) {
  for (auto _ : state) {
    int w = 0, h = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(picture->bytes.data(), int(picture->bytes.size()), &w,
                                            &h, &channels, 0);
    if (pixels == nullptr) state.SkipWithError("stb refused");
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  state.SetItemsProcessed(state.iterations() * picture->pixels);
}

// Keeps each run's pixel rate so that main can print the comparison.
class RateReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> rates;  // "decoder/picture" -> pixels per second
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto it = run.counters.find("items_per_second");
      if (it != run.counters.end()) rates[run.benchmark_name()] = it->second;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  std::vector<Picture> pictures;
  for (const auto& [w, h] : std::vector<std::pair<int, int>>{{147, 90}, {400, 400}, {1010, 737}}) {
    pictures.push_back({"rose_" + std::to_string(w) + "x" + std::to_string(h), EncodeRose(w, h),
                        std::int64_t(w) * h});
  }
  for (int i = 1; i < argc; ++i) {
    Picture p{argv[i], ReadFile(argv[i]), 0};
    const auto decoded = stage::DecodePicture(p.bytes.data(), std::int32_t(p.bytes.size()));
    if (!decoded || !decoded->indexed()) {
      std::fprintf(stderr, "%s: not a GIF our decoder takes\n", argv[i]);
      return 1;
    }
    p.pixels = std::int64_t(decoded->indexed()->width) * decoded->indexed()->height;
    pictures.push_back(std::move(p));
  }
  for (const Picture& p : pictures) {
    if (!AgreesWithGiflib(p.bytes)) {
      std::fprintf(stderr, "%s: our indices differ from giflib's\n", p.name.c_str());
      return 1;
    }
    benchmark::RegisterBenchmark(("ours/" + p.name).c_str(), Ours, &p);
    benchmark::RegisterBenchmark(("giflib/" + p.name).c_str(), Giflib, &p);
    benchmark::RegisterBenchmark(("stb/" + p.name).c_str(), Stb, &p);
  }
  RateReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);

  std::printf("\n%-28s %10s %10s %10s %12s %10s\n", "picture (bytes)", "ours", "giflib", "stb",
              "ours/giflib", "ours/stb");
  std::printf("%-28s %10s %10s %10s\n", "", "Mpixel/s", "Mpixel/s", "Mpixel/s");
  for (const Picture& p : pictures) {
    const double ours = reporter.rates["ours/" + p.name] / 1e6;
    const double giflib = reporter.rates["giflib/" + p.name] / 1e6;
    const double stb = reporter.rates["stb/" + p.name] / 1e6;
    const std::string label = p.name + " (" + std::to_string(p.bytes.size()) + ")";
    std::printf("%-28s %10.1f %10.1f %10.1f %11.2fx %9.2fx\n", label.c_str(), ours, giflib, stb,
                giflib > 0 ? ours / giflib : 0.0, stb > 0 ? ours / stb : 0.0);
  }
  benchmark::Shutdown();
  return 0;
}
