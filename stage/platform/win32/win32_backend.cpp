#include "stage/platform/win32/win32_backend.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

// After windows.h, whose types it uses.
#include <ole2.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "stage/core/stage.h"
#include "stage/core/text.h"
#include "stage/sound/sound.h"

namespace stage {
namespace {

// How long the user-interface thread may wait before the window's messages are taken again:
// short enough that Esc feels immediate, long enough to cost nothing while idle.
constexpr TimePoint kPollInterval = Milliseconds(5);

constexpr wchar_t kWindowClass[] = L"StageShowWindow";

// A 32-bit top-down DIB section selected into a memory device context: the framebuffer's own
// layout (0x00RRGGBB words are blue, green, red, unused bytes), so frames go in by plain copies.
struct DibSection {
  HDC dc = nullptr;
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  std::uint32_t* bits = nullptr;
  std::int32_t width = 0, height = 0;

  DibSection() = default;
  DibSection(const DibSection&) = delete;
  DibSection& operator=(const DibSection&) = delete;
  ~DibSection() { Release(); }

  bool Make(std::int32_t w, std::int32_t h) {
    Release();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (dc == nullptr || bitmap == nullptr || pixels == nullptr) {
      Release();
      return false;
    }
    previous = SelectObject(dc, bitmap);
    bits = static_cast<std::uint32_t*>(pixels);
    width = w;
    height = h;
    return true;
  }

  void Release() {
    if (dc != nullptr && previous != nullptr) SelectObject(dc, previous);
    if (bitmap != nullptr) DeleteObject(bitmap);
    if (dc != nullptr) DeleteDC(dc);
    dc = nullptr;
    bitmap = nullptr;
    previous = nullptr;
    bits = nullptr;
    width = height = 0;
  }
};

std::wstring GbkToWide(const Text& gbk) {
  std::wstring out;
  for (char32_t c : GbkToUnicode(gbk)) {
    if (c <= 0xFFFF) out += static_cast<wchar_t>(c);
  }
  return out;
}

}  // namespace

struct Win32Backend::Impl {
  HINSTANCE instance = nullptr;
  HWND owner = nullptr;   // hidden: a window it owns gets no taskbar button
  HWND window = nullptr;  // the show's window
  DibSection frame;       // the last frame presented, for repaints
  bool presented = false;
  bool push_whole = false;  // the window was shown: the next present shows all of it
  std::optional<Rect> place;

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (message) {
      case WM_NCCREATE: {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
      }
      case WM_KEYDOWN:
      case WM_SYSKEYDOWN:
        if (wparam == VK_ESCAPE) {
          PostKey(KeyPress{kKeyEscape, GetKeyState(VK_CONTROL) < 0, GetKeyState(VK_SHIFT) < 0,
                           GetKeyState(VK_MENU) < 0});
          return 0;
        }
        break;
      case WM_ERASEBKGND:
        return 1;  // every pixel comes from the frame
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (self != nullptr && self->presented && self->frame.dc != nullptr) {
          const RECT& r = paint.rcPaint;
          BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, self->frame.dc, r.left,
                 r.top, SRCCOPY);
        }
        EndPaint(hwnd, &paint);
        return 0;
      }
      case WM_CLOSE:
        // The show ends through Esc or its own end, never by the window going away under it.
        return 0;
      default:
        break;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
};

void PrepareWin32Process() {
  // Without DPI awareness a scaled desktop reports (and shows) a smaller, stretched screen.
  using SetContext = BOOL(WINAPI*)(HANDLE);
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  auto set_context = reinterpret_cast<SetContext>(
      reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext")));
  const HANDLE per_monitor_v2 = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-4));
  if (set_context == nullptr || !set_context(per_monitor_v2)) SetProcessDPIAware();

  OleInitialize(nullptr);

  // The program's files are found beside it, wherever it was started from.
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return;
    if (n < path.size()) {
      path.resize(n);
      break;
    }
    path.resize(path.size() * 2);
  }
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return;
  path.resize(slash == 2 && path[1] == L':' ? slash + 1 : slash);  // keep "C:\" whole
  SetCurrentDirectoryW(path.c_str());
}

Win32Backend::Win32Backend() : clock_(Clock::MakeReal()), impl_(std::make_unique<Impl>()) {}

std::unique_ptr<Win32Backend> Win32Backend::Open(std::string& problem) {
  std::unique_ptr<Win32Backend> backend(new Win32Backend);
  Impl& impl = *backend->impl_;
  impl.instance = GetModuleHandleW(nullptr);

  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = &Impl::WindowProc;
  window_class.hInstance = impl.instance;
  window_class.hIcon = LoadIconW(impl.instance, L"DEFAULT_ICON");
  window_class.hIconSm = window_class.hIcon;
  window_class.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  window_class.lpszClassName = kWindowClass;
  if (RegisterClassExW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    problem = "cannot register the window class (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  impl.owner = CreateWindowExW(0, kWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               impl.instance, &impl);
  impl.window = impl.owner == nullptr
                    ? nullptr
                    : CreateWindowExW(WS_EX_TOPMOST, kWindowClass, L"", WS_POPUP, 0, 0,
                                      GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                                      impl.owner, nullptr, impl.instance, &impl);
  if (impl.window == nullptr) {
    problem = "cannot make the window (error " + std::to_string(GetLastError()) + ")";
    return nullptr;
  }
  backend->ReadRefreshRate();
  backend->audio_ = std::make_unique<WaveOutAudio>();
  InitSound(*backend->clock_, backend->audio_->DeviceCount() > 0 ? backend->audio_.get() : nullptr);
  return backend;
}

Win32Backend::~Win32Backend() {
  if (audio_ != nullptr) ShutdownSound();
  audio_.reset();
  if (impl_->window != nullptr) DestroyWindow(impl_->window);
  if (impl_->owner != nullptr) DestroyWindow(impl_->owner);
}

void Win32Backend::ReadRefreshRate() {
  DEVMODEW mode{};
  mode.dmSize = sizeof(mode);
  int hz = 60;
  // 0 and 1 stand for the hardware's default rate.
  if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode) && mode.dmDisplayFrequency > 1) {
    hz = static_cast<int>(mode.dmDisplayFrequency);
  }
  refresh_interval_.store(Milliseconds(1000) / hz);
}

