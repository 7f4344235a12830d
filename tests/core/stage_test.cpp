// The stage core on the headless backend: each scenario runs in a process of its own.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "stage/core/controls.h"
#include "stage/core/stage.h"
#include "stage/core/text.h"
#include "tests/core/scenario.h"

namespace stage::testing {
namespace {

using ::testing::ExitedWithCode;

class StageTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

constexpr std::uint32_t kTimer = 0x16000010, kCanvas = 0x16000020, kLabel = 0x16000030;
constexpr std::uint32_t kButton1 = 0x16000041;  // five buttons: kButton1 .. kButton1 + 4
constexpr std::uint32_t kTimer2 = 0x16000050;

// --- A long handler, merged ticks and waiting workers ------------------------------------------

std::atomic<int> g_ticks{0};
std::vector<std::int64_t> g_tick_times;

void FallWorker(std::int32_t n) {
  for (;;) {
    const ControlRef button = Ref(kButton1 + n - 1);
    SetProperty(button, kTop, AsInt(GetProperty(button, kTop)) + 1);
    Delay(100);
  }
}

std::array<std::int32_t, 5> WorkerTops() {
  std::array<std::int32_t, 5> tops{};
  for (int n = 0; n < 5; ++n) tops[n] = AsInt(GetProperty(Ref(kButton1 + n), kTop));
  return tops;
}

std::array<std::int32_t, 5> g_tops_at_30;

void OnLongTick() {
  const int tick = ++g_ticks;
  g_tick_times.push_back(NowMs());
  if (tick == 30) {
    g_tops_at_30 = WorkerTops();
    Delay(55'000);
    SCENARIO_CHECK(WorkerTops() == g_tops_at_30);  // nobody moved while the handler slept
  }
  if (tick == 33) {
    SCENARIO_CHECK(g_tick_times[29] == 30'000);
    SCENARIO_CHECK(g_tick_times[30] == 85'000);  // one merged tick as soon as the handler ends
    SCENARIO_CHECK(g_tick_times[31] == 86'000);  // then on the timer's own phase again
    const auto tops = WorkerTops();
    for (int n = 0; n < 5; ++n) SCENARIO_CHECK(tops[n] > g_tops_at_30[n] + 5);
    EndProgram(0);
  }
}

void StartLongTickScene() {
  SetProperty(Ref(kTimer), timer_property::kInterval, 1000);
  for (int n = 1; n <= 5; ++n) SCENARIO_CHECK(StartThread(FallWorker, n));
}

TEST_F(StageTest, LongHandlerMergesTicksAndHoldsWorkers) {
  const auto wall_start = std::chrono::steady_clock::now();
  EXPECT_EXIT(
      {
        std::vector<ControlDefinition> controls{
            Control(Kind::Timer, kTimer, "timer", {0, 0, 10, 10}, 0, {},
                    {{kEventTick, OnLongTick}})};
        for (int n = 0; n < 5; ++n) {
          controls.push_back(Control(Kind::PicBtn, kButton1 + n, "button",
                                     {100 * n, 0, 100 * n + 50, 50}, kFlagVisible));
        }
        RunScenario({TestWindow(controls, StartLongTickScene)});
      },
      ExitedWithCode(0), "");
  // Simulated: far less real time than the 55 seconds the handler sleeps, even in a sanitizer
  // build on a loaded machine.
  EXPECT_LT(std::chrono::steady_clock::now() - wall_start, std::chrono::seconds(30));
}

// --- Loading -----------------------------------------------------------------------------------

std::vector<ControlDefinition> EveryKind() {
  return {
      Control(Kind::Timer, kTimer2, "t2", {480, 48, 506, 74}, 0, {}),
      Control(Kind::Label, kLabel, "label", {392, 80, 472, 104}),
      Control(Kind::PicBtn, kButton1, "b1", {88, 224, 232, 352}),
      Control(Kind::PicBtn, kButton1 + 1, "b2", {344, 240, 488, 336}),
      Control(Kind::Timer, kTimer, "t1", {560, 24, 600, 56}, 0, {{8, 0}}),
      Control(Kind::DrawPanel, kCanvas, "canvas", {32, 24, 120, 96}, kFlagVisible),
  };
}

void CheckStateAfterLoading() {
  Layer* window = WindowLayer(kTestWindow);
  SCENARIO_CHECK(window != nullptr && !window->shown());
  SCENARIO_CHECK(FindLayer(Ref(kCanvas))->shown());
  SCENARIO_CHECK(AsInt(GetProperty(Ref(kCanvas), kVisible)) == 0);  // its window is hidden
  for (std::uint32_t id : {kLabel, kButton1, kButton1 + 1, kTimer, kTimer2}) {
    SCENARIO_CHECK(!FindLayer(Ref(id))->shown());
  }
  SCENARIO_CHECK(AsInt(GetProperty(Ref(kTimer), timer_property::kInterval)) == 0);
  SCENARIO_CHECK(AsInt(GetProperty(Ref(kTimer2), timer_property::kInterval)) == 0);
  // Z-order: the definition's order, first on top.
  std::vector<std::uint32_t> order;
  for (Layer* layer : window->children()) {
    for (ControlRecord* r : WindowRecords(kTestWindow)) {
      if (r->layer.get() == layer) order.push_back(r->id);
    }
  }
  SCENARIO_CHECK((order == std::vector<std::uint32_t>{kTimer2, kLabel, kButton1, kButton1 + 1,
                                                      kTimer, kCanvas}));
  // Showing the window inside the handler shows it at once, where the handler put it.
  MoveControl(Ref(kWindowItself), 0, 0, 800, 600);
  SetProperty(Ref(kWindowItself), kVisible, 1);
  SCENARIO_CHECK(window->shown() && AsInt(GetProperty(Ref(kCanvas), kVisible)) == 1);
  SCENARIO_CHECK(window->rect() == (Rect{0, 0, 800, 600}));
  EndProgram(0);
}

TEST_F(StageTest, LoadingLeavesWindowHiddenAndCanvasShownInside) {
  EXPECT_EXIT(RunScenario({TestWindow(EveryKind(), CheckStateAfterLoading)}), ExitedWithCode(0),
              "");
}

void NothingInHandler() {}
TEST_F(StageTest, EndOfLoadingShowsWindowFullScreen) {
  EXPECT_EXIT(
      {
        HeadlessBackend* backend = new HeadlessBackend(HeadlessOptions{.width = 1366, .height = 768});
        auto definitions = std::vector{TestWindow(EveryKind(), NothingInHandler)};
        static std::vector<WindowDefinition> stored = definitions;
        BootStage(*backend, stored);
        InitStage();
        LoadWindow(kTestWindow);
        SCENARIO_CHECK(WindowLayer(kTestWindow)->shown());
        SCENARIO_CHECK(WindowLayer(kTestWindow)->rect() == (Rect{0, 0, 1366, 768}));
        EndProgram(0);
      },
      ExitedWithCode(0), "");
}

// --- Properties, moves and clones --------------------------------------------------------------

void CheckProperties() {
  const ControlRef button = Ref(kButton1);
  SetProperty(button, kLeft, 40000);
  SCENARIO_CHECK(AsInt(GetProperty(button, kLeft)) == 32627);
  SetProperty(button, kTop, -40000);
  SCENARIO_CHECK(AsInt(GetProperty(button, kTop)) == -32627);
  SetProperty(button, kWidth, -3);
  SCENARIO_CHECK(AsInt(GetProperty(button, kWidth)) == 0);
  SetProperty(button, kHeight, 99999);
  SCENARIO_CHECK(AsInt(GetProperty(button, kHeight)) == 32627);

  // Omitted and -1 keep the current values.
  const ControlRef other = Ref(kButton1 + 1);
  MoveControl(other, kOmitted, 50, kOmitted, -1);
  SCENARIO_CHECK(FindLayer(other)->rect() == (Rect{344, 50, 488, 146}));
  MoveControl(other, 10, kOmitted, 20, kOmitted);
  SCENARIO_CHECK(FindLayer(other)->rect() == (Rect{10, 50, 30, 146}));
  // A move does not change the stored place.
  SCENARIO_CHECK(FindRecord(other)->top == 240);

  // Interval: the same value keeps the phase, 0 and negatives stop and read back 0.
  const ControlRef timer = Ref(kTimer);
  SetProperty(timer, timer_property::kInterval, -5);
  SCENARIO_CHECK(AsInt(GetProperty(timer, timer_property::kInterval)) == 0);

  // Clones: identifiers from the program-wide counter, directly below the source, with the
  // definition's place and size, hidden.
  SetProperty(other, kTop, -500);
  ControlRef slot{1, 2};
  SCENARIO_CHECK(!CloneControl(Kind::Label, Ref(kLabel), Kind::PicBtn, slot));
  SCENARIO_CHECK((slot == ControlRef{1, 2}));
  SCENARIO_CHECK(!CloneControl(Kind::Window, Ref(kWindowItself), Kind::Window, slot));
  SCENARIO_CHECK(!CloneControl(Kind::PicBtn, Ref(0x16009999), Kind::PicBtn, slot));
  ControlRef first, second;
  SCENARIO_CHECK(CloneControl(Kind::PicBtn, other, Kind::PicBtn, first));
  SCENARIO_CHECK(CloneControl(Kind::PicBtn, other, Kind::PicBtn, second));
  SCENARIO_CHECK(first.control == 0x160104BF && second.control == 0x160104C0);
  SCENARIO_CHECK(FindLayer(first)->rect() == (Rect{344, 240, 488, 336}));
  SCENARIO_CHECK(!FindLayer(first)->shown());
  SCENARIO_CHECK(FindRecord(first)->copied_from == other.control);
  const auto& z = WindowLayer(kTestWindow)->children();
  const auto at = std::find(z.begin(), z.end(), FindLayer(other));
  SCENARIO_CHECK(at + 1 < z.end() && *(at + 1) == FindLayer(second));  // newest is highest
  SCENARIO_CHECK(at + 2 < z.end() && *(at + 2) == FindLayer(first));
  EndProgram(0);
}

TEST_F(StageTest, PropertiesMovesAndClones) {
  EXPECT_EXIT(RunScenario({TestWindow(EveryKind(), CheckProperties)}), ExitedWithCode(0), "");
}

// A timer written while a handler runs ticks only after it returns, once, then on its phase;
// writing the same interval again does not restart it.
std::vector<std::int64_t> g_t_ticks;
void OnPhaseTick() {
  g_t_ticks.push_back(NowMs());
  if (g_t_ticks.size() == 1) {
    SetProperty(Ref(kTimer), timer_property::kInterval, 1000);  // same value: keeps its phase
    Delay(300);
  }
  if (g_t_ticks.size() == 3) {
    SCENARIO_CHECK(g_t_ticks[0] == 2500);  // due at 2000, but the handler ran until 2500
    SCENARIO_CHECK(g_t_ticks[1] == 3000);  // then on the phase of its arming at 1000
    SCENARIO_CHECK(g_t_ticks[2] == 4000);
    SetProperty(Ref(kTimer), timer_property::kInterval, 0);
    Delay(5000);
    EndProgram(0);
  }
}
void ArmInsideHandler() {
  Delay(1000);
  SetProperty(Ref(kTimer), timer_property::kInterval, 1000);
  Delay(1500);  // nothing ticks inside the handler
  SCENARIO_CHECK(g_t_ticks.empty());
}
TEST_F(StageTest, TimerArmedInsideHandlerKeepsItsPhase) {
  EXPECT_EXIT(RunScenario({TestWindow({Control(Kind::Timer, kTimer, "t", {0, 0, 1, 1}, 0, {},
                                               {{kEventTick, OnPhaseTick}})},
                                      ArmInsideHandler)}),
              ExitedWithCode(0), "");
}

// --- Program end -------------------------------------------------------------------------------

std::atomic<bool> g_handler_done{false};
std::atomic<int> g_exit_routine_runs{0};
void CountExitRoutine() {
  SCENARIO_CHECK(g_handler_done.load());
  ++g_exit_routine_runs;
  std::fprintf(stderr, "exit routine ran %d\n", g_exit_routine_runs.load());
}
void EndFromWorker(std::int32_t) { EndProgram(0); }
void HandlerThatOutlivesTheEndRequest() {
  SetExitRoutine(CountExitRoutine);
  StartThread(EndFromWorker);
  Delay(5000);
  g_handler_done = true;
}
TEST_F(StageTest, EndProgramFromWorkerWaitsForTheRunningHandler) {
  EXPECT_EXIT(RunScenario({TestWindow({}, HandlerThatOutlivesTheEndRequest)}), ExitedWithCode(0),
              "^exit routine ran 1\n$");
}

void EndTwice() {
  SetExitRoutine([] {
    std::fprintf(stderr, "exit routine\n");
    EndProgram(0);  // the second run of the end procedure does not call it again
  });
  EndProgram(0);
}
TEST_F(StageTest, ExitRoutineRunsOnce) {
  EXPECT_EXIT(RunScenario({TestWindow({}, EndTwice)}), ExitedWithCode(0), "^exit routine\n$");
}

class BoxCheckingBackend : public HeadlessBackend {
 public:
  void ShowErrorBox(const Text& title, const Text& text) override {
    SCENARIO_CHECK(GbkToUtf8(title) == "错误");
    SCENARIO_CHECK(GbkToUtf8(text) ==
                   "运行时出错!\r\n\r\n错误代码：1\r\n\r\n错误信息：数组成员引用下标超出定义范围\r\n");
    HeadlessBackend::ShowErrorBox(title, text);
  }
};
void FatalInHandler() {
  SetExitRoutine([] { std::fprintf(stderr, "exit routine must not run\n"); });
  ReportRuntimeError(1);
}
TEST_F(StageTest, FatalReportShowsTheBoxAndExitsMinusOne) {
  EXPECT_EXIT(RunScenario({TestWindow({}, FatalInHandler)}, new BoxCheckingBackend),
              ExitedWithCode(255), "错误: 运行时出错!\r\n\r\n错误代码：1");
}

void StageErrorText() {
  // A stage failure carries no code line.
  MoveControl(Ref(0x16001234), 1, 2);
}
TEST_F(StageTest, StageFailureHasNoCodeLine) {
  EXPECT_EXIT(RunScenario({TestWindow({}, StageErrorText)}), ExitedWithCode(255),
              "^错误: 运行时出错!\r\n\r\n错误信息：指定窗口或窗口组件不存在或尚未载入\r\n\n$");
}

TEST_F(StageTest, MissingStartUpWindowIsFatal) {
  EXPECT_EXIT(
      {
        auto definition = TestWindow({}, nullptr);
        definition.window_id = 0x52010002;
        RunScenario({definition});
      },
      ExitedWithCode(255), "载入启动窗口失败");
}

void EscDuringHandler() {
  SetExitRoutine([] {
    std::fprintf(stderr, "ended at %lld\n", static_cast<long long>(NowMs()));
  });
}
TEST_F(StageTest, EscClosesOnlyOnceTheHandlerReturns) {
  EXPECT_EXIT(
      {
        auto* backend = new HeadlessBackend();
        backend->clock().EnterThread("user interface");
        backend->ScheduleKey(100, KeyPress{kKeyEscape, /*ctrl=*/true});  // ignored: a modifier
        backend->ScheduleKey(200, KeyPress{kKeyEscape});
        RunScenario({TestWindow({}, [] {
                       EscDuringHandler();
                       Delay(3000);
                     })},
                    backend);
      },
      ExitedWithCode(0), "^ended at 3000\n$");
}

// --- Small services ----------------------------------------------------------------------------

void CheckServices() {
  SetRandomSeed(1);
  for (int expected : {41, 35, 190, 132}) SCENARIO_CHECK(RandomInt(0, 255) == expected);
  SetRandomSeed(1);
  SCENARIO_CHECK(RandomInt(3, 3) == 3);  // no step
  SCENARIO_CHECK(RandomInt() == 41);
  SCENARIO_CHECK(RandomInt(-7, 0) == 0);
  bool seen[6] = {};
  for (int i = 0; i < 200; ++i) {
    const int a = RandomInt(1, 5), b = RandomInt(5, 1);
    SCENARIO_CHECK(a >= 1 && a <= 5 && b >= 1 && b <= 5);
    seen[a] = seen[b] = true;
  }
  for (int v = 1; v <= 5; ++v) SCENARIO_CHECK(seen[v]);
  SCENARIO_CHECK(IntToText(0) == "0" && IntToText(-1) == "-1" && IntToText(2147483647) == "2147483647");
  SCENARIO_CHECK(ScreenWidth() == 1920 && ScreenHeight() == 1080);
  const auto before = NowMs();
  Delay(-5);
  Delay(0);
  SCENARIO_CHECK(NowMs() == before);
  EndProgram(0);
}
TEST_F(StageTest, RandomTextScreenAndDelay) {
  EXPECT_EXIT(RunScenario({TestWindow({}, CheckServices)}), ExitedWithCode(0), "");
}

std::atomic<std::int32_t> g_argument{-1};
void RecordArgument(std::int32_t value) { g_argument = value; }
void OmittedThreadArgument() {
  StartThread(RecordArgument);
  Delay(10);
  SCENARIO_CHECK(g_argument == 0);
  EndProgram(0);
}
TEST_F(StageTest, StartThreadWithoutArgumentPassesZero) {
  EXPECT_EXIT(RunScenario({TestWindow({}, OmittedThreadArgument)}), ExitedWithCode(0), "");
}

}  // namespace
}  // namespace stage::testing
