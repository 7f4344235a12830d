#pragma once
// A window as the program stores it: record 0 is the window, then its controls in definition
// order (the first control is the top of the z-order).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "stage/core/types.h"

namespace stage {

using Handler = void (*)();

// Event numbers the stage raises.
inline constexpr int kEventCreated = 0;    // window
inline constexpr int kEventCloseQuery = 1; // window
inline constexpr int kEventTick = 0;       // timer

struct EventBinding {
  int event = 0;
  Handler handler = nullptr;
};

// Record flags.
inline constexpr std::uint32_t kFlagVisible = 1u << 0;
inline constexpr std::uint32_t kFlagDisabled = 1u << 1;
inline constexpr std::uint32_t kFlagTabStop = 1u << 2;

// The stored values of a control's kind-specific properties, by property number. An empty block
// means every kind-specific property has its kind's default.
using PropertyBlock = std::map<int, PropertyValue>;

struct ControlDefinition {
  Kind kind = Kind::Window;
  std::uint32_t id = 0;
  Text name;
  std::int32_t left = 0, top = 0, width = 0, height = 0;
  std::uint32_t container = 0;  // 0: directly on the window
  Text tag;
  std::uint32_t flags = 0;
  std::int32_t tab_order = 0;
  std::vector<EventBinding> events;
  PropertyBlock properties;
};

struct WindowDefinition {
  std::uint32_t window_id = 0;
  std::vector<ControlDefinition> records;  // records[0] is the window itself
};

// Window kind-specific property numbers the stage acts on.
namespace window_property {
inline constexpr int kTitle = 8, kBorderStyle = 9, kBackColor = 10, kBackgroundPicture = 11,
                     kControlBox = 15, kMaxButton = 16, kMinButton = 17, kStartPosition = 18,
                     kMovable = 19, kEscCloses = 22, kShowInTaskbar = 26, kDragAnywhere = 27,
                     kShape = 28, kAlwaysOnTop = 29;
}
namespace timer_property {
inline constexpr int kInterval = 8;
}

}  // namespace stage
