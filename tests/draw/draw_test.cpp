// Canvas drawing, the picture button, the label and the snapshot on the headless stage. Each
// scenario runs in a process of its own (the stage's state is the process's).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "stage/core/controls.h"
#include "stage/core/stage.h"
#include "stage/core/text.h"
#include "stage/draw/canvas.h"
#include "stage/draw/compositor.h"
#include "stage/draw/drawing.h"
#include "stage/draw/raster.h"
#include "stage/picture/picture.h"
#include "tests/core/scenario.h"
#include "tests/draw/draw_fixtures.h"

namespace stage::testing {
namespace {

using ::testing::ExitedWithCode;
using namespace draw_test;

class DrawTest : public ::testing::Test {
 protected:
  void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

constexpr std::uint32_t kCanvas = 0x16000020, kLabel = 0x16000030, kButton = 0x16000041,
                        kTimer = 0x16000010;
const ControlRef canvas = Ref(kCanvas);

constexpr Color kBack = MakeColor(0x10, 0x20, 0x30);
constexpr std::uint32_t kBackPixel = 0x102030;

HeadlessBackend* g_backend = nullptr;
std::int32_t g_width = 0, g_height = 0;

ControlDefinition Canvas(PropertyBlock extra = {}) {
  PropertyBlock p{{9, kBack}, {11, 1}, {20, 0x0000FF00}, {21, kDefaultColor}};
  for (auto& [k, v] : extra) p[k] = v;
  return Control(Kind::DrawPanel, kCanvas, "canvas", {32, 24, 120, 96}, kFlagVisible, p);
}

ControlDefinition Button(std::uint32_t id, Rect place, PropertyBlock p) {
  return Control(Kind::PicBtn, id, "button", place, kFlagVisible, std::move(p));
}

[[noreturn]] void RunDrawing(std::vector<ControlDefinition> controls, Handler created,
                             std::int32_t width = 320, std::int32_t height = 240) {
  g_width = width;
  g_height = height;
  HeadlessOptions options;
  options.width = width;
  options.height = height;
  options.audio_device = false;
  g_backend = new HeadlessBackend(options);
  InitDrawing(*g_backend);
  RunScenario({TestWindow(std::move(controls), created)}, g_backend);
}

// The window and the canvas over the whole screen, shown and painted.
void ShowFullScreen() {
  MoveControl(Ref(kWindowItself), 0, 0, g_width, g_height);
  MoveControl(canvas, 0, 0, g_width, g_height);
  SetProperty(Ref(kWindowItself), kVisible, 1);
  ProcessEvents();
}

std::uint32_t Px(int x, int y) {
  return draw::Compositor::Current()->PixelAt(x, y);
}

PictureValue Load(const ByteSet& bytes) {
  return LoadPicture(bytes.view());
}

// --- DrawPicture ------------------------------------------------------------------------------

void CheckModesAndSizes() {
  ShowFullScreen();
  const PictureValue pic = Load(MakeBmp(2, 2, {0x123456, 0xFFFFFF, 0x000000, 0xABCDEF}));
  SCENARIO_CHECK(pic != 0);
  const std::uint32_t d = kBackPixel;
  struct Case {
    Opt mode;
    std::uint32_t at00, at10;  // expected pixels over the picture's first two pixels
  } cases[] = {
      {kOmitted, 0x123456, 0xFFFFFF},
      {1, 0x123456, 0xFFFFFF},
      {2, ~0x123456u & 0xFFFFFF, 0},
      {3, 0x123456 ^ d, 0xFFFFFF ^ d},
      {4, 0x123456 | d, 0xFFFFFF},
      {5, 0x123456 & d, d},
      {0x00BB0226, (~0x123456u | d) & 0xFFFFFF, d},  // MERGEPAINT as its own code
      {kTransparentWhite, 0x123456, d},
  };
  for (const Case& c : cases) {
    ClearCanvas(canvas);
    DrawPicture(canvas, pic, 10, 10, kOmitted, kOmitted, c.mode);
    SCENARIO_CHECK(Px(10, 10) == c.at00);
    SCENARIO_CHECK(Px(11, 10) == c.at10);
    SCENARIO_CHECK(Px(12, 10) == d && Px(10, 12) == d && Px(9, 10) == d);
  }
  // Sizes: omitted and -1 are natural, each independently; nothing for an empty size or a
  // value that names no picture.
  ClearCanvas(canvas);
  DrawPicture(canvas, pic, 0, 0, 6, kOmitted);
  SCENARIO_CHECK(Px(5, 1) != d && Px(6, 0) == d && Px(0, 2) == d);
  ClearCanvas(canvas);
  DrawPicture(canvas, pic, 0, 0, -1, 5);
  SCENARIO_CHECK(Px(1, 4) != d && Px(2, 0) == d && Px(0, 5) == d);
  ClearCanvas(canvas);
  DrawPicture(canvas, pic, 0, 0, 0, 5);
  DrawPicture(canvas, 0, 0, 0);
  DrawPicture(canvas, 999, 0, 0);
  SCENARIO_CHECK(LoadPicture(ByteSet().view()) == 0);
  SCENARIO_CHECK(Load(ByteSet(Bytes{'n', 'o', 'p', 'e', '!', '!', '!'})) == 0);
  // Coordinates and sizes at the ends of the integer range are clipped, not overflowed.
  DrawPicture(canvas, pic, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MAX, kTransparentWhite);
  DrawPicture(canvas, pic, -2000000000, 0, INT32_MAX, 10);
  DrawPicture(canvas, pic, INT32_MIN, INT32_MIN);
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) SCENARIO_CHECK(Px(x, y) == d);
  }
  // Loading twice gives two entries.
  const ByteSet bytes = SolidBmp(1, 1, 0);
  SCENARIO_CHECK(Load(bytes) != Load(bytes));

