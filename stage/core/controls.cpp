// Windows and controls: loading a window from its definition, properties, moving, cloning,
// closing.

#include "stage/core/controls.h"

#include <algorithm>
#include <map>
#include <string>

#include "stage/core/internal.h"
#include "stage/core/text.h"

namespace stage {

Handler ControlRecord::HandlerFor(int event) const {
  for (const EventBinding& binding : events) {
    if (binding.event == event) return binding.handler;
  }
  return nullptr;
}

namespace internal {
void PostQuit();
}

using namespace internal;

namespace {

constexpr std::int32_t kPlaceLimit = 32627;
std::uint32_t g_clone_counter = 66750;  // the first clone gets 66751, 0x160104BF

std::map<Kind, BehaviorFactory>& Factories() {
  static auto* factories = new std::map<Kind, BehaviorFactory>;
  return *factories;
}

// Defaults of the kind-specific properties the core itself knows.
PropertyValue KindDefault(Kind kind, int number) {
  switch (kind) {
    case Kind::Label:
      switch (number) {
        case 8:
          return Utf8ToGbk("标签");
        case 17:
          return kDefaultColor;
        case 26:
          return 1;
        default:
          return 0;
      }
    case Kind::Window:
      return number == window_property::kBackColor ? PropertyValue(kDefaultColor)
                                                   : PropertyValue(0);
    case Kind::PicBtn:
      if (number >= 10 && number <= 13) return ByteSet();
      return number == 14 ? PropertyValue(0x00FFFFFF) : PropertyValue(0);
    default:
      return 0;
  }
}

class StoringBehavior : public ControlBehavior {
 public:
  StoringBehavior(Kind kind, const PropertyBlock& stored) : kind_(kind), values_(stored) {}
  void Set(int number, const PropertyValue& value) override { values_[number] = value; }
  PropertyValue Get(int number) const override {
    auto it = values_.find(number);
    return it != values_.end() ? it->second : KindDefault(kind_, number);
  }

 private:
  Kind kind_;
  PropertyBlock values_;
};

// A timer's interval and its platform timer.
class TimerBehavior : public ControlBehavior {
 public:
  TimerBehavior(ControlRecord& record, std::uint32_t window_id, const PropertyBlock& stored) {
    timer_.record = &record;
    timer_.window_id = window_id;
    auto it = stored.find(timer_property::kInterval);
    timer_.interval = it != stored.end() ? std::max(0, AsInt(it->second)) : 0;
    if (timer_.interval > 0) ArmTimer(timer_);
  }
  ~TimerBehavior() override {
    DisarmTimer(timer_);
    std::erase(State().timers, &timer_);
  }
  void Set(int number, const PropertyValue& value) override {
    if (number != timer_property::kInterval) return;
    const std::int32_t interval = std::max(0, AsInt(value));
    if (interval == timer_.interval) return;  // a running timer keeps its phase
    timer_.interval = interval;
    if (timer_.running) DisarmTimer(timer_);
    if (interval > 0) ArmTimer(timer_);
  }
  PropertyValue Get(int number) const override {
    return number == timer_property::kInterval ? timer_.interval : 0;
  }

