#include "ui/program.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "graphics/device.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "window/form1.h"
#include "ui/startup.h"
#include "window/window_system.h"

namespace ui {

namespace {

// The idle pause of the title screen between two looks at the window's events.
constexpr std::int64_t kIdleMs = 15;
// The window is shown at most once a game frame; Present skips a window that did not change.
constexpr std::int64_t kShowEveryMs = 31;

// Lets go of everything that hangs on the window when a run returns instead of ending:
// the pictures on its device, the display and the window-system hooks.
struct WindowRelease {
  ~WindowRelease() {
    ReleaseGraphics();
    MainWindowSystem = WindowSystem{};
  }
};

struct SurfaceFree {
  void operator()(SDL_Surface* s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceFree>;

}  // namespace

bool SaveGameView(plat::SdlHost& host, const std::string& path) {
  plat::Renderer& r = host.Render();
  host.DrawForm();
  const plat::Texture oldTarget = r.Target();
  const std::optional<plat::Rect> oldClip = r.Clip();
  r.SetTarget(plat::Texture{});
  const plat::Size out = r.OutputSize();
  const std::vector<std::uint8_t> px = r.ReadPixels();
  r.SetTarget(oldTarget);
  r.SetClip(oldClip);
  host.RequestRedraw();

  // The game view starts at the game screen's corner; a window smaller than the view
  // leaves the rest black.
  const int x0 = Form1.GameScreen != nullptr ? Form1.GameScreen->ScreenX() : 0;
  const int y0 = Form1.GameScreen != nullptr ? Form1.GameScreen->ScreenY() : 0;
  std::vector<std::uint8_t> view(static_cast<std::size_t>(kScreenshotWidth) * kScreenshotHeight * 4, 0);
  if (px.size() == static_cast<std::size_t>(out.w) * static_cast<std::size_t>(out.h) * 4) {
    for (int y = 0; y < kScreenshotHeight && y0 + y < out.h; ++y) {
      if (y0 + y < 0) continue;
      for (int x = 0; x < kScreenshotWidth && x0 + x < out.w; ++x) {
        if (x0 + x < 0) continue;
        const std::size_t from = (static_cast<std::size_t>(y0 + y) * static_cast<std::size_t>(out.w) +
                                  static_cast<std::size_t>(x0 + x)) * 4;
        const std::size_t to = (static_cast<std::size_t>(y) * kScreenshotWidth + static_cast<std::size_t>(x)) * 4;
        for (int c = 0; c < 3; ++c) view[to + static_cast<std::size_t>(c)] = px[from + static_cast<std::size_t>(c)];
        view[to + 3] = 255;
      }
    }
  }
  SurfacePtr rgba(SDL_CreateRGBSurfaceWithFormatFrom(view.data(), kScreenshotWidth, kScreenshotHeight, 32,
                                                     kScreenshotWidth * 4, SDL_PIXELFORMAT_RGBA32));
  if (!rgba) return false;
  SurfacePtr rgb(SDL_ConvertSurfaceFormat(rgba.get(), SDL_PIXELFORMAT_BGR24, 0));
  if (!rgb) return false;
  // The bitmap is made in memory and put in place whole: a disk that fills up on the
  // way leaves no half picture behind.
  std::vector<std::uint8_t> bmp(static_cast<std::size_t>(rgb->pitch) * static_cast<std::size_t>(rgb->h) +
                                1024);
  SDL_RWops* file = SDL_RWFromMem(bmp.data(), static_cast<int>(bmp.size()));
  if (file == nullptr) return false;
  const bool made = SDL_SaveBMP_RW(rgb.get(), file, 0) == 0;
  const Sint64 size = SDL_RWtell(file);  // the end of the file written
  SDL_RWclose(file);
  if (!made || size <= 0) return false;
  bmp.resize(static_cast<std::size_t>(size));
  return plat::WriteFileAtomically(path, bmp);
}

int RunProgram(const ProgramHooks& hooks) {
  const auto folder = hooks.folder.empty() ? plat::ExecutableFolder() : hooks.folder;
  plat::SetProgramFolder(folder);
  std::error_code ec;
  std::filesystem::current_path(folder, ec);

  BuildMainWindow();
  AttachStartupHandlers();
  if (hooks.attachHandlers) hooks.attachHandlers();

  // SIGTERM and SIGINT end the program without the quit question: SDL must not turn
  // them into a close of the window, and the event pump ends a request through
  // EndGame, which saves nothing.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  plat::SetEndRequestHandler([] { EndGame(); });

  std::unique_ptr<plat::SdlHost> host;
  try {
    host = plat::SdlHost::CreateWindowed(*Form1.Form);
  } catch (const plat::RenderError& e) {
    std::fprintf(stderr, "Orvanth: cannot open the window: %s\n", e.what());
    return 1;
  }
  plat::SdlHost* h = host.get();
  // Declared after the host, so it runs before the host closes the window.
  WindowRelease release;
  AttachDisplay(&h->Render(), h->GameScreenTarget(), [h] { h->Present(); });
  MainWindowSystem.Minimize = [h] {
    if (h->Window() != nullptr) SDL_MinimizeWindow(h->Window());
  };
  MainWindowSystem.Minimized = [h] { return h->Minimized(); };
  MainWindowSystem.SaveScreenshot = [h](const std::string& path) { return SaveGameView(*h, path); };
  MainWindowSystem.ShowForm = [h](plat::Form& form) {
    h->SetForm(form);
    h->RequestRedraw();
  };
  if (hooks.windowOpened) hooks.windowOpened(*h);

  Form_Load();

  // The title screen: the window's events and timers run, the window is redrawn. A game
  // started from here never comes back; every way out ends the program.
  auto& app = plat::Application::Get();
  std::int64_t lastShown = plat::Tick() - kShowEveryMs;
  for (;;) {
    app.DoEvents();
    if (plat::Tick() - lastShown >= kShowEveryMs) {
      lastShown = plat::Tick();
      h->Present();
    }
    if (hooks.leaveTitle && hooks.leaveTitle(*h)) return 0;
    plat::SleepMs(kIdleMs);
  }
}

}  // namespace ui