  // A 1010 x 737 picture at 400 x 400 is scaled down whole: each quadrant's colour reaches its
  // own corner of the destination, and nothing lies beyond it.
  std::vector<std::uint32_t> big(1010 * 737);
  for (int y = 0; y < 737; ++y) {
    for (int x = 0; x < 1010; ++x) {
      big[y * 1010 + x] = (x < 505 ? 0xFF0000 : 0x00FF00) | (y < 368 ? 0 : 0x0000FF);
    }
  }
  ClearCanvas(canvas);
  DrawPicture(canvas, Load(MakeBmp(1010, 737, big)), 0, 0, 400, 400, kTransparentWhite);
  SCENARIO_CHECK(Px(0, 0) == 0xFF0000 && Px(399, 0) == 0x00FF00);
  SCENARIO_CHECK(Px(0, 399) == 0xFF00FF && Px(399, 399) == 0x00FFFF);
  SCENARIO_CHECK(Px(400, 0) == d && Px(0, 400) == d);
  EndProgram(0);
}

TEST_F(DrawTest, DrawPictureModesAndSizes) {
  EXPECT_EXIT(RunDrawing({Canvas()}, CheckModesAndSizes, 640, 480), ExitedWithCode(0), "");
}

void CheckTransparency() {
  ShowFullScreen();
  const std::vector<std::uint32_t> rose = RosePixels(20, 16);
  DrawPicture(canvas, Load(MakeGif(20, 16, rose)), 5, 6, kOmitted, kOmitted, kTransparentWhite);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 20; ++x) {
      const std::uint32_t p = rose[y * 20 + x];
      SCENARIO_CHECK(Px(5 + x, 6 + y) == (p == 0xFFFFFF ? kBackPixel : p));
    }
  }
  SCENARIO_CHECK(Px(15, 14) == kBackPixel);  // the white hole in the middle of the rose
  // Without white the picture is an opaque rectangle.
  DrawPicture(canvas, Load(SolidBmp(6, 4, 0x00FF00)), 50, 50, kOmitted, kOmitted,
              kTransparentWhite);
  for (int y = 49; y <= 54; ++y) {
    for (int x = 49; x <= 56; ++x) {
      const bool inside = x >= 50 && x < 56 && y >= 50 && y < 54;
      SCENARIO_CHECK(Px(x, y) == (inside ? 0x00FF00 : kBackPixel));
    }
  }
  // Another key: black is left out instead.
  DrawPicture(canvas, Load(MakeBmp(2, 1, {0x000000, 0xFFFFFF})), 80, 80, kOmitted, kOmitted, -0);
  DrawPicture(canvas, Load(MakeBmp(2, 1, {0x000000, 0xFFFFFF})), 90, 80, kOmitted, kOmitted, -1);
  SCENARIO_CHECK(Px(90, 80) == 0x000000 && Px(91, 80) == 0xFFFFFF);  // key 1 matches nothing
  // Stretched twice: the white ground stays out, the disc's body is drawn.
  DrawPicture(canvas, Load(MakeGif(20, 16, rose)), 100, 100, 40, 32, kTransparentWhite);
  SCENARIO_CHECK(Px(100, 100) == kBackPixel && Px(139, 131) == kBackPixel);
  SCENARIO_CHECK(Px(116, 112) == 0xD01020);
  EndProgram(0);
}

