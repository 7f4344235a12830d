#include "stage/core/clock.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace stage {

// One blocked thread. Lives on the waiting thread's stack for the length of its wait.
struct Waiter {
  std::condition_variable wake;
  TimePoint deadline = kNoDeadline;
  const char* what = "";
  std::string thread_name;
  bool woken = false;
  bool timed_out = false;
};

namespace {

thread_local std::string t_thread_name = "unnamed";
thread_local const Clock* t_entered = nullptr;  // the clock this thread counts on

std::int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Remove(std::vector<Waiter*>& list, Waiter* waiter) {
  std::erase(list, waiter);
}

}  // namespace

Clock::Clock(bool simulated) : simulated_(simulated), real_origin_ns_(SteadyNanoseconds()) {}
Clock::~Clock() = default;

std::unique_ptr<Clock> Clock::MakeReal() { return std::unique_ptr<Clock>(new Clock(false)); }
std::unique_ptr<Clock> Clock::MakeSimulated() { return std::unique_ptr<Clock>(new Clock(true)); }

TimePoint Clock::Now() const {
  if (simulated_) return now_.load(std::memory_order_acquire);
  return (SteadyNanoseconds() - real_origin_ns_) / 1000;
}

bool Clock::Wait(std::unique_lock<std::mutex>& lock, std::initializer_list<Condition*> conditions,
                 TimePoint deadline, const char* what) {
  Waiter self;
  self.deadline = deadline;
  self.what = what;
  self.thread_name = t_thread_name;
  for (Condition* condition : conditions) condition->waiters_.push_back(&self);
  waiters_.push_back(&self);

  if (simulated_) {
    if (deadline <= Now()) {
      self.woken = self.timed_out = true;
    } else {
      --running_;
      settled_.notify_all();
      AdvanceIfAllWait();
      while (!self.woken) self.wake.wait(lock);
    }
  } else {
    const auto origin = std::chrono::steady_clock::time_point(
        std::chrono::nanoseconds(real_origin_ns_));
    while (!self.woken) {
      if (deadline == kNoDeadline) {
        self.wake.wait(lock);
      } else if (self.wake.wait_until(lock, origin + std::chrono::microseconds(deadline)) ==
                     std::cv_status::timeout &&
                 !self.woken) {
        self.woken = self.timed_out = true;
      }
    }
  }

  for (Condition* condition : conditions) Remove(condition->waiters_, &self);
  Remove(waiters_, &self);
  return !self.timed_out;
}

bool Clock::WaitFor(std::unique_lock<std::mutex>& lock, Condition& condition, TimePoint deadline,
                    const char* what, const std::function<bool()>& ready) {
  while (!ready()) {
    if (!Wait(lock, {&condition}, deadline, what)) return ready();
  }
  return true;
}

void Clock::Notify(Condition& condition) {
  for (Waiter* w : condition.waiters_) {
    if (w->woken) continue;
    w->woken = true;
    if (simulated_) ++running_;
    w->wake.notify_one();
  }
}

void Clock::Sleep(TimePoint duration, const char* what) {
  std::unique_lock lock(mutex_);
  if (duration <= 0) {
    lock.unlock();
    std::this_thread::yield();
    return;
  }
  Wait(lock, {}, Now() + duration, what);
}

void Clock::SettleOthers() {
  if (!simulated_) return;
  std::unique_lock lock(mutex_);
  settled_.wait(lock, [this] { return running_ <= 1; });
}

void Clock::AdmitThread() {
  std::lock_guard lock(mutex_);
  ++running_;
}

void Clock::EnterAdmittedThread(const char* name) {
  t_thread_name = name;
  t_entered = this;
}

void Clock::EnterThread(const char* name) {
  if (t_entered != this) AdmitThread();
  EnterAdmittedThread(name);
}

void Clock::LeaveThread() {
  t_entered = nullptr;
  std::lock_guard lock(mutex_);
  --running_;
  settled_.notify_all();
  if (simulated_) AdvanceIfAllWait();
}

