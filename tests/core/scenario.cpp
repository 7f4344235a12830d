#include "tests/core/scenario.h"

namespace stage::testing {

WindowDefinition TestWindow(std::vector<ControlDefinition> controls, Handler created) {
  WindowDefinition w;
  w.window_id = kTestWindow;
  ControlDefinition self;
  self.kind = Kind::Window;
  self.id = kWindowItself;
  self.left = 50;
  self.top = 50;
  self.width = 612;
  self.height = 469;
  self.flags = kFlagVisible;
  self.properties = {{window_property::kStartPosition, 3}, {window_property::kEscCloses, 1}};
  if (created != nullptr) self.events = {{kEventCreated, created}};
  w.records.push_back(self);
  for (auto& c : controls) w.records.push_back(std::move(c));
  return w;
}

ControlDefinition Control(Kind kind, std::uint32_t id, const char* name, Rect place,
                          std::uint32_t flags, PropertyBlock properties,
                          std::vector<EventBinding> events) {
  ControlDefinition d;
  d.kind = kind;
  d.id = id;
  d.name = name;
  d.left = place.left;
  d.top = place.top;
  d.width = place.width();
  d.height = place.height();
  d.flags = flags;
  d.properties = std::move(properties);
  d.events = std::move(events);
  return d;
}

namespace {
int LoadAndLoop() {
  InitStage();
  LoadWindow(kTestWindow);
  RunEventLoop();
  return 0;
}
}  // namespace

void RunScenario(std::vector<WindowDefinition> definitions, HeadlessBackend* backend) {
  static std::vector<WindowDefinition> stored;
  stored = std::move(definitions);
  if (backend == nullptr) backend = new HeadlessBackend();
  BootStage(*backend, stored);
  RunProgram(LoadAndLoop);
}

}  // namespace stage::testing