TEST_F(DrawTest, TransparentDrawingLeavesOutTheKeyColour) {
  EXPECT_EXIT(RunDrawing({Canvas()}, CheckTransparency), ExitedWithCode(0), "");
}

// --- Background and ClearCanvas ---------------------------------------------------------------

void SetBackground(std::int32_t layout, const ByteSet& bytes) {
  SetProperty(canvas, 11, layout);
  SetProperty(canvas, 10, bytes);
  ProcessEvents();
}

void CheckLayouts() {
  ShowFullScreen();
  const std::vector<std::uint32_t> p{1, 2, 3, 4, 5, 6};  // 3 x 2
  const ByteSet small = MakeBmp(3, 2, p);
  SetBackground(0, small);
  SCENARIO_CHECK(Px(0, 0) == 1 && Px(2, 1) == 6 && Px(3, 0) == kBackPixel &&
                 Px(0, 2) == kBackPixel);
  SetBackground(1, small);
  for (auto [x, y] : {std::pair{0, 0}, {3, 0}, {4, 3}, {319, 239}, {100, 57}}) {
    SCENARIO_CHECK(Px(x, y) == p[(y % 2) * 3 + x % 3]);
  }
  SetBackground(2, small);  // centred, never enlarged
  SCENARIO_CHECK(Px(158, 119) == 1 && Px(160, 120) == 6);
  SCENARIO_CHECK(Px(157, 119) == kBackPixel && Px(158, 118) == kBackPixel);
  SetBackground(7, small);
  SCENARIO_CHECK(Px(0, 0) == kBackPixel && Px(158, 119) == kBackPixel);

  // Larger than the canvas: cut at the right and bottom by 0 and 1, fitted by 2.
  std::vector<std::uint32_t> wide(400 * 100);
  for (int y = 0; y < 100; ++y) {
    for (int x = 0; x < 400; ++x) wide[y * 400 + x] = x < 200 ? 0xAA0000 : 0x0000AA;
  }
  const ByteSet large = MakeBmp(400, 100, wide);
  SetBackground(0, large);
  SCENARIO_CHECK(Px(319, 99) == 0x0000AA && Px(0, 100) == kBackPixel);
  SetBackground(1, large);
  SCENARIO_CHECK(Px(319, 99) == 0x0000AA && Px(0, 100) == 0xAA0000);
  SetBackground(2, large);  // 320 x 80, centred vertically
  SCENARIO_CHECK(Px(0, 79) == kBackPixel && Px(0, 80) == 0xAA0000 && Px(319, 159) == 0x0000AA);
  SCENARIO_CHECK(Px(0, 160) == kBackPixel);
  EndProgram(0);
}