 private:
  TimerState timer_;
};

std::unique_ptr<ControlBehavior> MakeBehavior(ControlRecord& record, std::uint32_t window_id,
                                              const PropertyBlock& stored) {
  if (record.kind == Kind::Timer) return std::make_unique<TimerBehavior>(record, window_id, stored);
  auto it = Factories().find(record.kind);
  if (it != Factories().end()) return it->second(record.kind, stored);
  return MakeStoringBehavior(record.kind, stored);
}

std::unique_ptr<ControlRecord> MakeRecord(const ControlDefinition& d) {
  auto r = std::make_unique<ControlRecord>();
  r->kind = d.kind;
  r->id = d.id;
  r->name = d.name;
  r->left = d.left;
  r->top = d.top;
  r->width = d.width;
  r->height = d.height;
  r->container = d.container;
  r->tag = d.tag;
  r->flags = d.flags;
  r->tab_order = d.tab_order;
  r->events = d.events;
  r->properties = d.properties;
  return r;
}

ControlDefinition SnapshotOf(const ControlRecord& r) {
  ControlDefinition d;
  d.kind = r.kind;
  d.id = r.id;
  d.name = r.name;
  d.left = r.left;
  d.top = r.top;
  d.width = r.width;
  d.height = r.height;
  d.container = r.container;
  d.tag = r.tag;
  d.flags = r.flags;
  d.tab_order = r.tab_order;
  d.events = r.events;
  d.properties = r.properties;
  return d;
}

Rect StoredRect(const ControlRecord& r) {
  return Rect{r.left, r.top, r.left + r.width, r.top + r.height};
}

// Creates the control's window, hidden, as a child of the window's own layer.
void CreateControlLayer(Window& window, ControlRecord& record) {
  Layer* parent = window.table[0]->layer.get();
  record.layer = std::make_unique<Layer>(record.kind, parent, StoredRect(record));
  parent->AddChildOnTop(record.layer.get());
  record.layer->SetEnabled((record.flags & kFlagDisabled) == 0);
  record.layer->set_behavior(MakeBehavior(record, window.id, record.properties));
  record.layer->behavior()->Attach(*record.layer);
}

ControlRecord* FindIn(Window& window, std::uint32_t control_id) {
  for (auto& record : window.table) {
    if (record->id == control_id) return record.get();
  }
  return nullptr;
}

Window* FindExisting(std::uint32_t window_id) {
  Window* window = FindWindow(window_id);
  return window != nullptr && !window->destroyed ? window : nullptr;
}

bool HasResizableFrame(const ControlRecord& window_record) {
  return AsInt(window_record.layer->behavior()->Get(window_property::kBorderStyle)) == 2;
}

// Shows the top-level window as the end of loading does, by its start position.
void ShowByStartPosition(Window& window) {
  ControlRecord& record = *window.table[0];
  Layer& layer = *record.layer;
  const std::int32_t start = AsInt(layer.behavior()->Get(window_property::kStartPosition));
  if (start == 3 && !HasResizableFrame(record)) {
    const Rect screen{0, 0, ScreenWidth(), ScreenHeight()};
    layer.SetRect(screen);
  }
  layer.SetShown(true);
  CurrentBackend().WindowShown(true);
}

void ShowWindowLayer(Window& window, bool shown) {
  Layer& layer = *window.table[0]->layer;
  if (!shown) {
    layer.SetShown(false);
    CurrentBackend().WindowShown(false);
    return;
  }
  if (window.loading_done && !window.shown_after_load) {
    window.shown_after_load = true;
    ShowByStartPosition(window);
    return;
  }
  layer.SetShown(true);
  CurrentBackend().WindowShown(true);
}

void MoveLayer(Layer& layer, const Rect& rect) {
  if (layer.rect() == rect) return;
  OnUserInterfaceThread([&layer, rect] { layer.SetRect(rect); });
}

std::string RefText(ControlRef ref) { return TraceText(ControlName(ref)); }

std::string ValueText(const PropertyValue& value) {
  if (const auto* i = std::get_if<std::int32_t>(&value)) return std::to_string(*i);
  if (const auto* t = std::get_if<Text>(&value)) return TraceText(*t);
  if (const auto* b = std::get_if<ByteSet>(&value)) return "bytes:" + std::to_string(b->length());
  if (std::holds_alternative<FontDescription>(value)) return "font";
  return "-";
}

std::string OptText(Opt v) { return v ? std::to_string(*v) : "-"; }

// Property access needs the window to exist; a missing control is the same failure as a move.
ControlRecord& RecordForProperty(ControlRef ref) {
  Window* window = FindExisting(ref.window);
  if (window == nullptr) ReportStageError(Utf8ToGbk("未载入欲访问窗口组件所在的窗口"));
  ControlRecord* record = FindIn(*window, ref.control);
  if (record == nullptr) ReportStageError(Utf8ToGbk("指定窗口或窗口组件不存在或尚未载入"));
  return *record;
}

Layer& LayerForMove(ControlRef ref) {
  Layer* layer = FindLayer(ref);
  if (layer == nullptr) ReportStageError(Utf8ToGbk("指定窗口或窗口组件不存在或尚未载入"));
  return *layer;
}

}  // namespace

void SetBehaviorFactory(Kind kind, BehaviorFactory factory) {
  Factories()[kind] = std::move(factory);
}

std::unique_ptr<ControlBehavior> MakeStoringBehavior(Kind kind, const PropertyBlock& stored) {
  return std::make_unique<StoringBehavior>(kind, stored);
}

namespace internal {

Window* FindWindow(std::uint32_t window_id) {
  for (auto& w : State().windows) {
    if (w->id == window_id) return w.get();
  }
  return nullptr;
}

// Destroying a window hides its layers and stops its timers; the records stay in memory until
// the process ends, so that a worker still reading one never reads freed memory.
void DestroyWindow(Window& window) {
  StageState& s = State();
  bool last = true;
  for (auto& w : s.windows) last &= (w.get() == &window || w->destroyed);
  if (last && s.loop_started) {
    // The program is about to end: workers stop at their next stage call instead of finding
    // their controls gone.
    s.parking.store(true, std::memory_order_release);
  }
  window.destroyed = true;
  for (auto& record : window.table) {
    if (record->layer == nullptr) continue;
    if (record->kind == Kind::Timer) record->layer->behavior()->Set(timer_property::kInterval, 0);
    record->layer->SetShown(false);
  }
  CurrentBackend().WindowShown(false);
  if (last && s.loop_started) PostQuit();
}

void DispatchKey(const KeyPress& key) {
  if (key.key != kKeyEscape || key.ctrl || key.shift || key.alt) return;
  for (auto& w : State().windows) {
    if (w->destroyed || !w->table[0]->layer->visible()) continue;
    Layer& layer = *w->table[0]->layer;
    if (AsInt(layer.behavior()->Get(window_property::kEscCloses)) == 0) continue;
    if (TraceEnabled()) TraceLine("Close", "Esc");
    // The close query is unbound, so closing is allowed.
    DestroyWindow(*w);
    return;
  }
}

}  // namespace internal

// --- Look-ups ----------------------------------------------------------------------------------

ControlRecord* FindRecord(ControlRef ref) {
  Window* window = FindExisting(ref.window);
  return window != nullptr ? FindIn(*window, ref.control) : nullptr;
}

Layer* FindLayer(ControlRef ref) {
  ControlRecord* record = FindRecord(ref);
  return record != nullptr ? record->layer.get() : nullptr;
}

Layer* WindowLayer(std::uint32_t window_id) { return FindLayer({window_id, kWindowItself}); }

Text ControlName(ControlRef ref) {
  if (ref.control == kWindowItself) return Utf8ToGbk("窗口");
  ControlRecord* record = FindRecord(ref);
  return record != nullptr ? record->name : Text();
}

std::vector<ControlRecord*> WindowRecords(std::uint32_t window_id) {
  std::vector<ControlRecord*> records;
  if (Window* window = FindExisting(window_id)) {
    for (auto& r : window->table) records.push_back(r.get());
  }
  return records;
}

// --- Loading -----------------------------------------------------------------------------------

void LoadWindow(std::uint32_t window_id) {
  StageState& s = State();
  if (TraceEnabled()) TraceLine("LoadWindow", std::to_string(window_id));
  const WindowDefinition* definition = nullptr;
  for (const auto& d : s.definitions) {
    if (d.window_id == window_id) definition = &d;
  }
  if (definition == nullptr || definition->records.empty() ||
      definition->records[0].kind != Kind::Window) {
    ReportStageError(Utf8ToGbk("载入启动窗口失败"));
  }

  auto owned = std::make_unique<Window>();
  Window& window = *owned;
  window.id = window_id;
  window.snapshot = definition->records;
  for (const ControlDefinition& d : definition->records) window.table.push_back(MakeRecord(d));
  s.windows.push_back(std::move(owned));

  // The window, hidden, at its stored place.
  ControlRecord& self = *window.table[0];
  self.layer = std::make_unique<Layer>(Kind::Window, nullptr, StoredRect(self));
  self.layer->set_behavior(MakeBehavior(self, window_id, self.properties));
  self.layer->behavior()->Attach(*self.layer);
  if (AsInt(self.layer->behavior()->Get(window_property::kStartPosition)) == 1) {
    const std::int32_t w = self.width, h = self.height;
    self.layer->SetRect(Rect{(ScreenWidth() - w) / 2, (ScreenHeight() - h) / 2,
                             (ScreenWidth() - w) / 2 + w, (ScreenHeight() - h) / 2 + h});
  }

  // The controls, from the last record down to the first, each hidden.
  for (std::size_t i = window.table.size() - 1; i >= 1; --i) {
    CreateControlLayer(window, *window.table[i]);
  }
  // Z-order: each record directly below the nearest earlier one in the same container.
  for (std::size_t k = 1; k < window.table.size(); ++k) {
    Layer* above = nullptr;
    for (std::size_t j = k - 1; j >= 1; --j) {
      if (window.table[j]->container == window.table[k]->container) {
        above = window.table[j]->layer.get();
        break;
      }
    }
    self.layer->PlaceBelow(window.table[k]->layer.get(), above);
  }
  for (std::size_t k = 1; k < window.table.size(); ++k) {
    ControlRecord& r = *window.table[k];
    if ((r.flags & kFlagVisible) != 0 && r.kind != Kind::Timer) r.layer->SetShown(true);
  }

  if (Handler created = self.HandlerFor(kEventCreated); created && s.suspension.load() == 0) {
    created();
  }

  if (!window.destroyed && (window.snapshot[0].flags & kFlagVisible) != 0) {
    ShowByStartPosition(window);
  }
  window.loading_done = true;
}

// --- Properties --------------------------------------------------------------------------------

void SetProperty(ControlRef ref, int number, const PropertyValue& value) {
  ParkIfEnding();
  if (TraceEnabled()) {
    TraceLine("SetProperty", RefText(ref) + " " + std::to_string(number) + " " + ValueText(value));
  }
  ControlRecord& record = RecordForProperty(ref);
  Layer* layer = record.layer.get();
  switch (number) {
    case kLeft:
    case kTop: {
      const std::int32_t v = std::clamp(AsInt(value), -kPlaceLimit, kPlaceLimit);
      (number == kLeft ? record.left : record.top) = v;
      if (layer != nullptr) {
        Rect r = layer->rect();
        const std::int32_t w = r.width(), h = r.height();
        if (number == kLeft) r.left = v; else r.top = v;
        r.right = r.left + w;
        r.bottom = r.top + h;
        MoveLayer(*layer, r);
      }
      return;
    }
    case kWidth:
    case kHeight: {
      const std::int32_t v = std::clamp(AsInt(value), 0, kPlaceLimit);
      (number == kWidth ? record.width : record.height) = v;
      if (layer != nullptr) {
        Rect r = layer->rect();
        if (number == kWidth) r.right = r.left + v; else r.bottom = r.top + v;
        MoveLayer(*layer, r);
      }
      return;
    }
    case kTag:
      record.tag = AsText(value);
      return;
    case kVisible: {
      const bool on = AsInt(value) != 0;
      if (on) record.flags |= kFlagVisible; else record.flags &= ~kFlagVisible;
      if (layer == nullptr || record.kind == Kind::Timer) return;
      if (record.kind == Kind::Window) {
        Window* window = FindExisting(ref.window);
        OnUserInterfaceThread([window, on] { ShowWindowLayer(*window, on); });
      } else {
        OnUserInterfaceThread([layer, on] { layer->SetShown(on); });
      }
      return;
    }
    case kDisabled: {
      const bool on = AsInt(value) != 0;
      if (on) record.flags |= kFlagDisabled; else record.flags &= ~kFlagDisabled;
      if (layer != nullptr) layer->SetEnabled(!on);
      return;
    }
    case kCursor:
      return;
    default:
      if (layer == nullptr) ReportStageError(Utf8ToGbk("指定窗口尚未载入"));
      layer->behavior()->Set(number, value);
  }
}

PropertyValue GetProperty(ControlRef ref, int number) {
  ParkIfEnding();
  ControlRecord& record = RecordForProperty(ref);
  const Layer* layer = record.layer.get();
  PropertyValue result;
  switch (number) {
    case kLeft:
      result = layer != nullptr ? layer->rect().left : record.left.load();
      break;
    case kTop:
      result = layer != nullptr ? layer->rect().top : record.top.load();
      break;
    case kWidth:
      result = layer != nullptr ? layer->rect().width() : record.width.load();
      break;
    case kHeight:
      result = layer != nullptr ? layer->rect().height() : record.height.load();
      break;
    case kTag:
      result = record.tag;
      break;
    case kVisible:
      result = (layer != nullptr ? layer->visible() : (record.flags & kFlagVisible) != 0) ? 1 : 0;
      break;
    case kDisabled:
      result = (record.flags & kFlagDisabled) != 0 ? 1 : 0;
      break;
    case kCursor:
      break;
    default:
      if (layer == nullptr) ReportStageError(Utf8ToGbk("指定窗口尚未载入"));
      result = layer->behavior()->Get(number);
  }
  if (TraceEnabled()) {
    TraceLine("GetProperty", RefText(ref) + " " + std::to_string(number) + " " + ValueText(result));
  }
  return result;
}

void MoveControl(ControlRef ref, Opt left, Opt top, Opt width, Opt height) {
  ParkIfEnding();
  if (TraceEnabled()) {
    TraceLine("MoveControl", RefText(ref) + " " + OptText(left) + " " + OptText(top) + " " +
                                 OptText(width) + " " + OptText(height));
  }
  Layer& layer = LayerForMove(ref);
  Rect r = layer.rect();
  const std::int32_t w = r.width(), h = r.height();
  if (left) {
    r.left = *left;
    r.right = r.left + w;
  }
  if (top) {
    r.top = *top;
    r.bottom = r.top + h;
  }
  if (width && *width != -1) r.right = r.left + *width;
  if (height && *height != -1) r.bottom = r.top + *height;
  MoveLayer(layer, r);
}

void RefreshWindow(ControlRef ref) {
  ParkIfEnding();
  if (TraceEnabled()) TraceLine("RefreshWindow", RefText(ref));
  Layer& layer = LayerForMove(ref);
  ScreenObserver* screen = Layer::observer();
  if (IsUserInterfaceThread()) {
    screen->PaintLayerNow(layer);
  } else if (screen->LayerWaitsForPaint(layer)) {
    OnUserInterfaceThread([&layer, screen] { screen->PaintLayerNow(layer); });
  }
}

namespace {
bool Clone(Kind source_kind, ControlRef source, Kind target_kind, ControlRef& target);
}

bool CloneControl(Kind source_kind, ControlRef source, Kind target_kind, ControlRef& target) {
  ParkIfEnding();
  const bool made = Clone(source_kind, source, target_kind, target);
  if (TraceEnabled()) {
    TraceLine("CloneControl", RefText(source) + " " + (made ? std::to_string(target.control) : "false"));
  }
  return made;
}

namespace {
bool Clone(Kind source_kind, ControlRef source, Kind target_kind, ControlRef& target) {
  if (source_kind != target_kind) return false;
  Window* window = FindExisting(source.window);
  if (window == nullptr || source.control == kWindowItself) return false;
  auto at = std::find_if(window->table.begin() + 1, window->table.end(),
                         [&](const auto& r) { return r->id == source.control; });
  if (at == window->table.end() || (*at)->layer == nullptr) return false;
  ControlRecord& original = **at;

  const ControlDefinition* stored = nullptr;
  for (const ControlDefinition& d : window->snapshot) {
    if (d.id == source.control) stored = &d;
  }
  auto copy = MakeRecord(stored != nullptr ? *stored : SnapshotOf(original));
  copy->copied_from = original.id;
  copy->events.clear();
  copy->id = 0x16000000u | ++g_clone_counter;
  ControlRecord& clone = *copy;
  window->table.insert(at, std::move(copy));

  CreateControlLayer(*window, clone);
  window->table[0]->layer->PlaceBelow(clone.layer.get(), original.layer.get());
  target = ControlRef{source.window, clone.id};
  return true;
}
}  // namespace

}  // namespace stage
