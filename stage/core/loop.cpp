// The user-interface thread's life: start, the event loop, delays, timers, worker threads, the
// end of the program and the fatal report.

#include <cstdio>
#include <string>

#include "stage/core/internal.h"
#include "stage/core/text.h"

namespace stage {
namespace internal {

StageState& State() {
  static StageState* state = new StageState;  // lives until the process ends
  return *state;
}

Clock& CurrentClock() { return State().backend->clock(); }

std::string TraceText(const Text& gbk) { return GbkToUtf8(gbk); }

void ParkIfEnding() {
  StageState& s = State();
  if (!s.parking.load(std::memory_order_acquire) || IsUserInterfaceThread()) return;
  Clock& clock = CurrentClock();
  std::unique_lock lock(clock.mutex());
  ++s.parked_workers;
  clock.Notify(s.parking_changed);
  Condition never;
  for (;;) clock.Wait(lock, {&never}, kNoDeadline, "the end of the process (parked)");
}

void OnUserInterfaceThread(const std::function<void()>& change) {
  if (IsUserInterfaceThread()) {
    change();
    return;
  }
  StageState& s = State();
  Clock& clock = CurrentClock();
  Request request{change, false};
  {
    std::unique_lock lock(clock.mutex());
    if (s.parking.load()) {
      lock.unlock();
      ParkIfEnding();
    }
    s.sent.push_back(&request);
    clock.Notify(s.queue_changed);
    clock.WaitFor(lock, s.requests_done, kNoDeadline, "the user-interface thread to take events",
                  [&] { return request.done || s.parking.load(); });
    if (!request.done) {
      // The program is ending and the request will never be served; it must not stay queued
      // with a pointer to this stack frame.
      std::erase(s.sent, &request);
    }
  }
  ParkIfEnding();
}

namespace {

enum class Served { kNothing, kQuit, kDispatched };

void DispatchTick(TimerState& timer) {
  StageState& s = State();
  if (s.suspension.load() > 0) return;
  Handler handler = timer.record->HandlerFor(kEventTick);
  if (handler == nullptr) return;
  if (TraceEnabled()) TraceLine("Tick", TraceText(timer.record->name));
  handler();
}

void HandlePosted(const Posted& message) {
  switch (message.type) {
    case Posted::kKey:
      DispatchKey(message.key);
      break;
    case Posted::kEndRequest:
      EndProgram(message.code);
    case Posted::kQuit:
      break;
  }
}

TimerState* EarliestTimer() {
  TimerState* earliest = nullptr;
  for (TimerState* t : State().timers) {
    if (t->running && (earliest == nullptr || t->next_due < earliest->next_due)) earliest = t;
  }
  return earliest;
}

// Serves the user-interface thread's queue the way a window system does: requests from other
// threads first, then one posted message, then repainting, then one due tick, which therefore
// comes only when nothing else waits. With `wait`, blocks until something was served.
// With `keep_quit`, a quit message is left in the queue.
Served ServeOne(bool wait, bool keep_quit) {
  StageState& s = State();
  Clock& clock = CurrentClock();
  ScreenObserver* screen = Layer::observer();
  for (;;) {
    // Requests that other threads make at this very instant are in the queue before anything
    // is taken, so a simulated run does not depend on how the threads were scheduled.
    clock.SettleOthers();
    const TimePoint poll_interval = s.backend->PollInput();
    std::unique_lock lock(clock.mutex());
    if (!s.sent.empty()) {
      Request* request = s.sent.front();
      s.sent.pop_front();
      lock.unlock();
      request->apply();
      lock.lock();
      request->done = true;
      clock.Notify(s.requests_done);
      continue;
    }
    if (!s.posted.empty()) {
      Posted message = s.posted.front();
      if (message.type == Posted::kQuit) {
        if (!keep_quit) s.posted.pop_front();
        return Served::kQuit;
      }
      s.posted.pop_front();
      lock.unlock();
      HandlePosted(message);
      return Served::kDispatched;
    }
    lock.unlock();
    if (screen->HasInvalid()) {
      screen->PaintInvalid();
      return Served::kDispatched;
    }
    TimerState* timer = EarliestTimer();
    const TimePoint now = clock.Now();
    if (timer != nullptr && timer->next_due <= now) {
      // Ticks that fell due while the thread was busy merge into this one; the timer keeps
      // its phase.
      const TimePoint period = Milliseconds(timer->interval);
      const TimePoint missed = (now - timer->next_due) / period;
      timer->next_due += (missed + 1) * period;
      DispatchTick(*timer);
      return Served::kDispatched;
    }
    if (!wait) return Served::kNothing;
    screen->Present(false);
    lock.lock();
    if (!s.sent.empty() || !s.posted.empty()) continue;
    TimePoint deadline = timer != nullptr ? timer->next_due : kNoDeadline;
    if (poll_interval != kNoDeadline) deadline = std::min(deadline, clock.Now() + poll_interval);
    clock.Wait(lock, {&s.queue_changed}, deadline, "messages");
  }
}

void Post(const Posted& message) {
  StageState& s = State();
  Clock& clock = CurrentClock();
  std::lock_guard lock(clock.mutex());
  s.posted.push_back(message);
  clock.Notify(s.queue_changed);
}

// Stops every worker at its next stage call and waits until all of them have stopped, so that
// nothing they read can be released under them. A worker that makes no stage call for two
// seconds is not waited for longer.
void ParkWorkers() {
  StageState& s = State();
  Clock& clock = CurrentClock();
  std::unique_lock lock(clock.mutex());
  s.parking.store(true, std::memory_order_release);
  clock.Notify(s.requests_done);
  clock.Notify(s.parking_changed);
  clock.WaitFor(lock, s.parking_changed, clock.Now() + Milliseconds(2000), "workers to park",
                [&] { return s.parked_workers >= s.live_workers; });
}

[[noreturn]] void EndProcedure(std::int32_t exit_code) {
  StageState& s = State();
  s.suspension.fetch_add(1);
  if (!IsUserInterfaceThread()) {
    if (!s.initialised || s.parking.load()) {
      // The user-interface thread is already ending the program, or there is none.
      if (!s.initialised) s.backend->Exit(exit_code);
      ParkIfEnding();
    }
    Post(Posted{Posted::kEndRequest, {}, exit_code});
    // Waits here until the user-interface thread ends the process.
    Clock& clock = CurrentClock();
    {
      std::unique_lock lock(clock.mutex());
      clock.WaitFor(lock, s.parking_changed, kNoDeadline,
                    "the user-interface thread to take the end request",
                    [&] { return s.parking.load(); });
    }
    ParkIfEnding();
    s.backend->Exit(exit_code);  // not reached: a parked worker never returns
  }
  s.ending = true;
  s.definitions.clear();
  ParkWorkers();
  if (auto routine = s.exit_routine) {
    s.exit_routine = nullptr;
    if (TraceEnabled()) TraceLine("ExitRoutine", "");
    routine();
  }
  // What was drawn last stays on the screen for as long as the end takes.
  Layer::observer()->Present(true);
  s.backend->StopAllSound();
  if (TraceEnabled()) TraceLine("Exit", std::to_string(exit_code));
  std::fflush(stdout);
  std::fflush(stderr);
  s.backend->Exit(exit_code);
}

Text FatalMessage(std::int32_t code) {
  switch (code) {
    case 1:
      return Utf8ToGbk("数组成员引用下标超出定义范围");
    case 4:
      return Utf8ToGbk("数组成员引用下标必须大于等于1");
    case 9:
      return Utf8ToGbk("“多项选择”命令的索引值参数小于零或超出了所提供参数表范围");
    default:
      return {};
  }
}

[[noreturn]] void FatalReport(std::int32_t code, const Text& message) {
  StageState& s = State();
  s.suspension.fetch_add(1);
  const Text crlf = "\r\n";
  Text text = Utf8ToGbk("运行时出错!") + crlf + crlf;
  if (code != 0) text += Utf8ToGbk("错误代码：") + std::to_string(code) + crlf + crlf;
  if (!message.empty()) text += Utf8ToGbk("错误信息：") + message + crlf;
  s.backend->ShowErrorBox(Utf8ToGbk("错误"), text);
  s.exit_routine = nullptr;
  EndProcedure(-1);
}

}  // namespace
}  // namespace internal

using namespace internal;

void BootStage(Backend& backend, std::span<const WindowDefinition> definitions) {
  StageState& s = State();
  s.backend = &backend;
  s.stored_definitions.assign(definitions.begin(), definitions.end());
}

Backend& CurrentBackend() { return *State().backend; }

bool IsUserInterfaceThread() {
  const StageState& s = State();
  return s.initialised && std::this_thread::get_id() == s.ui_thread;
}

std::int64_t NowMs() { return CurrentClock().Now() / 1000; }

void InitStage() {
  StageState& s = State();
  s.ui_thread = std::this_thread::get_id();
  s.initialised = true;
  CurrentClock().EnterThread("user interface");
  s.definitions = s.stored_definitions;
  if (s.definitions.empty()) ReportStageError(Utf8ToGbk("载入窗口模板数据段出错!"));
  if (TraceEnabled()) TraceLine("InitStage", "");
}

void RunProgram(int (*program_start)()) {
  program_start();
  EndProcedure(0);
}

void SetExitRoutine(void (*routine)()) { State().exit_routine = routine; }

void RunEventLoop() {
  StageState& s = State();
  if (TraceEnabled()) TraceLine("RunEventLoop", "");
  s.loop_started = true;
  bool any_window = false;
  for (const auto& w : s.windows) any_window |= !w->destroyed;
  if (!any_window) return;
  while (ServeOne(/*wait=*/true, /*keep_quit=*/false) != Served::kQuit) {
  }
}

void ProcessEvents() {
  ParkIfEnding();
  if (!IsUserInterfaceThread()) return;  // a worker owns no windows and gets no messages
  while (ServeOne(/*wait=*/false, /*keep_quit=*/true) == Served::kDispatched) {
  }
}

void Delay(std::int32_t ms) {
  ParkIfEnding();
  if (ms < 0) ms = 0;
  Clock& clock = CurrentClock();
  if (IsUserInterfaceThread()) {
    if (TraceEnabled()) TraceLine("Delay", std::to_string(ms));
    Layer::observer()->Present(true);
    clock.Sleep(Milliseconds(ms), "a delay");
    return;
  }
  // A worker's delay ends early only when the program ends, and then it parks.
  StageState& s = State();
  {
    std::unique_lock lock(clock.mutex());
    const TimePoint deadline = clock.Now() + Milliseconds(ms);
    if (ms == 0) {
      lock.unlock();
      clock.Sleep(0);
    } else {
      clock.WaitFor(lock, s.parking_changed, deadline, "a delay", [&] {
        return s.parking.load() || clock.Now() >= deadline;
      });
    }
  }
  ParkIfEnding();
}

bool StartThread(void (*routine)(std::int32_t), Opt argument) {
  ParkIfEnding();
  StageState& s = State();
  const std::int32_t value = argument.value_or(0);
  if (TraceEnabled()) TraceLine("StartThread", std::to_string(value));
  Clock& clock = CurrentClock();
  {
    std::lock_guard lock(clock.mutex());
    ++s.live_workers;
  }
  StageThread thread(clock, "worker " + std::to_string(value), [routine, value, &s, &clock] {
    routine(value);
    std::lock_guard lock(clock.mutex());
    --s.live_workers;
    clock.Notify(s.parking_changed);
  });
  if (!thread.started()) {
    std::lock_guard lock(clock.mutex());
    --s.live_workers;
    return false;
  }
  thread.Detach();
  return true;
}

void EndProgram(std::int32_t exit_code) {
  if (TraceEnabled()) TraceLine("EndProgram", std::to_string(exit_code));
  EndProcedure(exit_code);
}

void ReportRuntimeError(std::int32_t code) {
  if (TraceEnabled()) TraceLine("ReportRuntimeError", std::to_string(code));
  FatalReport(code, FatalMessage(code));
}

void ReportStageError(const Text& message) { FatalReport(0, message); }

void PostKey(KeyPress key) {
  if (State().backend == nullptr) return;  // no stage to take it yet
  Post(Posted{Posted::kKey, key, 0});
}

namespace internal {
void PostQuit() { Post(Posted{Posted::kQuit, {}, 0}); }
}  // namespace internal

// --- Timers ------------------------------------------------------------------------------------

namespace internal {

void ArmTimer(TimerState& timer) {
  StageState& s = State();
  timer.running = true;
  timer.next_due = CurrentClock().Now() + Milliseconds(timer.interval);
  if (std::find(s.timers.begin(), s.timers.end(), &timer) == s.timers.end()) {
    s.timers.push_back(&timer);
  }
  // A loop waiting with an older deadline must see the new one.
  std::lock_guard lock(CurrentClock().mutex());
  CurrentClock().Notify(s.queue_changed);
}

void DisarmTimer(TimerState& timer) { timer.running = false; }

}  // namespace internal

// --- Trace -------------------------------------------------------------------------------------

void SetTraceSink(TraceSink sink) { State().trace = std::move(sink); }

void SetMediaNamer(MediaNamer namer) { State().media_namer = std::move(namer); }

std::string MediaName(ByteSetView bytes) {
  const MediaNamer& namer = State().media_namer;
  std::string name = namer ? namer(bytes) : std::string();
  return name.empty() ? "-" : name;
}

bool TraceEnabled() { return State().trace != nullptr && IsUserInterfaceThread(); }

void TraceLine(std::string_view operation, std::string_view arguments) {
  StageState& s = State();
  if (!s.trace || !IsUserInterfaceThread()) return;
  std::string line = std::to_string(NowMs());
  line += ' ';
  line += operation;
  if (!arguments.empty()) {
    line += ' ';
    line += arguments;
  }
  s.trace(line);
}

}  // namespace stage
