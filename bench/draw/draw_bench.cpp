// Drawing on a full-screen canvas of the headless stage: the show's transparent draws at
// natural size, the greeting's stretched draws and clearing the background, each beside the
// memcpy of as many bytes (and the transparent draw beside SDL2's colour-keyed blit) in the
// same run. The ratios are printed after the table.

#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "stage/core/stage.h"
#include "stage/draw/canvas.h"
#include "stage/draw/drawing.h"
#include "stage/platform/headless/headless.h"
#include "tests/draw/draw_fixtures.h"

namespace {

constexpr std::uint32_t kWindow = 0x52010001, kCanvasId = 0x16000020;
constexpr stage::ControlRef kCanvas{kWindow, kCanvasId};
constexpr int kScreenW = 1920, kScreenH = 1080;

int g_argc = 0;
char** g_argv = nullptr;

std::vector<std::uint32_t> Texture(int w, int h) {
  // The rose on its white ground, with a varied texture inside so no draw is trivially flat.
  std::vector<std::uint32_t> px = draw_test::RosePixels(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      std::uint32_t& p = px[std::size_t(y) * w + x];
      if (p != 0xFFFFFF)
        p = (p & 0xFF0000) | std::uint32_t((x * 7 + y * 3) & 0xFF) << 8 | (y & 0x7F);
    }
  }
  return px;
}

stage::PictureValue Load(const stage::ByteSet& bytes) {
  return stage::LoadPicture(bytes.view());
}

void TransparentNatural(benchmark::State& state) {
  const stage::PictureValue rose = Load(draw_test::MakeGif(147, 131, Texture(147, 131)));
  int i = 0;
  for (auto _ : state) {
    stage::DrawPicture(kCanvas, rose, (i * 37) % 1700, (i * 23) % 900, stage::kOmitted,
                       stage::kOmitted, stage::kTransparentWhite);
    ++i;
  }
  state.SetItemsProcessed(state.iterations() * 147 * 131);
  state.SetBytesProcessed(state.iterations() * 147 * 131 * 4);
}

void MemcpyOf(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  std::vector<std::uint8_t> from(bytes, 1), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * std::int64_t(bytes));
}

void SdlColorKeyBlit(benchmark::State& state) {
  const std::vector<std::uint32_t> px = Texture(147, 131);
  SDL_Surface* src = SDL_CreateRGBSurfaceWithFormat(0, 147, 131, 32, SDL_PIXELFORMAT_RGB888);
  SDL_Surface* dst =
      SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 32, SDL_PIXELFORMAT_RGB888);
  for (int y = 0; y < 131; ++y) {
    std::memcpy(static_cast<std::uint8_t*>(src->pixels) + y * src->pitch, px.data() + y * 147,
                147 * 4);
  }
  SDL_SetColorKey(src, SDL_TRUE, SDL_MapRGB(src->format, 255, 255, 255));
  int i = 0;
  for (auto _ : state) {
    SDL_Rect to{(i * 37) % 1700, (i * 23) % 900, 147, 131};
    SDL_BlitSurface(src, nullptr, dst, &to);
    ++i;
  }
  state.SetItemsProcessed(state.iterations() * 147 * 131);
  SDL_FreeSurface(src);
  SDL_FreeSurface(dst);
}

void Stretched(benchmark::State& state) {
  const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
  const int to = static_cast<int>(state.range(2));
  const stage::PictureValue picture = Load(draw_test::MakeBmp(w, h, Texture(w, h)));
  for (auto _ : state) {
    stage::DrawPicture(kCanvas, picture, 100, 100, to, to, stage::kTransparentWhite);
  }
  state.SetItemsProcessed(state.iterations() * to * to);
}

void ClearFullBackground(benchmark::State& state) {
  for (auto _ : state) stage::ClearCanvas(kCanvas);
  state.SetBytesProcessed(state.iterations() * kScreenW * kScreenH * 4);
}

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    // With repetitions, the medians stand for the benchmarks.
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median") continue;
      times_[run.run_name.str()] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Ratio(const std::string& what, const std::string& a, const std::string& b,
             const char* note) {
    if (!times_.count(a) || !times_.count(b)) return;
    std::printf("%-58s %6.2f  %s\n", what.c_str(), times_[a] / times_[b], note);
  }

 private:
  std::map<std::string, double> times_;
};

