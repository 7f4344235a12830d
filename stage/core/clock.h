#pragma once
// Time and waiting for every thread of the stage.
//
// All blocking in the stage goes through one Clock: sleeping, waiting for a message, waiting
// for the user-interface thread to apply a request, the sound player's signals, the audio
// device's block timer. There are two clocks:
//  - the real clock, backed by std::chrono::steady_clock, for desktop runs;
//  - the simulated clock, for headless runs: time stands still while any stage thread runs and
//    jumps to the earliest deadline once every stage thread waits. A whole show then runs in
//    seconds, with exactly the timeline its delays describe.
//
// One mutex, the clock's, guards every wait and every state that a wait's condition reads.
// That keeps the simulated clock's "is everybody waiting?" question exact, and costs nothing
// that matters here: the stage has a handful of threads that mostly sleep.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace stage {

// Microseconds on the clock's own time line; 0 is when the clock was made.
using TimePoint = std::int64_t;
inline constexpr TimePoint kNoDeadline = INT64_MAX;

inline constexpr TimePoint Milliseconds(std::int64_t ms) { return ms * 1000; }

class Clock;

// Something threads wait for. Notified, with the clock's mutex held, by Clock::Notify.
class Condition {
 public:
  Condition() = default;
  Condition(const Condition&) = delete;
  Condition& operator=(const Condition&) = delete;

 private:
  friend class Clock;
  std::vector<struct Waiter*> waiters_;
};

class Clock {
 public:
  ~Clock();
  Clock(const Clock&) = delete;
  Clock& operator=(const Clock&) = delete;

  static std::unique_ptr<Clock> MakeReal();
  static std::unique_ptr<Clock> MakeSimulated();

  bool simulated() const { return simulated_; }

  // Current time. Never blocks.
  TimePoint Now() const;

  // The lock behind every wait.
  std::mutex& mutex() { return mutex_; }

  // With `lock` holding mutex(): releases it and blocks until one of `conditions` is notified
  // or `deadline` (absolute) has come. Returns false when it woke by the deadline. `what`
  // names the wait in the report of a deadlock.
  bool Wait(std::unique_lock<std::mutex>& lock, std::initializer_list<Condition*> conditions,
            TimePoint deadline, const char* what);

  // Waits until `ready()` holds or the deadline comes; `ready` is read with the lock held.
  // Returns whether it holds.
  bool WaitFor(std::unique_lock<std::mutex>& lock, Condition& condition, TimePoint deadline,
               const char* what, const std::function<bool()>& ready);

  // With mutex() held: wakes every thread waiting on `condition`.
  void Notify(Condition& condition);

  // Simulated clock: blocks, still counted as running, until every other admitted thread is
  // waiting. Threads that woke at the same instant as the caller have then done what they do
  // at that instant, so the caller sees the same state whatever the scheduling. One thread
  // only (the user-interface thread) may call it. The real clock returns at once.
  void SettleOthers();

  // Sleeps the calling thread for `duration` microseconds (0 or less returns at once).
  void Sleep(TimePoint duration, const char* what = "sleep");

  // Stage threads. A thread counts from AdmitThread (called by whoever starts it, before it
  // runs, so that the clock never sees a moment where it is neither running nor waiting)
  // until it calls LeaveThread as its last act. `name` appears in deadlock reports.
  void AdmitThread();
  void EnterAdmittedThread(const char* name);
  void LeaveThread();
  // For a thread that was not admitted by another (the thread that makes the stage). A second
  // call on the same thread only renames it.
  void EnterThread(const char* name);

 private:
  explicit Clock(bool simulated);

  void AdvanceIfAllWait();  // simulated clock only, lock held
  [[noreturn]] void ReportDeadlock();

  const bool simulated_;
  std::mutex mutex_;
  std::atomic<TimePoint> now_{0};      // simulated time
  std::int64_t real_origin_ns_ = 0;    // real clock: steady_clock at creation
  int running_ = 0;                    // admitted threads that are not waiting
  std::vector<struct Waiter*> waiters_;  // every thread now waiting
  std::condition_variable settled_;      // running_ went down
};

// Every thread the stage starts: admitted to the clock before it runs, joinable.
class StageThread {
 public:
  StageThread() = default;
  StageThread(Clock& clock, std::string name, std::function<void()> body);
  StageThread(StageThread&&) noexcept;
  StageThread& operator=(StageThread&&) noexcept;
  ~StageThread();  // joins

  bool started() const { return started_; }
  // Waits, as a clock wait, until the thread has ended.
  void Join();
  // Lets the thread run on its own; nobody will join it.
  void Detach();

 private:
  struct State;
  std::shared_ptr<State> state_;
  bool started_ = false;
};

// A manual- or auto-reset event on the clock.
class Event {
 public:
  Event(Clock& clock, bool manual_reset, bool initially_set = false)
      : clock_(clock), manual_reset_(manual_reset), set_(initially_set) {}
  void Set();
  void Reset();
  // Returns false on time-out. `deadline` is absolute.
  bool WaitUntil(TimePoint deadline, const char* what = "event");

 private:
  friend class Semaphore;
  Clock& clock_;
  const bool manual_reset_;
  bool set_;
  Condition changed_;
  friend int WaitAny(Clock&, class Semaphore&, Event&, TimePoint, const char*);
};

// A counting semaphore on the clock.
class Semaphore {
 public:
  Semaphore(Clock& clock, int initial, int maximum)
      : clock_(clock), count_(initial), maximum_(maximum) {}
  // Adds `n`, never above the maximum. Returns false (and changes nothing) if that would pass it.
  bool Release(int n = 1);
  bool AcquireUntil(TimePoint deadline, const char* what = "semaphore");
  int count();

 private:
  friend int WaitAny(Clock&, Semaphore&, Event&, TimePoint, const char*);
  Clock& clock_;
  int count_;
  const int maximum_;
  Condition changed_;
};

// Waits until the semaphore can be taken (takes it, returns 0) or the event is set (returns 1),
// whichever comes first, or the deadline passes (returns -1). The semaphore is tried first.
int WaitAny(Clock& clock, Semaphore& semaphore, Event& event, TimePoint deadline,
            const char* what);

}  // namespace stage