TEST_F(DrawTest, PictureLayoutsPlaceTheBackground) {
  EXPECT_EXIT(RunDrawing({Canvas()}, CheckLayouts), ExitedWithCode(0), "");
}

constexpr std::uint32_t kInk = 0x804020;
void Cover(std::uint32_t pixel) {
  DrawPicture(canvas, Load(SolidBmp(g_width, g_height, pixel)), 0, 0);
}

void CheckClearCanvas() {
  ShowFullScreen();
  SetProperty(canvas, 21, MakeColor(0x20, 0x40, 0x80));  // text on a box, in the ink colour
  SetProperty(canvas, 20, MakeColor(0x20, 0x40, 0x80));
  struct Case {
    Opt left, top, width, height;
    Rect cleared;
  } cases[] = {
      {50, 40, -20, -10, {30, 30, 50, 40}},  // swapped edges
      {10, kOmitted, kOmitted, kOmitted, {10, 0, 320, 240}},
      {kOmitted, kOmitted, 5, kOmitted, {0, 0, 5, 240}},
      {kOmitted, 200, kOmitted, 7, {0, 200, 320, 207}},
      {kOmitted, kOmitted, kOmitted, kOmitted, {0, 0, 320, 240}},
      {10, 20, INT32_MAX, INT32_MAX, {10, 20, 320, 240}},
  };
  for (const Case& c : cases) {
    Cover(kInk);
    ClearCanvas(canvas, c.left, c.top, c.width, c.height);
    const Rect r = c.cleared;
    for (auto [x, y] : {std::pair{r.left, r.top}, {r.right - 1, r.bottom - 1}}) {
      SCENARIO_CHECK(Px(x, y) == kBackPixel);
    }
    if (r.left > 0) SCENARIO_CHECK(Px(r.left - 1, r.top) == kInk);
    if (r.bottom < 240) SCENARIO_CHECK(Px(r.left, r.bottom) == kInk);
    // The text cursor is the cleared rectangle's top-left corner.
    WriteText(canvas, kOmitted, kOmitted, "W");
    SCENARIO_CHECK(Px(r.left, r.top) == 0x204080);
  }
  EndProgram(0);
}

TEST_F(DrawTest, ClearCanvasNormalisesItsRectangleAndMovesTheCursor) {
  EXPECT_EXIT(RunDrawing({Canvas()}, CheckClearCanvas), ExitedWithCode(0), "");
}

void CheckBackgroundRewrite() {
  ShowFullScreen();
  const ByteSet ground = SolidBmp(320, 240, 0x336699);
  SetBackground(1, ground);
  SCENARIO_CHECK(Px(5, 5) == 0x336699);
  Cover(kInk);
  SetProperty(canvas, 10, ground);   // the same bytes
  SCENARIO_CHECK(Px(5, 5) == kInk);  // invalidated, not yet erased
  ProcessEvents();
  SCENARIO_CHECK(Px(5, 5) == 0x336699);
  SCENARIO_CHECK(std::get<ByteSet>(GetProperty(canvas, 10)).length() == ground.length());
  Cover(kInk);
  SetProperty(canvas, 10, ByteSet(Bytes{'B', 'M', 1, 2, 3, 4, 5, 6}));
  ProcessEvents();
  SCENARIO_CHECK(Px(5, 5) == kBackPixel && Px(319, 239) == kBackPixel);
  SCENARIO_CHECK(std::get<ByteSet>(GetProperty(canvas, 10)).empty());
  // BackColor: the same value changes nothing, another repaints.
  Cover(kInk);
  SetProperty(canvas, 9, kBack);
  SCENARIO_CHECK(!Layer::observer()->HasInvalid());
  SetProperty(canvas, 9, kDefaultColor);
  ProcessEvents();
  SCENARIO_CHECK(Px(5, 5) == draw::kFacePixel);
  EndProgram(0);
}

TEST_F(DrawTest, WritingTheBackgroundErasesAtTheNextRepaint) {
  EXPECT_EXIT(RunDrawing({Canvas()}, CheckBackgroundRewrite), ExitedWithCode(0), "");
}

