#include "tests/show/show_run.h"

#include <algorithm>
#include <atomic>
#include <sstream>

#include "media/catalogue.h"
#include "show/show.h"
#include "stage/core/controls.h"
#include "stage/core/stage.h"
#include "stage/draw/drawing.h"

namespace show::testing {

std::vector<const TraceLine*> ShowRun::Lines(const std::string& op,
                                             const std::string& first) const {
  std::vector<const TraceLine*> lines;
  for (const TraceLine& line : trace) {
    if (line.op == op && (first.empty() || (!line.args.empty() && line.args[0] == first))) {
      lines.push_back(&line);
    }
  }
  return lines;
}

namespace {

TraceLine Parse(std::string_view text) {
  TraceLine line;
  line.text = std::string(text);
  std::istringstream in(line.text);
  in >> line.ms >> line.op;
  for (std::string arg; in >> arg;) line.args.push_back(arg);
  return line;
}

// The clones of the four picture buttons, in the order they were made.
std::vector<stage::ControlRef> Clones() {
  std::vector<stage::ControlRef> clones;
  for (stage::ControlRecord* r : stage::WindowRecords(kMainWindowId)) {
    if (r->copied_from != 0) clones.push_back({kMainWindowId, r->id});
  }
  std::sort(clones.begin(), clones.end(),
            [](auto a, auto b) { return a.control < b.control; });
  return clones;
}

}  // namespace

void RunShow(const ShowOptions& options, std::function<void(const ShowRun&)> check) {
  static ShowRun run;
  static std::function<void(const ShowRun&)> checker;
  static std::atomic<bool> rain_started{false};  // no more clones are made after this
  checker = std::move(check);
  auto* backend = new stage::HeadlessBackend(options.backend);
  stage::SetTraceSink([](std::string_view line) {
    run.trace.push_back(Parse(line));
    if (run.trace.back().op == "StartThread") rain_started = true;
  });
  backend->AtExit([] { checker(run); });
  stage::BootStage(*backend, show::WindowDefinitions());
  stage::SetMediaNamer([](stage::ByteSetView bytes) { return media::NameOf(bytes); });
  stage::InitDrawing(*backend);
  backend->clock().EnterThread("user interface");
  for (std::int64_t ms : options.esc_at) backend->ScheduleKey(ms, stage::KeyPress{stage::kKeyEscape});
  if (options.sample_ms > 0) {
    const std::int64_t every = options.sample_ms;
    stage::StageThread sampler(backend->clock(), "sampler", [backend, every] {
      // Off the show's 100 ms grid, so that no other thread runs at a sampling instant.
      backend->clock().Sleep(stage::Milliseconds(50), "the first sample");
      for (;;) {
        backend->clock().Sleep(stage::Milliseconds(every), "the next sample");
        if (!rain_started) continue;
        Sample sample;
        sample.ms = stage::NowMs();
        sample.flowers = Clones();
        for (stage::ControlRef flower : sample.flowers) {
          const stage::Rect r = stage::FindLayer(flower)->rect();
          sample.lefts.push_back(r.left);
          sample.tops.push_back(r.top);
        }
        run.samples.push_back(std::move(sample));
      }
    });
    sampler.Detach();
  }
  stage::RunProgram(show::ProgramStart);
}

}  // namespace show::testing
