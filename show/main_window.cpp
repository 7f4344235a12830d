// The main window as data: its own settings, its nine controls, their places, flags, property
// blocks and the three event bindings.

#include "stage/core/text.h"
#include "show/show.h"

namespace show {

using stage::ControlDefinition;
using stage::Kind;
using stage::kDefaultColor;
using stage::PropertyBlock;

namespace {

stage::Text Gbk(const char* utf8) { return stage::Utf8ToGbk(utf8); }

ControlDefinition Record(Kind kind, std::uint32_t id, const char* name, std::int32_t left,
                         std::int32_t top, std::int32_t width, std::int32_t height,
                         std::uint32_t flags, PropertyBlock properties = {},
                         std::vector<stage::EventBinding> events = {}) {
  ControlDefinition d;
  d.kind = kind;
  d.id = id;
  d.name = Gbk(name);
  d.left = left;
  d.top = top;
  d.width = width;
  d.height = height;
  d.flags = flags;
  d.properties = std::move(properties);
  d.events = std::move(events);
  return d;
}

// A picture button showing `picture` with white as its transparent colour.
PropertyBlock FlowerButton(stage::ByteSetView picture) {
  return PropertyBlock{
      {8, 0},                     // ButtonType: push button
      {9, 0},                     // Selected
      {10, stage::ByteSet(picture)},  // NormalPicture, a copy of its own
      {14, 0x00FFFFFF},           // TransparentColor: white
  };
}

}  // namespace

stage::ByteSetView FlowerPicture(int flower);

stage::WindowDefinition MainWindowDefinition() {
  using namespace stage::window_property;
  const PropertyBlock window{
      {kTitle, stage::Text()},  {kBorderStyle, 0},     {kBackColor, kDefaultColor},
      {kBackgroundPicture, stage::ByteSet()},          {kControlBox, 0},
      {kMaxButton, 0},          {kMinButton, 0},       {kStartPosition, 3},
      {kMovable, 1},            {kEscCloses, 1},       {kShowInTaskbar, 0},
      {kDragAnywhere, 0},       {kShape, 0},           {kAlwaysOnTop, 1},
  };
  const PropertyBlock canvas{
      {8, 0},                 // BorderStyle: none
      {9, kDefaultColor},     // BackColor
      {10, stage::ByteSet()}, // BackgroundPicture: none
      {11, 1},                // PictureLayout: tiled
      {12, 0},                // AutoRedraw: off
      {13, 0},                // ScaleUnit: pixels
      {14, 1},                // PenStyle: solid
      {15, 12},               // DrawMode: copy the pen colour
      {16, 0},                // PenWidth
      {17, 0x00000000},       // PenColor: black
      {18, 1},                // BrushStyle: solid
      {19, 0x00FFFFFF},       // BrushColor: white
      {20, 0x0000FF00},       // TextColor: green
      {21, kDefaultColor},    // TextBackColor: no box
      {22, stage::MakeFont(Gbk("楷体_GB2312"), -64, 700, false, false, false, 134, 3, 2, 1, 49)},
  };

  stage::WindowDefinition d;
  d.window_id = kMainWindowId;
  d.records = {
      Record(Kind::Window, stage::kWindowItself, "", 50, 50, 612, 469, stage::kFlagVisible, window,
             {{stage::kEventCreated, OnMainWindowCreated}}),
      Record(Kind::Timer, kBurstTimer.control, "时钟2", 480, 48, 26, 26, 0, {},
             {{stage::kEventTick, OnBurstTimer}}),
      Record(Kind::Label, kBanner.control, "标签1", 392, 80, 80, 24, 0),
      Record(Kind::PicBtn, kFlower5.control, "花5", 88, 224, 144, 128, 0,
             FlowerButton(FlowerPicture(5))),
      Record(Kind::PicBtn, kFlower4.control, "花4", 344, 240, 144, 96, 0,
             FlowerButton(FlowerPicture(4))),
      Record(Kind::PicBtn, kFlower1.control, "花1", 240, 144, 112, 128, 0,
             FlowerButton(FlowerPicture(1))),
      Record(Kind::PicBtn, kFlower3.control, "花3", 200, 264, 120, 112, 0,
             FlowerButton(FlowerPicture(3))),
      Record(Kind::PicBtn, kFlower2.control, "花2", 400, 128, 120, 80, 0,
             FlowerButton(FlowerPicture(2))),
      Record(Kind::Timer, kCountdownTimer.control, "时钟1", 560, 24, 40, 32, 0, {{8, 0}},
             {{stage::kEventTick, OnCountdownTimer}}),
      Record(Kind::DrawPanel, kCanvas.control, "画板1", 32, 24, 88, 72, stage::kFlagVisible, canvas),
  };
  return d;
}

}  // namespace show
