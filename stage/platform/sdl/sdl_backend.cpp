#include "stage/platform/sdl/sdl_backend.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "stage/core/stage.h"
#include "stage/core/text.h"
#include "stage/sound/sound.h"

namespace stage {
namespace {

// How long the user-interface thread may wait for messages before SDL's events are pumped
// again: short enough that Esc feels immediate, long enough to cost nothing while idle.
constexpr TimePoint kPollInterval = Milliseconds(5);

// Software rasterisers behind an OpenGL renderer (a virtual X server, a machine without GPU
// drivers) spend tens of milliseconds of the program's own time on every frame; the window's
// plain image takes only the dirty parts.
bool IsSoftwareGl(SDL_Renderer* renderer) {
  SDL_RendererInfo info;
  if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
  const std::string name = info.name;
  if (name.rfind("opengl", 0) != 0) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (get_string == nullptr) return false;
  constexpr unsigned int kGlRenderer = 0x1F01;
  const auto* gl_renderer = reinterpret_cast<const char*>(get_string(kGlRenderer));
  if (gl_renderer == nullptr) return false;
  const std::string text = gl_renderer;
  return text.find("llvmpipe") != std::string::npos || text.find("softpipe") != std::string::npos ||
         text.find("swrast") != std::string::npos;
}

std::string WithoutCarriageReturns(std::string text) {
  std::erase(text, '\r');
  return text;
}

}  // namespace

SdlBackend::SdlBackend() : clock_(Clock::MakeReal()), video_thread_(std::this_thread::get_id()) {}

std::unique_ptr<SdlBackend> SdlBackend::Open(std::string& problem) {
  // Ctrl+C and kill end the program as they end any other; SDL would turn them into a quit
  // event that the show has no use for.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  // Presenting never waits for the display's refresh on the user-interface thread.
  SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  // Without a GPU renderer the window's image is the X server's shared memory itself, not a
  // texture of yet another renderer.
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  const char* chosen_driver = std::getenv("SDL_VIDEODRIVER");
  const bool desktop_session =
      std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  if (chosen_driver == nullptr && !desktop_session) {
    // Outside a desktop session only a console of its own (KMS) can show the program.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "kmsdrm");
  }
  std::unique_ptr<SdlBackend> backend(new SdlBackend);
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    problem = std::string(
                  "no display is available: neither DISPLAY nor WAYLAND_DISPLAY names a "
                  "reachable desktop (") +
              SDL_GetError() + ")";
    return nullptr;
  }
  backend->video_started_ = true;
  // SDL falls back on drivers that draw into memory; the show would then run where nobody
  // sees it. They serve only when asked for by name.
  const std::string driver = SDL_GetCurrentVideoDriver();
  if ((driver == "offscreen" || driver == "dummy") &&
      (chosen_driver == nullptr || driver != chosen_driver)) {
    problem =
        "no display is available: neither DISPLAY nor WAYLAND_DISPLAY names a reachable "
        "desktop (SDL found only its \"" +
        driver + "\" driver)";
    return nullptr;
  }
  if (!backend->MakeWindow(problem)) return nullptr;
  backend->audio_ = std::make_unique<SdlAudio>();
  InitSound(*backend->clock_, backend->audio_->DeviceCount() > 0 ? backend->audio_.get() : nullptr);
  return backend;
}

