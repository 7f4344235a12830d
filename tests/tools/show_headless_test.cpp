#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "tests/tools/run.h"

namespace {

using tools_testing::CountLines;
using tools_testing::ReadFile;
using tools_testing::RunCommand;

std::string TempPath(const std::string& name) {
  return (std::filesystem::temp_directory_path() /
          (name + "." + std::to_string(::getpid())))
      .string();
}

TEST(ShowHeadless, EscEndsTheShowWithExitCodeZeroAndOneExitRoutine) {
  const std::string trace = TempPath("trace");
  const auto result = RunCommand(std::string(SHOW_HEADLESS) + " --esc-at 70000 --trace " + trace);
  EXPECT_EQ(result.status, 0);
  const std::string lines = ReadFile(trace);
  EXPECT_EQ(CountLines(lines, "ExitRoutine"), 1) << lines;
  EXPECT_EQ(CountLines(lines, "Exit 0"), 1) << lines;
  EXPECT_NE(lines.find("70000 Close Esc"), std::string::npos) << lines;
  std::filesystem::remove(trace);
}

TEST(ShowHeadless, BadArgumentsExitTwo) {
  for (const char* args : {"--size 0x0", "--size 12", "--esc-at -4", "--bogus", "--trace"}) {
    EXPECT_EQ(RunCommand(std::string(SHOW_HEADLESS) + " " + args + " 2>/dev/null").status, 2) << args;
  }
}

}  // namespace

namespace {

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
};

Image ReadPpm(const std::string& path) {
  Image image;
  const std::string data = ReadFile(path);
  int maxval = 0, consumed = 0;
  if (std::sscanf(data.c_str(), "P6 %d %d %d%n", &image.width, &image.height, &maxval,
                  &consumed) != 3) {
    return {};
  }
  image.rgb.assign(data.begin() + consumed + 1, data.end());
  return image;
}

// A 24-bit BMP of a smooth picture no part of the show draws.
void WriteDesktopBmp(const std::string& path, int w, int h) {
  const int row = (3 * w + 3) / 4 * 4;
  std::string bmp(54 + row * h, '\0');
  auto put32 = [&bmp](int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bmp[at + i] = static_cast<char>(v >> (8 * i));
  };
  bmp[0] = 'B';
  bmp[1] = 'M';
  put32(2, bmp.size());
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  bmp[26] = 1;
  bmp[28] = 24;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      char* p = &bmp[54 + (h - 1 - y) * row + 3 * x];
      p[0] = static_cast<char>(40 + x % 7);  // blue
      p[1] = static_cast<char>(x * 200 / w);
      p[2] = static_cast<char>(y * 200 / h);
    }
  }
  std::ofstream(path, std::ios::binary) << bmp;
}

// The first snapshot is taken before the window shows: at 5 s the screen is the desktop with
// nothing but the first heart's roses on it.
TEST(ShowHeadless, FirstSnapshotIsTheDesktopWithoutTheWindow) {
  const std::string desktop = TempPath("desktop.bmp"), still = TempPath("still.ppm"),
                    trace = TempPath("trace5");
  const int w = 800, h = 600;
  WriteDesktopBmp(desktop, w, h);
  const auto result = RunCommand(std::string(SHOW_HEADLESS) + " --size 800x600 --desktop " +
                                 desktop + " --still-at 5000:" + still + " --esc-at 1 --trace " +
                                 trace);
  ASSERT_EQ(result.status, 0);
  const Image screen = ReadPpm(still);
  ASSERT_EQ(screen.width, w);
  ASSERT_EQ(screen.height, h);
  // Where the roses drawn by 5 s stand (147 x 90 each).
  std::vector<bool> covered(w * h, false);
  std::istringstream lines(ReadFile(trace));
  for (std::string line; std::getline(lines, line);) {
    long long ms;
    int x, y;
    char name[32];
    if (std::sscanf(line.c_str(), "%lld DrawPicture %31s %d %d", &ms, name, &x, &y) == 4 &&
        ms < 5000) {
      for (int py = std::max(0, y); py < std::min(h, y + 90); ++py) {
        for (int px = std::max(0, x); px < std::min(w, x + 147); ++px) covered[py * w + px] = true;
      }
    }
  }
  int differing = 0, uncovered = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      if (covered[y * w + x]) continue;
      ++uncovered;
      const unsigned char* p = &screen.rgb[3 * (y * w + x)];
      differing += p[0] != y * 200 / h || p[1] != x * 200 / w || p[2] != 40 + x % 7;
    }
  }
  EXPECT_GT(uncovered, w * h / 2);
  EXPECT_EQ(differing, 0);
  for (const auto& path : {desktop, still, trace}) std::filesystem::remove(path);
}

}  // namespace
