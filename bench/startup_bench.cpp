// The start-up and one frame of the window's controls.
//
// BM_StartupToTitle runs the real program routine (ui::RunProgram) on the built sample
// game folder, in this process, under SDL's dummy video and audio drivers: opening the
// window, the graphics start, both logos (each faded in and out: 512 presented frames
// apiece; Enter is held from the start, so neither logo waits), the start-up pictures
// and tables, the character list, and the first title-screen pass. It stops when the
// title panel is up. It leaves out what comes before main (loading the executable and
// its libraries) and the one-time start of SDL's video, which happen once per process.
//
// BM_PresentIdleTitle is the title screen's present when nothing changed.
//
// BM_DrawTitleForm draws the whole title screen (the form with its panels, pictures,
// list, buttons and the game screen) once into the headless software renderer, as the
// window does on every present.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/resources.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/sdl_host.h"
#include "window/form1.h"
#include "ui/program.h"
#include "ui/startup.h"

namespace {

void UseDummyDrivers() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
}

void FreshState() {
  G = GameState{};
  ResetGraphics();
  plat::Application::Get().Reset();
  plat::ResetKeyStates();
}

void BM_StartupToTitle(benchmark::State& state) {
  UseDummyDrivers();
  ui::ProgramHooks hooks;
  hooks.folder = ORVANTH_GAME_DIR;
  long frames = 0;
  hooks.windowOpened = [&frames](plat::SdlHost& host) {
    // Enter held down: each logo's wait returns as soon as the logo has faded in.
    plat::SetKeyHeld(plat::vk::Return, true);
    // The same display, counting the frames shown on the way.
    AttachDisplay(&host.Render(), host.GameScreenTarget(), [&frames, &host] {
      ++frames;
      host.Present();
    });
  };
  bool reached = false;
  hooks.leaveTitle = [&reached](plat::SdlHost&) {
    reached = ui::Form1.MainMeun != nullptr && ui::Form1.MainMeun->Visible;
    return true;
  };
  for (auto _ : state) {
    state.PauseTiming();
    FreshState();
    reached = false;
    state.ResumeTiming();
    const int code = ui::RunProgram(hooks);
    if (code != 0 || !reached) {
      state.SkipWithError("the program did not reach the title screen");
      break;
    }
  }
  if (state.iterations() > 0) {
    state.counters["frames"] =
        benchmark::Counter(static_cast<double>(frames) / static_cast<double>(state.iterations()));
  }
  FreshState();
}
BENCHMARK(BM_StartupToTitle)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_DrawTitleForm(benchmark::State& state) {
  UseDummyDrivers();
  FreshState();
  plat::SetProgramFolder(ORVANTH_GAME_DIR);
  ui::BuildMainWindow();
  ui::AttachStartupHandlers();
  // The title screen as the start-up leaves it, with two characters listed.
  ui::Form1.MainMeun->Visible = true;
  ui::Form1.IdList->Visible = true;
  ui::Form1.IdList->AddItem("Bob       法师 等级：12 2024-11-30 21:00:00 专家");
  ui::Form1.IdList->AddItem("阿青      战士 等级：7  2024-03-05 08:09:10 普通");
  auto host = plat::SdlHost::CreateHeadless(*ui::Form1.Form);
  host->DrawForm();  // the first draw loads the control pictures
  for (auto _ : state) {
    host->DrawForm();
    benchmark::ClobberMemory();
  }
  host.reset();
  FreshState();
}
BENCHMARK(BM_DrawTitleForm)->Unit(benchmark::kMicrosecond);

// One pass of the idle title screen: the window's look compared with what it shows, and
// nothing drawn (nothing changed).
void BM_PresentIdleTitle(benchmark::State& state) {
  UseDummyDrivers();
  FreshState();
  plat::SetProgramFolder(ORVANTH_GAME_DIR);
  ui::BuildMainWindow();
  ui::AttachStartupHandlers();
  ui::Form1.MainMeun->Visible = true;
  ui::Form1.IdList->Visible = true;
  ui::Form1.IdList->AddItem("Bob       法师 等级：12 2024-11-30 21:00:00 专家");
  auto host = plat::SdlHost::CreateHeadless(*ui::Form1.Form);
  host->Present();
  const auto shown = host->PresentCount();
  for (auto _ : state) {
    host->Present();
    benchmark::ClobberMemory();
  }
  if (host->PresentCount() != shown) state.SkipWithError("an unchanged window was drawn again");
  host.reset();
  FreshState();
}
BENCHMARK(BM_PresentIdleTitle)->Unit(benchmark::kMicrosecond);

}  // namespace
