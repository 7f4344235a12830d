// The win32 backend against the window system (Wine under a virtual X server in the test run):
// the process's start, the window's styles, frames reaching the screen by their dirty parts,
// and the desktop picture.

#include "stage/platform/win32/win32_backend.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace stage {
namespace {

HWND g_window = nullptr;

BOOL CALLBACK FindOwnedWindow(HWND hwnd, LPARAM) {
  if (GetWindow(hwnd, GW_OWNER) != nullptr) {
    g_window = hwnd;
    return FALSE;
  }
  return TRUE;
}

// The screen's pixels in a rectangle, 0x00RRGGBB.
std::vector<std::uint32_t> ScreenPixels(const Rect& r) {
  std::vector<std::uint32_t> out(std::size_t(r.width()) * r.height());
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.width(), -r.height(), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, r.width(), r.height(), screen, r.left, r.top, SRCCOPY);
  GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits);
  for (std::size_t i = 0; i < out.size(); ++i) out[i] = p[i] & 0xFFFFFF;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return out;
}

class Win32BackendTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string problem;
    backend_ = Win32Backend::Open(problem).release();
    ASSERT_NE(backend_, nullptr) << problem;
    EnumThreadWindows(GetCurrentThreadId(), FindOwnedWindow, 0);
  }
  // Lets the window system catch up: messages taken, the X server's drawing done.
  static void Settle() {
    for (int i = 0; i < 10; ++i) {
      backend_->PollInput();
      Sleep(20);
    }
  }
  static Win32Backend* backend_;
};
Win32Backend* Win32BackendTest::backend_ = nullptr;

TEST(Win32Process, StartsInTheExecutablesFolder) {
  wchar_t exe[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
  std::wstring folder = exe;
  folder.resize(folder.find_last_of(L"\\/"));
  SetCurrentDirectoryW(L"C:\\");
  PrepareWin32Process();
  wchar_t now[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, now);
  EXPECT_EQ(lstrcmpiW(now, folder.c_str()), 0);
}

TEST_F(Win32BackendTest, PopupWindowTopmostOwnedByAHiddenWindow) {
  ASSERT_NE(g_window, nullptr);
  const LONG style = GetWindowLongW(g_window, GWL_STYLE);
  const LONG ex_style = GetWindowLongW(g_window, GWL_EXSTYLE);
  EXPECT_NE(style & WS_POPUP, 0);
  EXPECT_EQ(style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);
  EXPECT_NE(ex_style & WS_EX_TOPMOST, 0);
  EXPECT_EQ(ex_style & WS_EX_APPWINDOW, 0);
  // An owned window gets no taskbar button; the owner itself is never shown.
  HWND owner = GetWindow(g_window, GW_OWNER);
  EXPECT_FALSE(IsWindowVisible(owner));
  EXPECT_FALSE(IsWindowVisible(g_window));
  EXPECT_NE(GetClassLongPtrW(g_window, GCLP_HICON), 0);
}

TEST_F(Win32BackendTest, ScreenSizeIsTheSystemsMetrics) {
  EXPECT_EQ(backend_->ScreenWidth(), GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(backend_->ScreenHeight(), GetSystemMetrics(SM_CYSCREEN));
  EXPECT_GT(backend_->ScreenWidth(), 0);
  EXPECT_GT(backend_->RefreshInterval(), 0);
}

TEST_F(Win32BackendTest, FramesReachTheScreenByTheirDirtyParts) {
  const Rect place{40, 30, 40 + 64, 30 + 48};
  std::vector<std::uint32_t> pixels(64 * 48, 0x3366CC);
  PresentedFrame frame;
  frame.pixels = pixels.data();
  frame.width = 64;
  frame.height = 48;
  frame.place = place;
  frame.visible = true;
  const Rect all{0, 0, 64, 48};
  frame.dirty = std::span(&all, 1);
  backend_->PresentFrame(frame);  // while hidden: kept for when the window shows
  backend_->WindowShown(true);
  Settle();
  std::vector<std::uint32_t> shown = ScreenPixels(place);
  EXPECT_EQ(shown.front(), 0x3366CCu);
  EXPECT_EQ(shown.back(), 0x3366CCu);

  // Only the dirty part is taken from the new frame; the rest of the screen keeps the old one.
  std::fill(pixels.begin(), pixels.end(), 0xFF0000);
  const Rect dirty{0, 0, 16, 8};
  frame.dirty = std::span(&dirty, 1);
  backend_->PresentFrame(frame);
  Settle();
  shown = ScreenPixels(place);
  EXPECT_EQ(shown[0], 0xFF0000u);
  EXPECT_EQ(shown[7 * 64 + 15], 0xFF0000u);
  EXPECT_EQ(shown[8 * 64 + 15], 0x3366CCu);
  EXPECT_EQ(shown[7 * 64 + 16], 0x3366CCu);

  // The desktop picture is the one taken before the window covered it.
  DesktopPicture desktop;
  backend_->WindowShown(false);
  Settle();
  ASSERT_TRUE(backend_->CaptureDesktop(desktop));
  EXPECT_EQ(desktop.width, backend_->ScreenWidth());
  EXPECT_EQ(desktop.height, backend_->ScreenHeight());
  EXPECT_NE(desktop.pixels[30 * desktop.width + 40], 0x3366CCu);
  backend_->WindowShown(true);
  Settle();
  DesktopPicture while_shown;
  ASSERT_TRUE(backend_->CaptureDesktop(while_shown));
  EXPECT_EQ(while_shown.pixels, desktop.pixels);
  backend_->WindowShown(false);
}

}  // namespace
}  // namespace stage
