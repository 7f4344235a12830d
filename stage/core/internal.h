#pragma once
// State shared by the core's own files. Not for other modules.

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "stage/core/controls.h"
#include "stage/core/stage.h"

namespace stage::internal {

// A loaded window.
struct Window {
  std::uint32_t id = 0;
  std::vector<std::unique_ptr<ControlRecord>> table;  // record 0 first
  std::vector<ControlDefinition> snapshot;            // the definition as loading began
  bool loading_done = false;      // step "mark as loaded" has run
  bool shown_after_load = false;  // the first Visible = true after loading has applied
  bool destroyed = false;
};

struct TimerState;

// A change of a control's window asked for by another thread; the user-interface thread applies
// it while it takes events, and the asking thread waits until it has.
struct Request {
  std::function<void()> apply;
  bool done = false;
};

struct Posted {
  enum Type { kKey, kEndRequest, kQuit } type = kKey;
  KeyPress key;
  std::int32_t code = 0;
};

struct StageState {
  Backend* backend = nullptr;
  std::vector<WindowDefinition> stored_definitions;
  std::vector<WindowDefinition> definitions;  // loaded into memory by InitStage
  bool initialised = false;
  std::thread::id ui_thread;

  // Windows. Structural changes on the user-interface thread only.
  std::vector<std::unique_ptr<Window>> windows;

  // The user-interface thread's queue; guarded by the clock's mutex.
  std::deque<Request*> sent;
  std::deque<Posted> posted;
  Condition queue_changed;
  Condition requests_done;

  // Timers, user-interface thread only.
  std::vector<TimerState*> timers;

  // Program end.
  void (*exit_routine)() = nullptr;
  std::atomic<int> suspension{0};
  bool ending = false;
  bool loop_started = false;
  std::atomic<bool> parking{false};  // workers stop at their next stage call
  int live_workers = 0;              // guarded by the clock's mutex
  int parked_workers = 0;            // guarded by the clock's mutex
  Condition parking_changed;

  TraceSink trace;
  MediaNamer media_namer;
};

StageState& State();
Clock& CurrentClock();

// Applies `change` on the user-interface thread: at once when called there, otherwise as a
// request that the calling thread waits for.
void OnUserInterfaceThread(const std::function<void()>& change);

// A worker that finds the program ending stops here for good.
void ParkIfEnding();

// Window bookkeeping used by the loop.
Window* FindWindow(std::uint32_t window_id);
void DestroyWindow(Window& window);
void DispatchKey(const KeyPress& key);

// Timers.
struct TimerState {
  ControlRecord* record = nullptr;
  std::uint32_t window_id = 0;
  std::int32_t interval = 0;
  bool running = false;
  TimePoint next_due = 0;
};
void ArmTimer(TimerState& timer);
void DisarmTimer(TimerState& timer);

// GBK text as UTF-8, for trace lines and messages on a terminal.
std::string TraceText(const Text& gbk);

}  // namespace stage::internal