void Clock::AdvanceIfAllWait() {
  if (running_ > 0 || waiters_.empty()) return;
  TimePoint earliest = kNoDeadline;
  for (Waiter* w : waiters_) {
    if (!w->woken && w->deadline < earliest) earliest = w->deadline;
  }
  if (earliest == kNoDeadline) ReportDeadlock();
  if (earliest > now_.load()) now_.store(earliest, std::memory_order_release);
  for (Waiter* w : waiters_) {
    if (!w->woken && w->deadline <= earliest) {
      w->woken = w->timed_out = true;
      ++running_;
      w->wake.notify_one();
    }
  }
}

void Clock::ReportDeadlock() {
  std::fprintf(stderr, "simulated clock: every thread waits and none has a deadline (t = %lld us)\n",
               static_cast<long long>(now_.load()));
  for (Waiter* w : waiters_) {
    std::fprintf(stderr, "  thread '%s' waits for %s\n", w->thread_name.c_str(), w->what);
  }
  std::fflush(stderr);
  std::abort();
}

// ---------------------------------------------------------------------------------------------

struct StageThread::State {
  Clock* clock = nullptr;
  std::thread thread;
  bool ended = false;
  Condition ended_changed;
};

StageThread::StageThread(Clock& clock, std::string name, std::function<void()> body)
    : state_(std::make_shared<State>()) {
  state_->clock = &clock;
  clock.AdmitThread();
  try {
    state_->thread = std::thread([state = state_, name = std::move(name), body = std::move(body)] {
      state->clock->EnterAdmittedThread(name.c_str());
      body();
      {
        std::lock_guard lock(state->clock->mutex());
        state->ended = true;
        state->clock->Notify(state->ended_changed);
      }
      state->clock->LeaveThread();
    });
    started_ = true;
  } catch (const std::system_error&) {
    clock.LeaveThread();
    state_.reset();
  }
}

StageThread::StageThread(StageThread&&) noexcept = default;
StageThread& StageThread::operator=(StageThread&& other) noexcept {
  if (this != &other) {
    Join();
    state_ = std::move(other.state_);
    started_ = other.started_;
    other.started_ = false;
  }
  return *this;
}

StageThread::~StageThread() { Join(); }

void StageThread::Join() {
  if (!state_ || !state_->thread.joinable()) return;
  {
    std::unique_lock lock(state_->clock->mutex());
    state_->clock->WaitFor(lock, state_->ended_changed, kNoDeadline, "a thread to end",
                           [this] { return state_->ended; });
  }
  state_->thread.join();
}

void StageThread::Detach() {
  if (state_ && state_->thread.joinable()) state_->thread.detach();
}

// ---------------------------------------------------------------------------------------------

void Event::Set() {
  std::lock_guard lock(clock_.mutex());
  set_ = true;
  clock_.Notify(changed_);
}

void Event::Reset() {
  std::lock_guard lock(clock_.mutex());
  set_ = false;
}

bool Event::WaitUntil(TimePoint deadline, const char* what) {
  std::unique_lock lock(clock_.mutex());
  if (!clock_.WaitFor(lock, changed_, deadline, what, [this] { return set_; })) return false;
  if (!manual_reset_) set_ = false;
  return true;
}

bool Semaphore::Release(int n) {
  std::lock_guard lock(clock_.mutex());
  if (n < 0 || count_ + n > maximum_) return false;
  count_ += n;
  clock_.Notify(changed_);
  return true;
}

bool Semaphore::AcquireUntil(TimePoint deadline, const char* what) {
  std::unique_lock lock(clock_.mutex());
  if (!clock_.WaitFor(lock, changed_, deadline, what, [this] { return count_ > 0; })) return false;
  --count_;
  return true;
}

int Semaphore::count() {
  std::lock_guard lock(clock_.mutex());
  return count_;
}

int WaitAny(Clock& clock, Semaphore& semaphore, Event& event, TimePoint deadline,
            const char* what) {
  std::unique_lock lock(clock.mutex());
  for (;;) {
    if (semaphore.count_ > 0) {
      --semaphore.count_;
      return 0;
    }
    if (event.set_) {
      if (!event.manual_reset_) event.set_ = false;
      return 1;
    }
    if (!clock.Wait(lock, {&semaphore.changed_, &event.changed_}, deadline, what)) {
      if (semaphore.count_ > 0 || event.set_) continue;
      return -1;
    }
  }
}

}  // namespace stage