// --- WriteText --------------------------------------------------------------------------------

// Rows of column x, from y on, that show the text box colour: the first run and where the
// next run starts.
std::pair<int, int> BoxRuns(int x, int y) {
  const std::uint32_t box = 0x204080;
  int first = 0;
  while (Px(x, y + first) == box) ++first;
  int next = y + first;
  while (next < g_height && Px(x, next) != box) ++next;
  return {first, next};
}

void CheckLineBreaks() {
  ShowFullScreen();
  SetProperty(canvas, 21, MakeColor(0x20, 0x40, 0x80));
  SetProperty(canvas, 20, MakeColor(0x20, 0x40, 0x80));
  WriteText(canvas, 20, 10, "A\r\nB");
  const auto [h, second] = BoxRuns(20, 10);
  SCENARIO_CHECK(h > 10);
  SCENARIO_CHECK(second == 10 + h + 2);
  SCENARIO_CHECK(Px(20, second + h - 1) == 0x204080 && Px(20, second + h) == kBackPixel);
  ClearCanvas(canvas);
  WriteText(canvas, 20, 10, "A\r\rB");  // an empty line between
  SCENARIO_CHECK(BoxRuns(20, 10).second == 10 + 2 * (h + 2));
  ClearCanvas(canvas);
  WriteText(canvas, 20, 10, "A\nB");
  SCENARIO_CHECK(BoxRuns(20, 10).second == 10 + h + 2);
  ClearCanvas(canvas);
  WriteText(canvas, 20, 10, "");
  for (int y = 0; y < 40; ++y) SCENARIO_CHECK(Px(20, 10 + y) == kBackPixel);
  // Without a box only the glyphs are painted: the canvas shows between them.
  SetProperty(canvas, 21, kDefaultColor);
  SetProperty(canvas, 20, MakeColor(255, 0, 0));
  WriteText(canvas, 20, 10, Utf8ToGbk("这里"));
  bool inked = false;
  for (int y = 10; y < 10 + h; ++y) {
    for (int x = 20; x < 20 + h; ++x) inked |= Px(x, y) == 0xFF0000;
  }
  SCENARIO_CHECK(inked && Px(20, 10) == kBackPixel);
  EndProgram(0);
}

TEST_F(DrawTest, WriteTextBreaksLines) {
  EXPECT_EXIT(RunDrawing({Canvas()}, CheckLineBreaks), ExitedWithCode(0), "");
}

// --- Snapshot ---------------------------------------------------------------------------------

std::uint32_t Le32(const ByteSet& b, int at) {
  const std::uint8_t* p = b.data() + at;
  return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
}

std::vector<std::uint32_t> Decoded(const ByteSet& bmp, int& w, int& h) {
  auto picture = DecodePicture(bmp.data(), bmp.length());
  SCENARIO_CHECK(picture.has_value());
  const ScreenBitmap bitmap = MakeScreenBitmap(*picture);
  w = bitmap.width;
  h = bitmap.height;
  return bitmap.pixels;
}

