#pragma once
// Runs the whole show on the headless backend in a process of its own (inside EXPECT_EXIT),
// keeping the call trace and, on a sampling thread, the places of the flowers.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stage/core/types.h"
#include "stage/platform/headless/headless.h"

namespace show::testing {

struct TraceLine {
  std::int64_t ms = 0;
  std::string op;
  std::vector<std::string> args;
  std::string text;  // the whole line
};

// Flower places read every `sample_ms` by a thread of the test (reads never wait).
struct Sample {
  std::int64_t ms = 0;
  std::vector<stage::ControlRef> flowers;  // the clones, in the order they were made
  std::vector<std::int32_t> lefts, tops;
};

struct ShowRun {
  std::vector<TraceLine> trace;
  std::vector<Sample> samples;
  // Lines with operation `op` (and, if given, first argument `first`).
  std::vector<const TraceLine*> Lines(const std::string& op, const std::string& first = "") const;
};

struct ShowOptions {
  stage::HeadlessOptions backend;
  std::vector<std::int64_t> esc_at;
  std::int64_t sample_ms = 0;  // 0: no samples
};

// Runs the show; when the process is about to end, hands the run to `check`, which fails the
// process with SCENARIO_CHECK or returns. Never returns itself.
[[noreturn]] void RunShow(const ShowOptions& options, std::function<void(const ShowRun&)> check);

}  // namespace show::testing
