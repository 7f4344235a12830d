// Runs the whole show on the headless backend with one or more faults injected, and checks, as
// the process ends, that it ended the documented way:
//
//   - the trace is well formed (every line "<ms> <operation> ...", time never going back) and
//     ends with the exit line;
//   - the exit routine ran exactly once after a normal end, and never after a fatal report;
//   - when the exit routine ran, every worker was already parked, so none can read the flower
//     families it frees;
//   - the end-of-program stop left no sound thread behind;
//   - with Esc, the window closed at or after the key, or the show ended by itself first, and
//     no tick ran after the close;
//   - under LeakSanitizer, nothing leaked.
//
//   fault_show [--esc-at MS]... [--no-audio] [--stall-audio-after BLOCKS] [--fail-picture NAME]
//              [--no-desktop] [--fatal-at MS] [--size WxH] [--trace FILE] [--watchdog S]
//
// --stall-audio-after N lets the device play N blocks and then hang (0: hung from the start);
// --fail-picture makes LoadPicture refuse that catalogue picture ("all" refuses every one);
// --fatal-at raises a fatal report (code 1) from a worker thread at that moment.
//
// Exit code: the program's own (0, or 255 for -1); 3 when a check failed; 124 from the
// watchdog, after the given real seconds (default 120), with the clock's waits on stderr.

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "media/catalogue.h"
#include "show/show.h"
#include "stage/core/internal.h"
#include "stage/core/stage.h"
#include "stage/draw/canvas.h"
#include "stage/draw/drawing.h"
#include "stage/platform/headless/headless.h"
#include "stage/sound/headless_audio.h"
#include "stage/sound/sound.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FAULT_SHOW_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define FAULT_SHOW_ASAN 1
#endif
#ifdef FAULT_SHOW_ASAN
#include <sanitizer/lsan_interface.h>
#endif

namespace {

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "fault_show: check failed: %s\n", what.c_str());
  std::fflush(stderr);
  _exit(3);
}

[[noreturn]] void Usage(const char* problem) {
  std::fprintf(stderr, "fault_show: %s\n", problem);
  std::exit(2);
}

struct Line {
  std::int64_t ms = -1;
  std::string op;
  std::string args;
};

// What the trace sink saw; only the user-interface thread writes it.
std::vector<Line> g_trace;
bool g_workers_parked_at_exit_routine = true;

// The headless backend with the desktop capture failing on request.
class FaultBackend : public stage::HeadlessBackend {
 public:
  FaultBackend(const stage::HeadlessOptions& options, bool capture_fails)
      : HeadlessBackend(options), capture_fails_(capture_fails) {}
  bool CaptureDesktop(stage::DesktopPicture& desktop) override {
    if (capture_fails_) return false;
    return HeadlessBackend::CaptureDesktop(desktop);
  }

 private:
  bool capture_fails_;
};

// An audio device that plays the first `good_blocks` blocks of each stream and then takes
// blocks without ever playing them, as a device that hangs in the middle of a clip does.
class StallingOutput : public stage::AudioOutput {
 public:
  StallingOutput(stage::Clock& clock, int good_blocks)
      : device_(clock, stage::HeadlessAudio::Options{}), good_blocks_(good_blocks) {}

  int DeviceCount() override { return device_.DeviceCount(); }

  std::unique_ptr<stage::AudioStream> Open(std::span<const std::uint8_t> format,
                                           stage::BlockDone done) override {
    auto stream = std::make_unique<Stream>(good_blocks_, std::move(done));
    stream->inner = device_.Open(format, [s = stream.get()](int block) { s->done(block); });
    if (stream->inner == nullptr) return nullptr;
    return stream;
  }

 private:
  struct Stream : stage::AudioStream {
    Stream(int good, stage::BlockDone d) : good_blocks(good), done(std::move(d)) {}
    ~Stream() override { inner.reset(); }
    bool Queue(int block, std::span<const std::uint8_t> bytes) override {
      std::lock_guard lock(mutex);
      if (queued < good_blocks) {
        ++queued;
        return inner->Queue(block, bytes);
      }
      held.push_back(block);  // the hung device keeps it
      return true;
    }
    void Pause() override { inner->Pause(); }
    void Reset() override {
      inner->Reset();
      std::deque<int> back;
      {
        std::lock_guard lock(mutex);
        back.swap(held);
      }
      for (int block : back) done(block);
    }

