// The whole show on the headless backend in simulated time, checked on its call trace and on
// the places of the falling flowers.

#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "show/show.h"
#include "tests/core/scenario.h"
#include "tests/show/show_run.h"

namespace show::testing {
namespace {

using ::testing::ExitedWithCode;

class ShowTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

std::string Xy(const TraceLine& line) { return line.args.at(1) + "," + line.args.at(2); }

// The copies of the first heart, in drawing order.
std::vector<std::string> FirstHeart(const ShowRun& run) {
  std::vector<std::string> copies;
  for (const TraceLine* line : run.Lines("DrawPicture", "RosePic01")) {
    if (copies.size() == 31) break;
    copies.push_back(Xy(*line));
  }
  return copies;
}

// Ends the show as soon as the first heart is drawn.
ShowOptions FirstHeartOnly(std::int32_t w, std::int32_t h) {
  ShowOptions options;
  options.backend.width = w;
  options.backend.height = h;
  return options;
}

TEST_F(ShowTest, FirstHeartAt1366x768MatchesTheWorkedExample) {
  EXPECT_EXIT(RunShow(FirstHeartOnly(1366, 768),
                      [](const ShowRun& run) {
                        const std::vector<std::string> expected{
                            "609,256", "554,191", "664,191", "499,126", "719,126", "444,61",
                            "774,61",  "389,0",   "829,0",   "296,0",   "922,0",   "203,0",
                            "1015,0",  "148,65",  "1070,65", "93,130",  "1125,130", "38,195",
                            "1180,195", "131,260", "1087,260", "224,325", "994,325", "317,390",
                            "901,390", "410,455", "808,455", "503,520", "715,520", "596,585",
                            "622,585"};
                        SCENARIO_CHECK(FirstHeart(run) == expected);
                        std::fprintf(stderr, "heart ok\n");
                      }),
              ExitedWithCode(0), "heart ok");
}

TEST_F(ShowTest, NarrowAndShortScreensClipAndClamp) {
  EXPECT_EXIT(RunShow(FirstHeartOnly(1024, 768),
                      [](const ShowRun& run) {
                        const auto heart = FirstHeart(run);
                        SCENARIO_CHECK(heart.size() == 31);
                        // Lobes on the left, then the first copy of the lower point.
                        SCENARIO_CHECK(heart[13] == "-23,65" && heart[15] == "-78,130" &&
                                       heart[17] == "-133,195" && heart[19] == "-40,260");
                        std::fprintf(stderr, "narrow ok\n");
                      }),
              ExitedWithCode(0), "narrow ok");
  EXPECT_EXIT(RunShow(FirstHeartOnly(1366, 150),
                      [](const ShowRun& run) {
                        const auto heart = FirstHeart(run);
                        SCENARIO_CHECK(heart[0] == "609,50");
                        for (int i = 1; i <= 12; ++i) {  // rise and crest rows
                          SCENARIO_CHECK(heart[i].ends_with(",0"));
                        }
                        std::fprintf(stderr, "short ok\n");
                      }),
              ExitedWithCode(0), "short ok");
}

void CheckFullShow(const ShowRun& run) {
  // The parade: 1 + 75 hearts, the canvas cleared before each of the 75 only.
  std::size_t greeting = 0;
  while (greeting < run.trace.size() &&
         !(run.trace[greeting].op == "LoadPicture" && run.trace[greeting].args[0] == "GreetingPic1")) {
    ++greeting;
  }
  SCENARIO_CHECK(greeting < run.trace.size());
  int loads = 0, clears = 0, clears_before_first_draw = 0;
  bool drawn = false;
  std::string last_op;
  for (std::size_t i = 0; i < greeting; ++i) {
    const TraceLine& line = run.trace[i];
    if (line.op == "DrawPicture") drawn = true;
    if (line.op == "LoadPicture") ++loads;
    if (line.op == "ClearCanvas") {
      ++clears;
      if (!drawn) ++clears_before_first_draw;
    }
    if (line.op == "ClearCanvas" || line.op == "DrawPicture") last_op = line.op;
  }
  SCENARIO_CHECK(loads == 76);
  SCENARIO_CHECK(clears == 75);
  SCENARIO_CHECK(clears_before_first_draw == 0);
  SCENARIO_CHECK(last_op == "DrawPicture");  // no clear before the greeting

  // The greeting, then the burst timer armed.
  std::vector<std::string> greeting_draws;
  for (const char* name : {"GreetingPic1", "GreetingPic2", "GreetingPic3", "GreetingPic4", "CakePic"}) {
    const auto draws = run.Lines("DrawPicture", name);
    SCENARIO_CHECK(draws.size() == 1);
    greeting_draws.push_back(Xy(*draws[0]) + " " + draws[0]->args[3] + "x" + draws[0]->args[4]);
  }
  SCENARIO_CHECK((greeting_draws == std::vector<std::string>{
                      "288,87 250x250", "1280,87 250x250", "288,720 250x250",
                      "1280,720 250x250", "640,270 400x400"}));
  const auto armed = run.Lines("SetProperty", "时钟2");
  SCENARIO_CHECK(armed.size() == 1 && armed[0]->args[2] == "1000");
  SCENARIO_CHECK(armed[0]->ms >= 58'000 && armed[0]->ms <= 61'000);

  // The burst runs on the 30th tick: 990 stamps inside their bounds in 55 s.
  const auto ticks = run.Lines("Tick", "时钟2");
  SCENARIO_CHECK(ticks.size() >= 31);
  const std::int64_t burst_start = ticks[29]->ms;
  const auto countdown_armed = run.Lines("SetProperty", "时钟1");
  SCENARIO_CHECK(countdown_armed.size() == 1 && countdown_armed[0]->args[2] == "1000");
  const std::int64_t burst_end = countdown_armed[0]->ms;
  SCENARIO_CHECK(burst_end - burst_start == 55'000);
  int stamps = 0;
  for (const TraceLine& line : run.trace) {
    if (line.op != "DrawPicture" || line.ms < burst_start || line.ms >= burst_end) continue;
    ++stamps;
    const int x = std::stoi(line.args[1]), y = std::stoi(line.args[2]);
    SCENARIO_CHECK(x >= 0 && x <= 1920 - 110 && y >= 0 && y <= 1080 - 110);
  }
  SCENARIO_CHECK(stamps == 990);
  SCENARIO_CHECK(ticks[30]->ms == burst_end);  // one merged tick once the burst returns

  // The countdown tick: texts, a row of roses, the banner, the end.
  const auto texts = run.Lines("WriteText");
  SCENARIO_CHECK(texts.size() == 5);
  SCENARIO_CHECK(texts[0]->text.ends_with(" WriteText 10 100 这里自己写"));
  for (int i = 1; i <= 4; ++i) {
    SCENARIO_CHECK(texts[i]->text.ends_with(" WriteText 100 " + std::to_string(100 + 100 * i) +
                                            " 、、、、、"));
  }
  const auto row = run.Lines("DrawPicture", "RosePic06");
  std::vector<std::string> row_places;
  for (const TraceLine* line : row) {
    if (line->ms >= burst_end) row_places.push_back(Xy(*line));
  }
  std::vector<std::string> expected_row;
  for (int i = 0; i < 10; ++i) expected_row.push_back(std::to_string(143 * i) + ",880");
  SCENARIO_CHECK(row_places == expected_row);
  const auto caption = run.Lines("SetProperty", "标签1");
  SCENARIO_CHECK(!caption.empty() && caption[0]->text.ends_with(" 8 距离程序运行结束还有0秒！"));
  const auto end = run.Lines("EndProgram");
  SCENARIO_CHECK(end.size() == 1 && end[0]->args[0] == "0");
  SCENARIO_CHECK(end[0]->ms >= 144'000 && end[0]->ms <= 147'000);
  SCENARIO_CHECK(run.Lines("ExitRoutine").size() == 1);

  // Sixteen clones with identifiers from 0x160104BF at the computed columns.
  const auto clones = run.Lines("CloneControl");
  SCENARIO_CHECK(clones.size() == 16);
  for (int i = 0; i < 16; ++i) {
    SCENARIO_CHECK(clones[i]->args[1] == std::to_string(0x160104BF + i));
  }
  SCENARIO_CHECK(!run.samples.empty());
  const Sample& first = run.samples.front();
  SCENARIO_CHECK(first.flowers.size() == 16);
  // Made pass by pass: clone i of families 1 to 4.
  const int columns[4][4] = {{243, 488, 735, 984}, {251, 504, 759, 1016},
                             {251, 504, 759, 1016}, {275, 552, 831, 1112}};
  for (int i = 0; i < 4; ++i) {
    for (int k = 0; k < 4; ++k) SCENARIO_CHECK(first.lefts[4 * i + k] == columns[k][i]);
  }

  // The flowers fall and wrap by family; they stand still during the burst and go on after.
  bool wrapped[16] = {};
  for (std::size_t s = 1; s < run.samples.size(); ++s) {
    const Sample& before = run.samples[s - 1];
    const Sample& now = run.samples[s];
    const bool in_burst = before.ms > burst_start + 100 && now.ms < burst_end;
    for (int f = 0; f < 16; ++f) {
      const int family = f % 4 + 1, column = f / 4 + 1;
      if (in_burst) SCENARIO_CHECK(now.tops[f] == before.tops[f]);
      if (now.tops[f] < before.tops[f]) {
        wrapped[f] = true;
        SCENARIO_CHECK(before.tops[f] + 10 * column * 6 >= 1080);
        SCENARIO_CHECK(now.tops[f] >= -128 * family && now.tops[f] < -128 * family + 10 * column * 6);
      }
    }
  }
  // All but the slowest flower (family 4 on column 1, from 2048 above the top at 100 pixels a
  // second) reach the bottom in the 31 seconds the rain runs.
  for (int f = 0; f < 16; ++f) SCENARIO_CHECK(wrapped[f] || f == 3);
  const Sample* after = nullptr;
  const Sample* at_end_of_burst = nullptr;
  for (const Sample& s : run.samples) {
    if (s.ms <= burst_end) at_end_of_burst = &s;
    if (s.ms > burst_end + 500 && after == nullptr) after = &s;
  }
  SCENARIO_CHECK(after != nullptr && at_end_of_burst != nullptr);
  SCENARIO_CHECK(after->tops != at_end_of_burst->tops);
  std::fprintf(stderr, "full show ok\n");
}

TEST_F(ShowTest, FullShowAt1920x1080) {
  const auto wall_start = std::chrono::steady_clock::now();
  ShowOptions options;
  options.sample_ms = 500;
  EXPECT_EXIT(RunShow(options, CheckFullShow), ExitedWithCode(0), "full show ok");
  // Simulated: less real time than the 145 seconds the show lasts, even in a sanitizer build on
  // a loaded machine. How fast it runs is not this test's business.
  EXPECT_LT(std::chrono::steady_clock::now() - wall_start, std::chrono::seconds(120));
}

// Esc during the parade waits for the created handler; during the rain it ends at once.
TEST_F(ShowTest, EscDuringParadeAndRain) {
  ShowOptions parade;
  parade.esc_at = {20'000};
  EXPECT_EXIT(RunShow(parade,
                      [](const ShowRun& run) {
                        const auto loop = run.Lines("RunEventLoop");
                        const auto close = run.Lines("Close");
                        SCENARIO_CHECK(loop.size() == 1 && close.size() == 1);
                        SCENARIO_CHECK(close[0]->ms == loop[0]->ms && close[0]->ms > 59'000);
                        SCENARIO_CHECK(run.Lines("ExitRoutine").size() == 1);
                        SCENARIO_CHECK(run.Lines("Tick").empty());
                        std::fprintf(stderr, "parade esc ok\n");
                      }),
              ExitedWithCode(0), "parade esc ok");
  ShowOptions rain;
  rain.esc_at = {70'000};
  EXPECT_EXIT(RunShow(rain,
                      [](const ShowRun& run) {
                        const auto close = run.Lines("Close");
                        SCENARIO_CHECK(close.size() == 1 && close[0]->ms == 70'000);
                        SCENARIO_CHECK(run.Lines("ExitRoutine").size() == 1);
                        SCENARIO_CHECK(run.trace.back().text == "70000 Exit 0");
                        std::fprintf(stderr, "rain esc ok\n");
                      }),
              ExitedWithCode(0), "rain esc ok");
}

}  // namespace
}  // namespace show::testing
