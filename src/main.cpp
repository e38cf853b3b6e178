// The program: runs from its own folder, opens the main window and starts it; the title
// screen then waits for the player until the program ends (always through EndGame).
#include <SDL.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "common/game_state.h"
#include "graphics/device.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "ui/form1.h"
#include "ui/startup.h"
#include "ui/window_system.h"

namespace {

// The idle pause of the title screen between two looks at the window's events.
constexpr std::int64_t kIdleMs = 15;

}  // namespace

int main() {
  const auto folder = plat::ExecutableFolder();
  plat::SetProgramFolder(folder);
  std::error_code ec;
  std::filesystem::current_path(folder, ec);

  ui::BuildMainWindow();
  ui::AttachStartupHandlers();

  std::unique_ptr<plat::SdlHost> host;
  try {
    host = plat::SdlHost::CreateWindowed(*ui::Form1.Form);
  } catch (const plat::RenderError& e) {
    std::fprintf(stderr, "Orvanth: cannot open the window: %s\n", e.what());
    return 1;
  }
  plat::SdlHost* h = host.get();
  AttachDisplay(&h->Render(), h->GameScreenTarget(), [h] { h->Present(); });
  ui::MainWindowSystem.Minimize = [h] {
    if (h->Window() != nullptr) SDL_MinimizeWindow(h->Window());
  };
  ui::MainWindowSystem.Minimized = [h] { return h->Minimized(); };

  ui::Form_Load();

  // The title screen: the window's events and timers run, the window is redrawn. A game
  // started from here never comes back; every way out ends the program.
  auto& app = plat::Application::Get();
  for (;;) {
    app.DoEvents();
    h->Present();
    plat::SleepMs(kIdleMs);
  }
}