void CheckSnapshots() {
  // Before the window shows: the desktop alone, exactly.
  const ByteSet first = TakeSnapshot();
  const int row = (301 * 3 + 3) / 4 * 4;
  SCENARIO_CHECK(first.length() == 54 + 201 * row);
  SCENARIO_CHECK(first.data()[0] == 'B' && first.data()[1] == 'M');
  SCENARIO_CHECK(Le32(first, 2) == std::uint32_t(first.length()) && Le32(first, 10) == 54);
  SCENARIO_CHECK(Le32(first, 14) == 40 && Le32(first, 18) == 301 && Le32(first, 22) == 201);
  SCENARIO_CHECK((Le32(first, 26) & 0xFFFF) == 1 && Le32(first, 26) >> 16 == 24);
  SCENARIO_CHECK(Le32(first, 30) == 0 && Le32(first, 34) == std::uint32_t(201 * row));
  int w = 0, h = 0;
  SCENARIO_CHECK(Decoded(first, w, h) == GeneratedDesktop(301, 201).pixels);

  // A window shown before the loop paints it shows what lay beneath it.
  MoveControl(Ref(kWindowItself), 0, 0, g_width, g_height);
  SetProperty(Ref(kWindowItself), kVisible, 1);
  SCENARIO_CHECK(Layer::observer()->HasInvalid());
  for (auto [x, y] : {std::pair{0, 0}, {150, 100}, {300, 200}}) {
    SCENARIO_CHECK(Px(x, y) == GeneratedDesktop(301, 201).pixels[y * 301 + x]);
  }

  // The desktop becomes the background; drawings on it, photographed again and made the
  // background, come back exactly.
  ShowFullScreen();
  SetBackground(1, first);
  SCENARIO_CHECK(Px(150, 100) == GeneratedDesktop(301, 201).pixels[100 * 301 + 150]);
  DrawPicture(canvas, Load(MakeGif(20, 16, RosePixels(20, 16))), 33, 44, kOmitted, kOmitted,
              kTransparentWhite);
  std::vector<std::uint32_t> frame;
  for (int y = 0; y < 201; ++y) {
    for (int x = 0; x < 301; ++x) frame.push_back(Px(x, y));
  }
  const ByteSet second = TakeSnapshot();
  SCENARIO_CHECK(Decoded(second, w, h) == frame);
  SetBackground(1, second);
  ClearCanvas(canvas);
  for (int y = 0; y < 201; ++y) {
    for (int x = 0; x < 301; ++x) SCENARIO_CHECK(Px(x, y) == frame[y * 301 + x]);
  }

  // Sizes: -p is p percent (at least 10), a positive value as given; a window by identifier.
  struct Case {
    Opt width, height;
    int w, h;
  } cases[] = {{-5, -5, 30, 20}, {-50, 0, 151, 201}, {7, -1, 7, 20}, {kOmitted, 3, 301, 3}};
  for (const Case& c : cases) {
    Decoded(TakeSnapshot(kOmitted, c.width, c.height), w, h);
    SCENARIO_CHECK(w == c.w && h == c.h);
  }
  MoveControl(Ref(kWindowItself), 10, 20, 100, 50);
  Decoded(TakeSnapshot(static_cast<std::int32_t>(kTestWindow)), w, h);
  SCENARIO_CHECK(w == 100 && h == 50);
  SCENARIO_CHECK(TakeSnapshot(12345).empty());
  SCENARIO_CHECK(TakeSnapshot(kOmitted, 30000, 30000).empty());  // refused, not attempted
  EndProgram(0);
}

TEST_F(DrawTest, SnapshotsAreExactBmpFiles) {
  EXPECT_EXIT(RunDrawing({Canvas()}, CheckSnapshots, 301, 201), ExitedWithCode(0), "");
}

std::string g_still_path;

void CheckGivenDesktopAndStill() {
  // The given desktop is what snapshots and the screen show behind the window.
  int w = 0, h = 0;
  const std::vector<std::uint32_t> desktop = Decoded(TakeSnapshot(), w, h);
  SCENARIO_CHECK(w == 40 && h == 30 && desktop[0] == 0x112233 && desktop[40 * 30 - 1] == 0x445566);
  g_backend->ScheduleStill(500, g_still_path);
  ShowFullScreen();
  Cover(kInk);
  Delay(1000);  // presents, then the still is taken at 500 ms
  std::FILE* f = std::fopen(g_still_path.c_str(), "rb");
  SCENARIO_CHECK(f != nullptr);
  char header[32] = {};
  SCENARIO_CHECK(std::fread(header, 1, 13, f) == 13 &&
                 std::string(header, 13) == "P6\n40 30\n255\n");
  std::vector<std::uint8_t> rgb(40 * 30 * 3);
  SCENARIO_CHECK(std::fread(rgb.data(), 1, rgb.size(), f) == rgb.size());
  std::fclose(f);
  const DesktopPicture screen = g_backend->ScreenImage();
  for (int i = 0; i < 40 * 30; ++i) {
    const std::uint32_t p = std::uint32_t(rgb[3 * i]) << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2];
    SCENARIO_CHECK(p == kInk && screen.pixels[i] == kInk);
  }
  EndProgram(0);
}