SdlBackend::~SdlBackend() {
  if (audio_ != nullptr) ShutdownSound();
  audio_.reset();
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
  if (window_ != nullptr) SDL_DestroyWindow(window_);
  if (video_started_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlBackend::MakeWindow(std::string& problem) {
  ReadDisplay();
  if (display_width_.load() <= 0 || display_height_.load() <= 0) {
    problem = std::string("no display is available (the primary display has no size: ") +
              SDL_GetError() + ")";
    return false;
  }
  if (!CreateWindow(problem)) return false;
  // A renderer the user names through SDL_RENDER_DRIVER is taken as it is; "software" means
  // the window's own image.
  const char* named = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  if (named != nullptr && std::string(named) == "software") return true;
  // An X server without direct rendering (a virtual one, or no GPU driver) would only give a
  // software rasteriser, and finding that out costs a tenth of a second of start-up.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (named == nullptr && driver != nullptr && std::string(driver) == "x11" &&
      !X11HasDirectRendering()) {
    return true;
  }
  renderer_ = SDL_CreateRenderer(window_, -1, named != nullptr ? 0 : SDL_RENDERER_ACCELERATED);
  if (renderer_ != nullptr && named == nullptr && IsSoftwareGl(renderer_)) {
    // The window was made anew for OpenGL; a fresh one keeps the plain window image.
    SDL_DestroyRenderer(renderer_);
    renderer_ = nullptr;
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (!CreateWindow(problem)) return false;
  }
  return true;
}

bool SdlBackend::CreateWindow(std::string& problem) {
  const Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALWAYS_ON_TOP |
                       SDL_WINDOW_SKIP_TASKBAR;
  window_ = SDL_CreateWindow("", display_x_.load(), display_y_.load(), display_width_.load(),
                             display_height_.load(), flags);
  if (window_ == nullptr) {
    problem = std::string("cannot make the window (") + SDL_GetError() + ")";
    return false;
  }
  window_place_.reset();
  // Keys arrive as key events; no input method is needed.
  SDL_StopTextInput();
  return true;
}

std::string SdlBackend::renderer_name() const {
  SDL_RendererInfo info;
  if (renderer_ == nullptr) return "window surface";
  if (SDL_GetRendererInfo(renderer_, &info) != 0) return "";
  return info.name;
}

void SdlBackend::ReadDisplay() {
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(0, &bounds) == 0) {
    display_x_.store(bounds.x);
    display_y_.store(bounds.y);
    display_width_.store(bounds.w);
    display_height_.store(bounds.h);
  }
  SDL_DisplayMode mode;
  if (SDL_GetCurrentDisplayMode(0, &mode) == 0) {
    // Virtual displays report no rate; pace them like an ordinary monitor.
    const int hz = mode.refresh_rate > 0 ? mode.refresh_rate : 60;
    refresh_interval_.store(Milliseconds(1000) / hz);
  }
}

std::int32_t SdlBackend::ScreenWidth() {
  if (OnVideoThread()) ReadDisplay();
  return display_width_.load();
}

std::int32_t SdlBackend::ScreenHeight() {
  if (OnVideoThread()) ReadDisplay();
  return display_height_.load();
}

void SdlBackend::ShowErrorBox(const Text& title, const Text& text) {
  const std::string utf8_title = GbkToUtf8(title);
  const std::string utf8_text = WithoutCarriageReturns(GbkToUtf8(text));
  SDL_MessageBoxButtonData ok{};
  ok.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
  ok.buttonid = 0;
  ok.text = "确定";
  SDL_MessageBoxData box{};
  box.flags = SDL_MESSAGEBOX_ERROR;
  // The show's window stays on top of every other window; a box without it as its parent
  // could open beneath it, out of reach, and the program would wait for it for ever.
  box.window = shown_ ? window_ : nullptr;
  box.title = utf8_title.c_str();
  box.message = utf8_text.c_str();
  box.numbuttons = 1;
  box.buttons = &ok;
  int pressed = -1;
  if (SDL_ShowMessageBox(&box, &pressed) == 0) return;
  // No box could be shown: the report still reaches whoever started the program.
  const std::string line = utf8_title + ": " + utf8_text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

TimePoint SdlBackend::PollInput() {
  bool exposed = false;
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) {
      const Uint16 mod = event.key.keysym.mod;
      PostKey(KeyPress{kKeyEscape, (mod & KMOD_CTRL) != 0, (mod & KMOD_SHIFT) != 0,
                       (mod & KMOD_ALT) != 0});
    } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
      exposed = true;
    }
  }
  // The window system dropped some of the window's pixels; the texture still has them all.
  if (exposed && shown_ && presented_) {
    if (renderer_ != nullptr) {
      SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
      SDL_RenderPresent(renderer_);
    } else {
      SDL_UpdateWindowSurface(window_);
    }
  }
  ReadDisplay();
  return kPollInterval;
}

void SdlBackend::WindowShown(bool shown) {
  if (shown == shown_) return;
  shown_ = shown;
  if (!shown) {
    SDL_HideWindow(window_);
    return;
  }
  // What was drawn while the window was hidden is pushed as a whole with the next frame.
  push_whole_ = true;
  SDL_ShowWindow(window_);
  // A window shown by the program takes the keyboard, as a newly shown top-level window does.
  SDL_RaiseWindow(window_);
}

void SdlBackend::StopAllSound() {
  StopAllSoundAndWait();
}

bool SdlBackend::EnsureTexture(std::int32_t width, std::int32_t height) {
  if (texture_ != nullptr && width == texture_width_ && height == texture_height_) return true;
  if (texture_ != nullptr) SDL_DestroyTexture(texture_);
  presented_ = false;
  // 0x00RRGGBB words, the framebuffer's own layout: uploads are plain copies.
  texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                               width, height);
  texture_width_ = texture_ != nullptr ? width : 0;
  texture_height_ = texture_ != nullptr ? height : 0;
  return texture_ != nullptr;
}

