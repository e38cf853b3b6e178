#include "ui/program.h"

#include <SDL.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <system_error>

#include "graphics/device.h"
#include "platform/clock.h"
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

}  // namespace

int RunProgram(const ProgramHooks& hooks) {
  const auto folder = hooks.folder.empty() ? plat::ExecutableFolder() : hooks.folder;
  plat::SetProgramFolder(folder);
  std::error_code ec;
  std::filesystem::current_path(folder, ec);

  BuildMainWindow();
  AttachStartupHandlers();

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
