#include "stage/core/clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <vector>

namespace stage {
namespace {

TEST(SimulatedClock, TimeJumpsOnlyWhenEveryThreadWaits) {
  auto clock = Clock::MakeSimulated();
  clock->EnterThread("test");
  std::vector<std::pair<int, TimePoint>> wakes;
  std::mutex wakes_mutex;
  {
    std::vector<StageThread> threads;
    for (int i = 1; i <= 3; ++i) {
      threads.emplace_back(*clock, "sleeper", [&, i] {
        clock->Sleep(Milliseconds(1000 * i));
        std::lock_guard lock(wakes_mutex);
        wakes.emplace_back(i, clock->Now());
      });
    }
    const auto wall_start = std::chrono::steady_clock::now();
    clock->Sleep(Milliseconds(10'000));
    EXPECT_LT(std::chrono::steady_clock::now() - wall_start, std::chrono::seconds(1));
  }
  ASSERT_EQ(wakes.size(), 3u);
  for (auto [i, at] : wakes) EXPECT_EQ(at, Milliseconds(1000 * i));
  EXPECT_EQ(clock->Now(), Milliseconds(10'000));
  clock->LeaveThread();
}

TEST(SimulatedClock, NotifiedThreadRunsBeforeTimeMoves) {
  auto clock = Clock::MakeSimulated();
  clock->EnterThread("test");
  Event ready(*clock, /*manual_reset=*/false);
  TimePoint seen = -1;
  StageThread waiter(*clock, "waiter", [&] {
    ready.WaitUntil(kNoDeadline);
    seen = clock->Now();
  });
  clock->Sleep(Milliseconds(5));
  ready.Set();
  clock->Sleep(Milliseconds(100));  // the waiter must run at t = 5 ms, not after this sleep
  waiter.Join();
  EXPECT_EQ(seen, Milliseconds(5));
  clock->LeaveThread();
}

TEST(SimulatedClock, SemaphoreOrEventWithTimeout) {
  auto clock = Clock::MakeSimulated();
  clock->EnterThread("test");
  Semaphore free_blocks(*clock, 0, 20);
  Event stop(*clock, /*manual_reset=*/true);
  EXPECT_EQ(WaitAny(*clock, free_blocks, stop, clock->Now() + Milliseconds(8888), "x"), -1);
  EXPECT_EQ(clock->Now(), Milliseconds(8888));
  EXPECT_TRUE(free_blocks.Release(2));
  EXPECT_FALSE(free_blocks.Release(19));
  stop.Set();
  EXPECT_EQ(WaitAny(*clock, free_blocks, stop, kNoDeadline, "x"), 0);  // the semaphore first
  EXPECT_EQ(WaitAny(*clock, free_blocks, stop, kNoDeadline, "x"), 0);
  EXPECT_EQ(WaitAny(*clock, free_blocks, stop, kNoDeadline, "x"), 1);
  EXPECT_EQ(WaitAny(*clock, free_blocks, stop, kNoDeadline, "x"), 1);  // manual reset stays set
  clock->LeaveThread();
}

TEST(SimulatedClock, SettleWaitsForThreadsWokenAtTheSameInstant) {
  auto clock = Clock::MakeSimulated();
  clock->EnterThread("test");
  std::atomic<int> done{0};
  std::vector<StageThread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back(*clock, "worker", [&] {
      clock->Sleep(Milliseconds(100));
      volatile unsigned spin = 0;  // unsigned: the sum wraps instead of overflowing
      for (int k = 0; k < 200000; ++k) spin = spin + k;  // work at the instant it woke
      ++done;
      clock->Sleep(Milliseconds(100));
    });
  }
  clock->Sleep(Milliseconds(100));
  clock->SettleOthers();
  EXPECT_EQ(done.load(), 4);
  EXPECT_EQ(clock->Now(), Milliseconds(100));
  threads.clear();
  clock->LeaveThread();
}

TEST(SimulatedClockDeathTest, DeadlockIsReportedNotHung) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        auto clock = Clock::MakeSimulated();
        clock->EnterThread("main");
        Event never(*clock, true);
        never.WaitUntil(kNoDeadline, "an event nobody sets");
      },
      "thread 'main' waits for an event nobody sets");
}

TEST(RealClock, SleepsAndTimesOut) {
  auto clock = Clock::MakeReal();
  clock->EnterThread("test");
  Event never(*clock, true);
  const TimePoint start = clock->Now();
  EXPECT_FALSE(never.WaitUntil(start + Milliseconds(20)));
  EXPECT_GE(clock->Now() - start, Milliseconds(20));
  clock->LeaveThread();
}

}  // namespace
}  // namespace stage