    const int good_blocks;
    stage::BlockDone done;
    std::unique_ptr<stage::AudioStream> inner;
    std::mutex mutex;
    int queued = 0;
    std::deque<int> held;
  };

  stage::HeadlessAudio device_;
  const int good_blocks_;
};

struct Faults {
  std::vector<std::int64_t> esc_at;
  bool no_audio = false;
  int stall_after = -1;  // -1: no stall
  std::string fail_picture;
  bool no_desktop = false;
  std::int64_t fatal_at = -1;
  int width = 1920, height = 1080;
  const char* trace_path = nullptr;
  int watchdog_seconds = 120;
};

Faults g_faults;

Line Parse(std::string_view text) {
  Line line;
  std::istringstream in{std::string(text)};
  if (!(in >> line.ms >> line.op)) line.ms = -1;
  std::getline(in, line.args);
  if (!line.args.empty() && line.args.front() == ' ') line.args.erase(0, 1);
  return line;
}

bool AllWorkersParked() {
  stage::internal::StageState& s = stage::internal::State();
  std::lock_guard lock(stage::internal::CurrentClock().mutex());
  return s.parked_workers >= s.live_workers;
}

std::size_t Count(const std::string& op) {
  std::size_t n = 0;
  for (const Line& line : g_trace) n += line.op == op;
  return n;
}

const Line* First(const std::string& op) {
  for (const Line& line : g_trace) {
    if (line.op == op) return &line;
  }
  return nullptr;
}

void CheckRun() {
  if (g_faults.trace_path != nullptr) {
    if (FILE* f = std::fopen(g_faults.trace_path, "w")) {
      for (const Line& line : g_trace) {
        std::fprintf(f, "%lld %s%s%s\n", static_cast<long long>(line.ms), line.op.c_str(),
                     line.args.empty() ? "" : " ", line.args.c_str());
      }
      std::fclose(f);
    }
  }
  if (g_trace.empty()) Fail("empty trace");
  std::int64_t last_ms = 0;
  for (const Line& line : g_trace) {
    if (line.ms < 0 || line.op.empty()) Fail("malformed trace line");
    if (line.ms < last_ms) Fail("time went back at " + line.op);
    last_ms = line.ms;
  }
  if (g_trace.front().op != "InitStage") Fail("the trace does not begin with InitStage");
  const Line& exit_line = g_trace.back();
  if (exit_line.op != "Exit") Fail("the trace does not end with Exit");
  if (Count("Exit") != 1) Fail("more than one Exit");

  const bool fatal =
      g_faults.fatal_at >= 0 && First("EndProgram") != nullptr && First("EndProgram")->args == "-1";
  const std::size_t routines = Count("ExitRoutine");
  if (fatal) {
    if (exit_line.args != "-1") Fail("a fatal report did not end with -1");
    if (routines != 0) Fail("the exit routine ran after a fatal report");
  } else {
    if (exit_line.args != "0") Fail("exit code " + exit_line.args + " instead of 0");
    if (routines != 1) Fail("the exit routine ran " + std::to_string(routines) + " times");
    // Nothing of the show may run between the exit routine and the exit.
    bool after = false;
    for (const Line& line : g_trace) {
      if (line.op == "ExitRoutine")
        after = true;
      else if (after && line.op != "Exit")
        Fail(line.op + " after the exit routine");
    }
  }
  if (!g_workers_parked_at_exit_routine) Fail("a worker was still running at the exit routine");
  if (stage::ActiveSoundPlayers() != 0) Fail("a sound player outlived the end");

  const Line* close = First("Close");
  const Line* end = First("EndProgram");
  if (!fatal) {
    if ((close != nullptr) + (end != nullptr) != 1) Fail("neither or both of Close and EndProgram");
  }
  if (close != nullptr) {
    if (g_faults.esc_at.empty()) Fail("closed without Esc");
    std::int64_t first_esc = g_faults.esc_at.front();
    for (std::int64_t ms : g_faults.esc_at) first_esc = std::min(first_esc, ms);
    if (close->ms < first_esc) Fail("closed before the key");
    bool after = false;
    for (const Line& line : g_trace) {
      if (&line == close)
        after = true;
      else if (after && line.op == "Tick")
        Fail("a tick after the close");
    }
  }
#ifdef FAULT_SHOW_ASAN
  // The process ends with _exit, which skips LeakSanitizer's own check at exit.
  if (__lsan_do_recoverable_leak_check() != 0) Fail("memory leaked");
#endif
  std::fprintf(stderr, "fault_show: ok, exit %s at %lld ms\n", exit_line.args.c_str(),
               static_cast<long long>(exit_line.ms));
}