void SdlBackend::PlaceWindow(const Rect& place) {
  window_place_ = place;
  if (place.empty()) return;
  // The stage's screen coordinates start at the primary display's corner.
  SDL_SetWindowPosition(window_, display_x_.load() + place.left, display_y_.load() + place.top);
  SDL_SetWindowSize(window_, place.width(), place.height());
}

void SdlBackend::PresentFrame(const PresentedFrame& frame) {
  if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return;
  if (window_place_ != frame.place) PlaceWindow(frame.place);
  if (renderer_ != nullptr) {
    PresentThroughTexture(frame);
  } else {
    PresentThroughSurface(frame);
  }
}

std::vector<SDL_Rect> SdlBackend::Areas(const PresentedFrame& frame, bool whole, std::int32_t width,
                                        std::int32_t height) {
  std::vector<SDL_Rect> areas;
  const Rect all{0, 0, std::min(frame.width, width), std::min(frame.height, height)};
  if (whole) {
    if (!all.empty()) areas.push_back(SDL_Rect{0, 0, all.right, all.bottom});
    return areas;
  }
  for (const Rect& dirty : frame.dirty) {
    const Rect r{std::max(dirty.left, all.left), std::max(dirty.top, all.top),
                 std::min(dirty.right, all.right), std::min(dirty.bottom, all.bottom)};
    if (!r.empty()) areas.push_back(SDL_Rect{r.left, r.top, r.width(), r.height()});
  }
  return areas;
}

void SdlBackend::PresentThroughTexture(const PresentedFrame& frame) {
  const bool whole = texture_ == nullptr || frame.width != texture_width_ ||
                     frame.height != texture_height_ || !presented_;
  if (!EnsureTexture(frame.width, frame.height)) return;
  const int pitch = frame.width * 4;
  for (const SDL_Rect& area : Areas(frame, whole, frame.width, frame.height)) {
    SDL_UpdateTexture(texture_, &area,
                      frame.pixels + std::size_t(area.y) * std::size_t(frame.width) + area.x,
                      pitch);
  }
  presented_ = true;
  push_whole_ = false;
  if (!frame.visible || !shown_) return;
  // The GPU draws the whole texture; only the dirty parts crossed to it.
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

void SdlBackend::PresentThroughSurface(const PresentedFrame& frame) {
  SDL_Surface* surface = SDL_GetWindowSurface(window_);
  if (surface == nullptr) return;
  // A new surface (the window was resized) starts with nothing in it.
  const bool whole = surface != surface_ || !presented_;
  surface_ = surface;
  const std::vector<SDL_Rect> areas = Areas(frame, whole, surface->w, surface->h);
  const int pitch = frame.width * 4;
  for (const SDL_Rect& area : areas) {
    const std::uint32_t* from =
        frame.pixels + std::size_t(area.y) * std::size_t(frame.width) + area.x;
    auto* to = static_cast<std::uint8_t*>(surface->pixels) + std::size_t(area.y) * surface->pitch +
               std::size_t(area.x) * surface->format->BytesPerPixel;
    SDL_ConvertPixels(area.w, area.h, SDL_PIXELFORMAT_RGB888, from, pitch, surface->format->format,
                      to, surface->pitch);
  }
  presented_ = true;
  if (!frame.visible || !shown_) return;
  if (push_whole_) {
    push_whole_ = false;
    SDL_UpdateWindowSurface(window_);
    return;
  }
  // Only the parts that changed cross to the window system.
  if (!areas.empty()) SDL_UpdateWindowSurfaceRects(window_, areas.data(), int(areas.size()));
}

bool SdlBackend::CaptureDesktop(DesktopPicture& desktop) {
  if (!shown_) {
    DesktopPicture captured;
    if (x11_.Capture(display_x_.load(), display_y_.load(), ScreenWidth(), ScreenHeight(),
                     captured)) {
      hidden_desktop_ = std::move(captured);
    } else {
      hidden_desktop_.reset();
    }
  }
  // While the window is on the screen the desktop is the one seen before it covered it; the
  // stage composes the window over that.
  if (!hidden_desktop_) return false;
  desktop = *hidden_desktop_;
  return true;
}

void SdlBackend::ExitProcess(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(code & 0xFF);
}

}  // namespace stage