[[noreturn]] void RunWithGivenDesktop() {
  HeadlessOptions options;
  options.width = g_width = 40;
  options.height = g_height = 30;
  options.audio_device = false;
  std::vector<std::uint32_t> pixels(40 * 30, 0x112233);
  pixels.back() = 0x445566;
  options.desktop = DesktopPicture{40, 30, pixels};
  g_backend = new HeadlessBackend(options);
  InitDrawing(*g_backend);
  RunScenario({TestWindow({Canvas()}, CheckGivenDesktopAndStill)}, g_backend);
}

TEST_F(DrawTest, GivenDesktopAndStillsOfThePresentedScreen) {
  g_still_path = ::testing::TempDir() + "draw_still.ppm";
  EXPECT_EXIT(RunWithGivenDesktop(), ExitedWithCode(0), "");
}

// --- Picture buttons, moves and repaints ------------------------------------------------------

const std::vector<std::uint32_t> kRose = RosePixels(20, 16);
bool RoseOpaque(int x, int y) {
  return x >= 0 && y >= 0 && x < 20 && y < 16 && kRose[y * 20 + x] != 0xFFFFFF;
}

void CheckButtons() {
  ShowFullScreen();
  for (int y = 10; y < 34; ++y) {
    for (int x = 10; x < 40; ++x) {
      // Shaped: only the rose's own pixels; the hole, the ground and what the picture does
      // not reach show the canvas.
      SCENARIO_CHECK(Px(x, y) ==
                     (RoseOpaque(x - 10, y - 10) ? kRose[(y - 10) * 20 + x - 10] : kBackPixel));
      // Unshaped: the picture as it is, black beyond it.
      const int u = x + 50;
      SCENARIO_CHECK(Px(u, y) == (x - 10 < 20 && y - 10 < 16 ? kRose[(y - 10) * 20 + x - 10] : 0));
      SCENARIO_CHECK(Px(x + 100, y) == 0);  // no picture: a black rectangle
    }
  }
  // Drawing on the canvas goes only where no button covers it.
  Cover(kInk);
  SCENARIO_CHECK(Px(22, 19) == kRose[9 * 20 + 12] && RoseOpaque(12, 9));
  SCENARIO_CHECK(Px(10, 10) == kInk && Px(20, 18) == kInk);  // ground and hole
  SCENARIO_CHECK(Px(60, 10) == kRose[0] && Px(110, 10) == 0);
  EndProgram(0);
}

TEST_F(DrawTest, PictureButtonsShowTheirOutline) {
  const ByteSet rose = MakeGif(20, 16, kRose);
  EXPECT_EXIT(RunDrawing({Button(kButton, {10, 10, 40, 34}, {{10, rose}, {14, 0x00FFFFFF}}),
                          Button(kButton + 1, {60, 10, 90, 34}, {{10, rose}, {14, kDefaultColor}}),
                          Button(kButton + 2, {110, 10, 140, 34}, {{14, 0x00FFFFFF}}), Canvas()},
                         CheckButtons),
              ExitedWithCode(0), "");
}

constexpr std::uint32_t kGround = 0x336699;
std::vector<std::uint32_t> g_screen_in_delay;

void DropButton(std::int32_t) {
  SetProperty(Ref(kButton), kTop, 60);
}

std::uint32_t Expected(int x, int y) {
  if (RoseOpaque(x - 100, y - 60)) return kRose[(y - 60) * 20 + x - 100];
  if (RoseOpaque(x - 100, y - 50)) return kGround;  // uncovered: the background again
  return kInk;                                      // the drawing stays
}