void FatalWorker(std::int32_t) {
  stage::Delay(static_cast<std::int32_t>(g_faults.fatal_at));
  stage::ReportRuntimeError(1);
}

void Watchdog(int) {
  static const char message[] = "fault_show: watchdog: the run did not end in time\n";
  [[maybe_unused]] ssize_t n = write(2, message, sizeof message - 1);
  _exit(124);
}

bool ParseInt(std::string_view text, long long& value) {
  if (text.empty()) return false;
  std::string s(text);
  char* end = nullptr;
  value = std::strtoll(s.c_str(), &end, 10);
  return end != nullptr && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  Faults& f = g_faults;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    auto value = [&]() -> std::string_view {
      if (i + 1 >= argc) Usage("missing value");
      return argv[++i];
    };
    long long n = 0;
    if (arg == "--esc-at") {
      if (!ParseInt(value(), n) || n < 0) Usage("--esc-at takes milliseconds");
      f.esc_at.push_back(n);
    } else if (arg == "--no-audio") {
      f.no_audio = true;
    } else if (arg == "--stall-audio-after") {
      if (!ParseInt(value(), n) || n < 0) Usage("--stall-audio-after takes a block count");
      f.stall_after = static_cast<int>(n);
    } else if (arg == "--fail-picture") {
      f.fail_picture = std::string(value());
    } else if (arg == "--no-desktop") {
      f.no_desktop = true;
    } else if (arg == "--fatal-at") {
      if (!ParseInt(value(), n) || n < 0) Usage("--fatal-at takes milliseconds");
      f.fatal_at = n;
    } else if (arg == "--size") {
      const std::string_view v = value();
      const auto x = v.find('x');
      long long w = 0, h = 0;
      if (x == std::string_view::npos || !ParseInt(v.substr(0, x), w) ||
          !ParseInt(v.substr(x + 1), h) || w < 1 || h < 1 || w > 8192 || h > 8192) {
        Usage("--size takes WxH");
      }
      f.width = static_cast<int>(w);
      f.height = static_cast<int>(h);
    } else if (arg == "--trace") {
      f.trace_path = value().data();
    } else if (arg == "--watchdog") {
      if (!ParseInt(value(), n) || n < 1) Usage("--watchdog takes seconds");
      f.watchdog_seconds = static_cast<int>(n);
    } else {
      Usage(("unknown argument " + std::string(arg)).c_str());
    }
  }
  std::signal(SIGALRM, Watchdog);
  alarm(static_cast<unsigned>(f.watchdog_seconds));

  stage::HeadlessOptions options;
  options.width = f.width;
  options.height = f.height;
  options.audio_device = !f.no_audio;
  auto* backend = new FaultBackend(options, f.no_desktop);  // lives until the process ends
  static std::unique_ptr<stage::AudioOutput> stalling;
  if (f.stall_after >= 0 && !f.no_audio) {
    if (f.stall_after == 0) {
      stalling = std::make_unique<stage::HeadlessAudio>(
          backend->clock(), stage::HeadlessAudio::Options{.stalled = true});
    } else {
      stalling = std::make_unique<StallingOutput>(backend->clock(), f.stall_after);
    }
    stage::InitSound(backend->clock(), stalling.get());
  }
  if (!f.fail_picture.empty()) {
    stage::SetPictureRefusal([name = f.fail_picture](stage::ByteSetView bytes) {
      return name == "all" || media::NameOf(bytes) == name;
    });
  }
  stage::SetTraceSink([](std::string_view text) {
    g_trace.push_back(Parse(text));
    // The fatal worker starts once the stage has its user-interface thread, as the show's own
    // workers do.
    if (g_trace.back().op == "InitStage" && g_faults.fatal_at >= 0) {
      stage::StartThread(FatalWorker, 0);
    }
    if (g_trace.back().op == "ExitRoutine") g_workers_parked_at_exit_routine = AllWorkersParked();
  });
  backend->AtExit(CheckRun);
  stage::BootStage(*backend, show::WindowDefinitions());
  stage::SetMediaNamer([](stage::ByteSetView bytes) { return media::NameOf(bytes); });
  stage::InitDrawing(*backend);
  backend->clock().EnterThread("user interface");
  for (std::int64_t ms : f.esc_at) backend->ScheduleKey(ms, stage::KeyPress{stage::kKeyEscape});
  stage::RunProgram(show::ProgramStart);
}
