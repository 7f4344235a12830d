#pragma once
// The stage as the show calls it: blocking operations on windows and controls, delays, timers,
// worker threads and the end of the program.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "stage/core/backend.h"
#include "stage/core/definition.h"
#include "stage/core/types.h"

namespace stage {

// --- Start-up, set by the program's entry before the show starts --------------------------------

// The backend and the stored window definitions the stage will use. Call once, before
// ProgramStart. The definitions are copied when InitStage loads them.
void BootStage(Backend& backend, std::span<const WindowDefinition> definitions);
Backend& CurrentBackend();

// --- Program lifecycle -------------------------------------------------------------------------

// Runs the program's entry routine on the calling thread, which becomes the user-interface
// thread, then the end procedure with exit code 0. Never returns.
[[noreturn]] void RunProgram(int (*program_start)());

void InitStage();
void SetExitRoutine(void (*routine)());
// Builds a window from its definition; a failure is a fatal report.
void LoadWindow(std::uint32_t window_id);
void RunEventLoop();
void Delay(std::int32_t ms);
void ProcessEvents();
bool StartThread(void (*routine)(std::int32_t), Opt argument = kOmitted);
[[noreturn]] void EndProgram(std::int32_t exit_code);
[[noreturn]] void ReportRuntimeError(std::int32_t code);
// The stage's own failures: code 0 and their own message (GBK).
[[noreturn]] void ReportStageError(const Text& message);

// --- Controls ----------------------------------------------------------------------------------

void SetProperty(ControlRef ref, int number, const PropertyValue& value);
PropertyValue GetProperty(ControlRef ref, int number);
void MoveControl(ControlRef ref, Opt left = kOmitted, Opt top = kOmitted, Opt width = kOmitted,
                 Opt height = kOmitted);
void RefreshWindow(ControlRef ref);
bool CloneControl(Kind source_kind, ControlRef source, Kind target_kind, ControlRef& target);

// --- Small services ----------------------------------------------------------------------------

void SetRandomSeed(Opt seed = kOmitted);
std::int32_t RandomInt(Opt min = kOmitted, Opt max = kOmitted);
Text IntToText(std::int32_t value);
std::int32_t ScreenWidth();
std::int32_t ScreenHeight();

// --- For backends and tools --------------------------------------------------------------------

// Posts a key press to the user-interface thread's queue (from any thread).
void PostKey(KeyPress key);
bool IsUserInterfaceThread();
// Time on the stage's clock, in milliseconds.
std::int64_t NowMs();

// The call trace: when a sink is set, every stage operation called on the user-interface thread
// hands it one line "<ms> <operation> <arguments...>". Used by tests and the headless runner.
using TraceSink = std::function<void(std::string_view line)>;
// The media catalogue's name of a block of bytes, for trace lines ("-" when it has none).
using MediaNamer = std::function<std::string(ByteSetView bytes)>;
void SetMediaNamer(MediaNamer namer);
std::string MediaName(ByteSetView bytes);
void SetTraceSink(TraceSink sink);
bool TraceEnabled();
void TraceLine(std::string_view operation, std::string_view arguments);

}  // namespace stage
