// The title screen in a real X window, kept as a picture for people to look at.
// Runs only with SDL_VIDEODRIVER=x11 (its ctest entry starts it under xvfb-run); the
// run under the dummy driver skips it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "e2e/program_driver.h"
#include "platform/files.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "ui/form1.h"
#include "ui/program.h"

namespace {

namespace fs = std::filesystem;
using plat::Color;

bool UnderX11() {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  return driver != nullptr && std::string(driver) == "x11";
}

TEST(Screenshot, TheTitleScreenInARealWindow) {
  if (!UnderX11()) GTEST_SKIP() << "needs a real X display: run with SDL_VIDEODRIVER=x11 (xvfb-run)";

  testsupport::TempDir dir;
  e2e::CopyGameFolder(dir.path());
  e2e::WriteSave(dir.path(), {"阿青", "战士", 7, "2024-03-05 08:09:10", "普通"});
  e2e::WriteSave(dir.path(), {"Bob", "法师", 12, "2024-11-30 21:00:00", "专家"});
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::WatchingClock clock;
  e2e::LogoKeys logoKeys(clock, {SDLK_RETURN, SDLK_RETURN});

  const fs::path shot = fs::path(ORVANTH_BINARY_DIR) / "screenshots" / "title.png";
  fs::create_directories(shot.parent_path());
  fs::remove(shot);

  std::vector<std::uint8_t> pixels;
  int width = 0;
  bool realWindow = false, saved = false;
  int gameX = 0, gameY = 0;
  ui::ProgramHooks hooks;
  hooks.folder = dir.path();
  hooks.windowOpened = [&](plat::SdlHost& host) { logoKeys.Attach(host); };
  hooks.leaveTitle = [&](plat::SdlHost& host) {
    realWindow = host.Window() != nullptr && !host.Headless();
    // The window's own picture: drawn into its back buffer and read back before it is shown.
    host.DrawForm();
    plat::Renderer& r = host.Render();
    r.SetTarget(plat::Texture{});
    saved = r.SavePng(shot.string());
    pixels = r.ReadPixels();
    width = r.OutputSize().w;
    const plat::Control* gs = ui::Form1.GameScreen;
    gameX = gs->ScreenX() + gs->ClientInset();
    gameY = gs->ScreenY() + gs->ClientInset();
    return true;
  };
  ASSERT_EQ(ui::RunProgram(hooks), 0) << "the window could not be opened";
  EXPECT_TRUE(realWindow);
  EXPECT_EQ(logoKeys.taps.size(), 2u);
  ASSERT_TRUE(saved);
  ASSERT_TRUE(fs::exists(shot));
  EXPECT_GT(fs::file_size(shot), 1000u);
  ASSERT_EQ(width, 722);

  // The title line: white text from (20, 420) of the game screen.
  int text = 0;
  for (int y = gameY + 418; y < gameY + 440; ++y) {
    for (int x = gameX + 20; x < gameX + 320; ++x) {
      const Color c = e2e::PixelOf(pixels, width, x, y);
      text += (c.r == c.g && c.g == c.b && c.r >= 128) ? 1 : 0;
    }
  }
  EXPECT_GT(text, 60);
  // The title panel (152, 40, 402 x 382 pixels) is drawn over the black game screen.
  int panel = 0, samples = 0;
  for (int y = 40; y < 40 + 382; y += 4) {
    for (int x = 152; x < 152 + 402; x += 4) {
      const Color c = e2e::PixelOf(pixels, width, x, y);
      panel += (c.r | c.g | c.b) != 0 ? 1 : 0;
      ++samples;
    }
  }
  EXPECT_GT(panel, samples / 2);
  // Left of the panel, above the title line, the game screen is black.
  EXPECT_EQ(e2e::PixelOf(pixels, width, gameX + 60, gameY + 200), (Color{0, 0, 0, 255}));
}

}  // namespace