void RunBenchmarks() {
  const std::int64_t rose_bytes = 147 * 131 * 4, frame = std::int64_t(kScreenW) * kScreenH * 4;
  benchmark::RegisterBenchmark("TransparentDrawPicture/147x131", TransparentNatural);
  benchmark::RegisterBenchmark("SDL_BlitSurface colour key/147x131", SdlColorKeyBlit);
  benchmark::RegisterBenchmark("memcpy", MemcpyOf)
      ->Arg(rose_bytes)
      ->Arg(400 * 400 * 4)
      ->Arg(250 * 250 * 4)
      ->Arg(frame);
  benchmark::RegisterBenchmark("StretchedDrawPicture", Stretched)
      ->Args({400, 400, 250})
      ->Args({1010, 737, 400});
  benchmark::RegisterBenchmark("ClearCanvas/1920x1080", ClearFullBackground);
  benchmark::Initialize(&g_argc, g_argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nTime ratios in this run (lower is faster):\n");
  const std::string m = "memcpy/";
  reporter.Ratio("transparent 147x131 / memcpy of its bytes", "TransparentDrawPicture/147x131",
                 m + std::to_string(rose_bytes), "");
  reporter.Ratio("transparent 147x131 / SDL colour-keyed blit", "TransparentDrawPicture/147x131",
                 "SDL_BlitSurface colour key/147x131", "target <= 2 (at least half SDL's speed)");
  reporter.Ratio("stretch 400x400 -> 250x250 / memcpy of 250x250 pixels",
                 "StretchedDrawPicture/400/400/250", m + std::to_string(250 * 250 * 4), "");
  reporter.Ratio("stretch 1010x737 -> 400x400 / memcpy of 400x400 pixels",
                 "StretchedDrawPicture/1010/737/400", m + std::to_string(400 * 400 * 4), "");
  reporter.Ratio("ClearCanvas 1920x1080 / memcpy of the frame", "ClearCanvas/1920x1080",
                 m + std::to_string(frame), "target <= 2");
  std::fflush(stdout);
}

void OnCreated() {
  stage::MoveControl({kWindow, stage::kWindowItself}, 0, 0, kScreenW, kScreenH);
  stage::MoveControl(kCanvas, 0, 0, kScreenW, kScreenH);
  stage::SetProperty(kCanvas, 10,
                     draw_test::MakeBmp(kScreenW, kScreenH,
                                        std::vector<std::uint32_t>(kScreenW * kScreenH, 0x406080)));
  stage::SetProperty({kWindow, stage::kWindowItself}, stage::kVisible, 1);
  stage::ProcessEvents();
  RunBenchmarks();
  stage::EndProgram(0);
}

int Start() {
  stage::InitStage();
  stage::LoadWindow(kWindow);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  g_argc = argc;
  g_argv = argv;
  stage::HeadlessOptions options;
  options.width = kScreenW;
  options.height = kScreenH;
  options.simulated_time = false;
  options.audio_device = false;
  static stage::HeadlessBackend backend(options);
  stage::WindowDefinition window;
  window.window_id = kWindow;
  stage::ControlDefinition self;
  self.kind = stage::Kind::Window;
  self.id = stage::kWindowItself;
  self.width = 100;
  self.height = 100;
  self.events = {{stage::kEventCreated, OnCreated}};
  stage::ControlDefinition canvas;
  canvas.kind = stage::Kind::DrawPanel;
  canvas.id = kCanvasId;
  canvas.width = 100;
  canvas.height = 100;
  canvas.flags = stage::kFlagVisible;
  canvas.properties = {{11, 1}};
  window.records = {self, canvas};
  static std::vector<stage::WindowDefinition> definitions{window};
  stage::BootStage(backend, definitions);
  stage::InitDrawing(backend);
  stage::RunProgram(Start);
}
