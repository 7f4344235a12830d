// Runs the show on the headless backend in simulated time.
//
//   show-headless [--size WxH] [--esc-at MS]... [--trace FILE] [--still-at MS:FILE.ppm]...
//                 [--desktop FILE]
//
// --still-at writes the screen as presented at that moment (the desktop with the visible
// window over it) as a binary PPM; --desktop puts a picture (any format the stage decodes) on
// the desktop behind the window, at its top-left corner, instead of the generated one.
//
// Exits with the program's own exit code; 2 for bad usage.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "media/catalogue.h"
#include "show/show.h"
#include "stage/core/stage.h"
#include "stage/draw/drawing.h"
#include "stage/picture/picture.h"
#include "stage/platform/headless/headless.h"

namespace {

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr, "show-headless: %s\n", problem);
  std::fprintf(stderr,
               "usage: show-headless [--size WxH] [--esc-at MS]... [--trace FILE]\n"
               "                     [--still-at MS:FILE.ppm]... [--desktop FILE]\n");
  std::exit(2);
}

bool ParseInt(std::string_view text, long long& value) {
  if (text.empty()) return false;
  std::string s(text);
  char* end = nullptr;
  errno = 0;
  value = std::strtoll(s.c_str(), &end, 10);
  return errno == 0 && end != nullptr && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  stage::HeadlessOptions options;
  std::vector<long long> esc_times;
  const char* trace_path = nullptr;
  std::vector<std::pair<long long, std::string>> stills;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) Usage(("missing value after " + std::string(arg)).c_str());
      return argv[++i];
    };
    if (arg == "--size") {
      std::string_view v = value();
      const auto x = v.find('x');
      long long w = 0, h = 0;
      if (x == std::string_view::npos || !ParseInt(v.substr(0, x), w) ||
          !ParseInt(v.substr(x + 1), h) || w < 1 || h < 1 || w > 16384 || h > 16384) {
        Usage("--size takes WxH, each from 1 to 16384");
      }
      options.width = static_cast<int>(w);
      options.height = static_cast<int>(h);
    } else if (arg == "--esc-at") {
      long long ms = 0;
      if (!ParseInt(value(), ms) || ms < 0) Usage("--esc-at takes milliseconds (0 or more)");
      esc_times.push_back(ms);
    } else if (arg == "--trace") {
      trace_path = value().data();
    } else if (arg == "--still-at") {
      const std::string_view v = value();
      const auto colon = v.find(':');
      long long ms = 0;
      if (colon == std::string_view::npos || !ParseInt(v.substr(0, colon), ms) || ms < 0 ||
          colon + 1 == v.size()) {
        Usage("--still-at takes MS:FILE.ppm (milliseconds 0 or more)");
      }
      stills.emplace_back(ms, std::string(v.substr(colon + 1)));
    } else if (arg == "--desktop") {
      const std::string path(value());
      auto picture = stage::DecodePictureFile(path);
      if (!picture) Usage(("cannot decode the desktop picture " + path).c_str());
      stage::ScreenBitmap bitmap = stage::MakeScreenBitmap(*picture);
      options.desktop =
          stage::DesktopPicture{bitmap.width, bitmap.height, std::move(bitmap.pixels)};
    } else if (arg == "--help" || arg == "-h") {
      Usage("runs the show headlessly in simulated time");
    } else {
      Usage(("unknown argument " + std::string(arg)).c_str());
    }
  }

  stage::HeadlessBackend backend(options);
  if (trace_path != nullptr) {
    FILE* trace = std::fopen(trace_path, "w");
    if (trace == nullptr) {
      std::fprintf(stderr, "show-headless: cannot write %s: %s\n", trace_path,
                   std::strerror(errno));
      return 2;
    }
    stage::SetTraceSink([trace](std::string_view line) {
      std::fwrite(line.data(), 1, line.size(), trace);
      std::fputc('\n', trace);
    });
    backend.AtExit([trace] { std::fclose(trace); });
  }
  stage::BootStage(backend, show::WindowDefinitions());
  stage::InitDrawing(backend);
  stage::SetMediaNamer([](stage::ByteSetView bytes) { return media::NameOf(bytes); });
  // The runner's thread counts on the clock from here on, so scripted keys wait for it.
  backend.clock().EnterThread("user interface");
  for (long long ms : esc_times) backend.ScheduleKey(ms, stage::KeyPress{stage::kKeyEscape});
  for (auto& [ms, path] : stills) backend.ScheduleStill(ms, path);
  stage::RunProgram(show::ProgramStart);
}