std::int32_t Win32Backend::ScreenWidth() {
  return GetSystemMetrics(SM_CXSCREEN);
}
std::int32_t Win32Backend::ScreenHeight() {
  return GetSystemMetrics(SM_CYSCREEN);
}

void Win32Backend::ShowErrorBox(const Text& title, const Text& text) {
  HWND owner = shown_.load() ? impl_->window : nullptr;
  const UINT style = MB_OK | MB_ICONERROR | (owner == nullptr ? MB_TOPMOST : 0);
  // The texts are GBK. On a system whose code page is GBK they go through as they are; on any
  // other they are converted, so that the report is readable there too.
  if (GetACP() == 936) {
    MessageBoxA(owner, text.c_str(), title.c_str(), style);
  } else {
    MessageBoxW(owner, GbkToWide(text).c_str(), GbkToWide(title).c_str(), style);
  }
}

TimePoint Win32Backend::PollInput() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  ReadRefreshRate();
  return kPollInterval;
}

void Win32Backend::WindowShown(bool shown) {
  if (shown == shown_.load()) return;
  shown_.store(shown);
  if (!shown) {
    ShowWindow(impl_->window, SW_HIDE);
    return;
  }
  impl_->push_whole = true;
  ShowWindow(impl_->window, SW_SHOW);
  // A window shown by the program takes the keyboard, as a newly shown top-level window does.
  SetForegroundWindow(impl_->window);
  SetFocus(impl_->window);
}

void Win32Backend::StopAllSound() {
  StopAllSoundAndWait();
}

void Win32Backend::PresentFrame(const PresentedFrame& frame) {
  if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return;
  Impl& impl = *impl_;
  if (impl.place != frame.place) {
    impl.place = frame.place;
    if (!frame.place.empty()) {
      SetWindowPos(impl.window, HWND_TOPMOST, frame.place.left, frame.place.top,
                   frame.place.width(), frame.place.height(), SWP_NOACTIVATE);
    }
  }
  bool whole = !impl.presented;
  if (impl.frame.width != frame.width || impl.frame.height != frame.height) {
    if (!impl.frame.Make(frame.width, frame.height)) {
      impl.presented = false;
      return;
    }
    whole = true;
  }
  std::vector<Rect> areas;
  const Rect all{0, 0, frame.width, frame.height};
  if (whole) {
    areas.push_back(all);
  } else {
    for (const Rect& dirty : frame.dirty) {
      const Rect r{std::max(dirty.left, 0), std::max(dirty.top, 0),
                   std::min(dirty.right, all.right), std::min(dirty.bottom, all.bottom)};
      if (!r.empty()) areas.push_back(r);
    }
  }
  for (const Rect& r : areas) {
    for (std::int32_t y = r.top; y < r.bottom; ++y) {
      std::memcpy(impl.frame.bits + std::size_t(y) * frame.width + r.left,
                  frame.pixels + std::size_t(y) * frame.width + r.left, std::size_t(r.width()) * 4);
    }
  }
  GdiFlush();  // the DIB's bits are written behind GDI's back
  impl.presented = true;
  if (!frame.visible || !shown_.load()) return;
  if (impl.push_whole) {
    impl.push_whole = false;
    areas.assign(1, all);
  }
  HDC dc = GetDC(impl.window);
  if (dc == nullptr) return;
  for (const Rect& r : areas) {
    BitBlt(dc, r.left, r.top, r.width(), r.height(), impl.frame.dc, r.left, r.top, SRCCOPY);
  }
  ReleaseDC(impl.window, dc);
}

bool Win32Backend::CaptureDesktop(DesktopPicture& desktop) {
  if (!shown_.load()) {
    hidden_desktop_.reset();
    const std::int32_t width = ScreenWidth(), height = ScreenHeight();
    DibSection copy;
    HDC screen = GetDC(nullptr);
    if (screen != nullptr && width > 0 && height > 0 && copy.Make(width, height) &&
        BitBlt(copy.dc, 0, 0, width, height, screen, 0, 0, SRCCOPY)) {
      GdiFlush();
      DesktopPicture captured;
      captured.width = width;
      captured.height = height;
      captured.pixels.assign(copy.bits, copy.bits + std::size_t(width) * height);
      for (std::uint32_t& p : captured.pixels) p &= 0x00FFFFFF;
      hidden_desktop_ = std::move(captured);
    }
    if (screen != nullptr) ReleaseDC(nullptr, screen);
  }
  // While the window is on the screen the desktop is the one seen before it covered it; the
  // stage composes the window over that.
  if (!hidden_desktop_) return false;
  desktop = *hidden_desktop_;
  return true;
}

void Win32Backend::ExitProcess(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  // The code as given: -1 is the process's 0xFFFFFFFF, as on the original.
  ::ExitProcess(static_cast<UINT>(code));
}

}  // namespace stage
