#pragma once
// Runs a stage scenario in a process of its own: the stage's state is the process's, and the
// program ends by ending the process. Used inside EXPECT_EXIT.

#include <cstdio>
#include <functional>
#include <unistd.h>

#include "stage/core/screen.h"
#include "stage/core/stage.h"
#include "stage/platform/headless/headless.h"

namespace stage::testing {

// Fails the scenario's process with a message on standard error.
#define SCENARIO_CHECK(cond)                                                              \
  do {                                                                                   \
    if (!(cond)) {                                                                       \
      std::fprintf(stderr, "SCENARIO_CHECK failed at %s:%d: %s\n", __FILE__, __LINE__, #cond); \
      std::fflush(stderr);                                                               \
      _exit(3);                                                                          \
    }                                                                                    \
  } while (0)

inline constexpr std::uint32_t kTestWindow = 0x52010001;

inline ControlRef Ref(std::uint32_t control) { return ControlRef{kTestWindow, control}; }

// A window with `controls` after its own record; `created` runs as its created event.
WindowDefinition TestWindow(std::vector<ControlDefinition> controls, Handler created);

ControlDefinition Control(Kind kind, std::uint32_t id, const char* name, Rect place,
                          std::uint32_t flags = 0, PropertyBlock properties = {},
                          std::vector<EventBinding> events = {});

// Boots a headless backend (simulated time, 1920 x 1080 unless given) with `definitions` and
// runs InitStage, LoadWindow(kTestWindow) and the event loop, then the end procedure.
[[noreturn]] void RunScenario(std::vector<WindowDefinition> definitions,
                              HeadlessBackend* backend = nullptr);

}  // namespace stage::testing