void StartFall() {
  ShowFullScreen();
  SetBackground(1, SolidBmp(320, 240, kGround));
  Cover(kInk);
  Delay(10);
  const std::vector<std::uint32_t> before = g_backend->ScreenImage().pixels;
  SCENARIO_CHECK(StartThread(DropButton, 1));
  Delay(300);
  // The worker's move waits for the user-interface thread: nothing changed on the screen.
  SCENARIO_CHECK(FindLayer(Ref(kButton))->rect().top == 50);
  SCENARIO_CHECK(g_backend->ScreenImage().pixels == before);
}

void OnTickAfterFall() {
  SCENARIO_CHECK(FindLayer(Ref(kButton))->rect().top == 60);
  for (int y = 40; y < 90; ++y) {
    for (int x = 90; x < 130; ++x) SCENARIO_CHECK(Px(x, y) == Expected(x, y));
  }
  SCENARIO_CHECK(Px(5, 5) == kInk);
  // The idle loop presented it all.
  const std::vector<std::uint32_t> screen = g_backend->ScreenImage().pixels;
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 320; ++x) SCENARIO_CHECK(screen[y * 320 + x] == Px(x, y));
  }
  EndProgram(0);
}

TEST_F(DrawTest, FallingButtonUncoversTheBackgroundOnlyWhenEventsAreTaken) {
  EXPECT_EXIT(RunDrawing({Control(Kind::Timer, kTimer, "timer", {0, 0, 1, 1}, 0, {{8, 1000}},
                                  {{kEventTick, OnTickAfterFall}}),
                          Button(kButton, {100, 50, 124, 70},
                                 {{10, MakeGif(20, 16, kRose)}, {14, 0x00FFFFFF}}),
                          Canvas()},
                         StartFall),
              ExitedWithCode(0), "");
}

// --- Label and trace --------------------------------------------------------------------------

std::vector<std::string> g_trace;

void CheckLabelAndTrace() {
  ShowFullScreen();
  const Rect r{200, 100, 280, 124};
  bool inked = false;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) inked |= (Px(x, y) & 0xFF0000) < 0x600000;
  }
  SCENARIO_CHECK(Px(200, 100) == 0xC8C800 && Px(279, 123) == 0xC8C800 && inked);
  SetProperty(Ref(kLabel), 8, Text());
  SCENARIO_CHECK(Px(200, 100) == 0xC8C800);
  ProcessEvents();
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) SCENARIO_CHECK(Px(x, y) == 0xC8C800);
  }
  SetTraceSink([](std::string_view line) { g_trace.emplace_back(line); });
  const PictureValue pic = Load(SolidBmp(2, 2, 0));
  DrawPicture(canvas, pic, 5, 6, kOmitted, kOmitted, kTransparentWhite);
  DrawPicture(canvas, 0, 1, 2, 3, -1);
  ClearCanvas(canvas);
  WriteText(canvas, 1, kOmitted, Utf8ToGbk("这里"));
  TakeSnapshot(kOmitted, 1, 1);
  SetTraceSink(nullptr);
  const std::vector<std::string> expected{
      "0 LoadPicture picture" + std::to_string(pic),
      "0 DrawPicture picture" + std::to_string(pic) + " 5 6 - - -16777215",
      "0 DrawPicture - 1 2 3 -1 -",
      "0 ClearCanvas",
      "0 WriteText 1 - 这里",
      "0 TakeSnapshot 58",
  };
  SCENARIO_CHECK(g_trace == expected);
  EndProgram(0);
}

TEST_F(DrawTest, LabelPaintsItsCaptionAndOperationsTrace) {
  EXPECT_EXIT(RunDrawing({Control(Kind::Label, kLabel, "label", {200, 100, 280, 124}, kFlagVisible,
                                  {{8, Text("Hi")}, {17, MakeColor(200, 200, 0)}, {24, 1}}),
                          Canvas()},
                         CheckLabelAndTrace),
              ExitedWithCode(0), "");
}

}  // namespace
}  // namespace stage::testing
