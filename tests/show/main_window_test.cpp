// The main window as its definition builds it: the state right after loading, and how clones
// of two of its picture buttons are cut to their outlines.

#include <gtest/gtest.h>

#include "media/catalogue.h"
#include "show/show.h"
#include "stage/core/controls.h"
#include "stage/core/text.h"
#include "stage/draw/drawing.h"
#include "stage/picture/picture.h"
#include "tests/core/scenario.h"

namespace show {
namespace {

using ::testing::ExitedWithCode;

stage::HeadlessBackend* g_backend = nullptr;
constexpr std::uint32_t kBlue = 0x000000FF;  // as the screen holds it, 0x00RRGGBB

bool Hidden(stage::ControlRef ref) { return !stage::FindLayer(ref)->shown(); }

std::uint32_t ScreenAt(const stage::DesktopPicture& screen, int x, int y) {
  return screen.pixels[y * screen.width + x];
}

// A pixel of the picture that is not white and lies outside `width` x `height`.
std::pair<int, int> NonWhiteOutside(stage::ByteSetView picture, int width, int height) {
  const auto decoded = stage::DecodePicture(picture.data(), picture.length());
  SCENARIO_CHECK(decoded.has_value());
  const stage::ScreenBitmap bitmap = stage::MakeScreenBitmap(*decoded);
  for (int y = 0; y < bitmap.height; ++y) {
    for (int x = 0; x < bitmap.width; ++x) {
      if ((x >= width || y >= height) && bitmap.pixels[y * bitmap.width + x] != 0x00FFFFFF) {
        return {x, y};
      }
    }
  }
  return {-1, -1};
}

void CheckAfterLoading() {
  // Window hidden, canvas shown within it, label and buttons hidden, timers stopped.
  SCENARIO_CHECK(!stage::WindowLayer(kMainWindowId)->shown());
  SCENARIO_CHECK(stage::FindLayer(kCanvas)->shown());
  SCENARIO_CHECK(GetInt(kCanvas, stage::kVisible) == 0);
  for (auto ref : {kBanner, kFlower1, kFlower2, kFlower3, kFlower4, kFlower5, kBurstTimer,
                   kCountdownTimer}) {
    SCENARIO_CHECK(Hidden(ref) && GetInt(ref, stage::kVisible) == 0);
  }
  SCENARIO_CHECK(GetInt(kBurstTimer, stage::timer_property::kInterval) == 0);
  SCENARIO_CHECK(GetInt(kCountdownTimer, stage::timer_property::kInterval) == 0);
  SCENARIO_CHECK(stage::AsText(stage::GetProperty(kBanner, kCaption)) == stage::Utf8ToGbk("标签"));

  // Clones of 花4 and 花1 over a blue canvas.
  stage::MoveControl(kMainWindow, 0, 0, 1920, 1080);
  stage::MoveControl(kCanvas, 0, 0, 1920, 1080);
  SetInt(kCanvas, 9, 0x00FF0000);  // BackColor: blue
  stage::ControlRef rose4, rose1;
  SCENARIO_CHECK(stage::CloneControl(stage::Kind::PicBtn, kFlower4, stage::Kind::PicBtn, rose4));
  SCENARIO_CHECK(stage::CloneControl(stage::Kind::PicBtn, kFlower1, stage::Kind::PicBtn, rose1));
  stage::MoveControl(rose4, 100, 100);
  stage::MoveControl(rose1, 400, 100);
  SetInt(rose4, stage::kVisible, 1);
  SetInt(rose1, stage::kVisible, 1);
  SetInt(kMainWindow, stage::kVisible, 1);
  stage::ProcessEvents();  // paint
  stage::Delay(0);         // present
  const stage::DesktopPicture screen = g_backend->ScreenImage();

  // 花4: 144 x 96 showing a 147 x 90 rose on white. No white box, the 6 rows below the picture
  // are the canvas, the 3 columns past the control are cut away.
  SCENARIO_CHECK(ScreenAt(screen, 100, 100) == kBlue);  // the white ground's corner
  for (int x = 100; x < 244; x += 7) {
    for (int y = 190; y < 196; ++y) SCENARIO_CHECK(ScreenAt(screen, x, y) == kBlue);
  }
  int rose_pixels = 0;
  for (int y = 100; y < 190; ++y) {
    for (int x = 100; x < 244; ++x) rose_pixels += ScreenAt(screen, x, y) != kBlue;
  }
  SCENARIO_CHECK(rose_pixels > 1000);
  const auto [x4, y4] = NonWhiteOutside(media::RosePic01(), 144, 96);
  if (x4 >= 0) SCENARIO_CHECK(ScreenAt(screen, 100 + x4, 100 + y4) == kBlue);

  // 花1: 112 x 128 showing a 125 x 135 rose: what lies right of 112 or below 128 is not seen.
  const auto [x1, y1] = NonWhiteOutside(media::RosePic04(), 112, 128);
  SCENARIO_CHECK(x1 >= 0);
  SCENARIO_CHECK(ScreenAt(screen, 400 + x1, 100 + y1) == kBlue);
  std::fprintf(stderr, "main window ok\n");
  stage::EndProgram(0);
}

[[noreturn]] void RunWithCheckingHandler() {
  auto definition = MainWindowDefinition();
  definition.records[0].events = {{stage::kEventCreated, CheckAfterLoading}};
  static std::vector<stage::WindowDefinition> stored{definition};
  g_backend = new stage::HeadlessBackend();
  stage::BootStage(*g_backend, stored);
  stage::InitDrawing(*g_backend);
  stage::RunProgram(ProgramStart);
}

TEST(MainWindow, StateAfterLoadingAndClippedClones) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RunWithCheckingHandler(), ExitedWithCode(0), "main window ok");
}

}  // namespace
}  // namespace show
