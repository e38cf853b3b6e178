// The real program: in play the frame strips close the window's edges, so nothing of the
// game screen shows in the outermost rows and columns: in town, with the character window
// open and with the system menu open. The game screen is filled with a colour the game
// never draws, and the window is drawn over it.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "graphics/device.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "window/form1.h"

namespace {

using plat::Color;
using ui::Form1;

const Color kMarker{255, 0, 255, 255};

// The window's edge pixels that show the marker-filled game screen, as "x,y" texts. The
// design leaves one corner open: the bottom strip ends at 10805 twips and the right strip
// at 6680, so the game screen shows right of the one and below the other.
std::vector<std::string> ScreenOnTheEdges(plat::SdlHost& host) {
  plat::Renderer& r = host.Render();
  r.SetTarget(host.GameScreenTarget());
  r.Clear(kMarker);
  r.SetTarget(plat::Texture{});
  host.DrawForm();
  const std::vector<std::uint8_t> px = r.ReadPixels();
  const int outputWidth = r.OutputSize().w;
  const plat::Size size{Form1.Form->PixelWidth(), Form1.Form->PixelHeight()};
  std::vector<std::string> seen;
  const auto look = [&](int x, int y) {
    const bool designCorner = x >= plat::TwipsToPixels(10805) && y >= plat::TwipsToPixels(6680);
    if (!designCorner && e2e::PixelOf(px, outputWidth, x, y) == kMarker) {
      seen.push_back(std::to_string(x) + "," + std::to_string(y));
    }
  };
  for (int y = 0; y < size.h; ++y) {
    look(0, y);
    look(size.w - 1, y);
  }
  for (int x = 0; x < size.w; ++x) {
    look(x, 0);
    look(x, size.h - 1);
  }
  return seen;
}

class WindowEdgesE2e : public e2e::ProgramFolderTest {};

TEST_F(WindowEdgesE2e, NothingOfTheGameScreenShowsOnTheFramedEdges) {
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE});

  std::vector<std::string> town, characterWindow, systemMenu;
  auto& steps = driver.steps;
  e2e::Append(steps, e2e::PastTheIntro(clock));
  steps.push_back([&](plat::SdlHost& host) {
    town = ScreenOnTheEdges(host);
    e2e::ClickOn(Form1.SysB2);
    return true;
  });
  steps.push_back([&](plat::SdlHost& host) {
    if (!Form1.Psys2->IsShown()) return false;
    characterWindow = ScreenOnTheEdges(host);
    e2e::ClickOn(Form1.SysB2);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (Form1.Psys2->IsShown()) return false;
    e2e::PushKey(SDLK_p);
    return true;
  });
  steps.push_back([&](plat::SdlHost& host) -> bool {
    if (!Form1.Psys1->IsShown()) return false;
    systemMenu = ScreenOnTheEdges(host);
    EndGame();
  });
  e2e::RunNewWarrior(driver, answers, dir.path(), "边城");

  EXPECT_EQ(Form1.Form->PixelWidth(), 722);
  EXPECT_EQ(Form1.Form->PixelHeight(), 448);
  EXPECT_EQ(driver.StepsDone(), steps.size() - 1);
  EXPECT_EQ(town, std::vector<std::string>{});
  EXPECT_EQ(characterWindow, std::vector<std::string>{});
  EXPECT_EQ(systemMenu, std::vector<std::string>{});
}

}  // namespace
