#pragma once
// The loaded windows' control tables, for the stage's own modules (drawing, the headless
// runner, tests). The show uses stage.h only.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "stage/core/definition.h"
#include "stage/core/screen.h"

namespace stage {

// One record of a loaded window's control table.
struct ControlRecord {
  Kind kind = Kind::Window;
  std::uint32_t id = 0;
  std::uint32_t copied_from = 0;
  Text name, remark;
  std::unique_ptr<Layer> layer;  // the control's window; absent until created
  // Stored place and size; written by whichever thread writes the property.
  std::atomic<std::int32_t> left{0}, top{0}, width{0}, height{0};
  std::uint32_t container = 0;
  Text tag;
  std::atomic<std::uint32_t> flags{0};
  std::int32_t tab_order = 0;
  std::vector<EventBinding> events;
  PropertyBlock properties;

  Handler HandlerFor(int event) const;
};

// Makes the behaviour of one control kind from its stored property block. The drawing module
// installs factories for the kinds it paints; the core's own factory stores values only.
using BehaviorFactory =
    std::function<std::unique_ptr<ControlBehavior>(Kind kind, const PropertyBlock& stored)>;
void SetBehaviorFactory(Kind kind, BehaviorFactory factory);
// A behaviour that stores every value and answers the kind's defaults for the rest.
std::unique_ptr<ControlBehavior> MakeStoringBehavior(Kind kind, const PropertyBlock& stored);

// Look-ups. They never wait; nullptr when absent.
ControlRecord* FindRecord(ControlRef ref);
Layer* FindLayer(ControlRef ref);
// The top-level layer of the window, if it exists.
Layer* WindowLayer(std::uint32_t window_id);
// The name of a control (GBK), empty if unknown.
Text ControlName(ControlRef ref);
// Records of a loaded window in table order (record 0 first).
std::vector<ControlRecord*> WindowRecords(std::uint32_t window_id);

}  // namespace stage
