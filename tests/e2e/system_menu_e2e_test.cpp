// The real program on a copy of the sample game folder, the system menu as a player uses
// it: a new warrior opens the menu, saves, opens the help page, ticks an option and sees
// the option file change, spends the attribute point every new character starts with on
// attack, saves again and quits from the menu. The save on disk is read back with the
// game's own loader.
#include <SDL.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/game_driver.h"
#include "e2e/program_driver.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "ui/program.h"
#include "window/form1.h"
#include "world/save_game.h"

namespace {

using ui::Form1;
namespace fs = std::filesystem;

constexpr std::int32_t kMoney = 4321;

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

std::string FileText(const fs::path& file) {
  auto b = plat::ReadAllBytes(file);
  return b ? std::string(b->begin(), b->end()) : std::string("<missing>");
}

struct Seen {
  bool menuOpened = false, pausedByMenu = false;
  bool savedAndClosed = false, saveWritten = false;
  std::string saveBefore;
  std::vector<std::string> helpOpened;
  bool menuStayedForHelp = false;
  std::string configBefore, configAfter;
  std::int32_t allMonHp = 0;
  std::int32_t pointsBefore = 0, dcMaxBefore = 0, hpMaxBefore = 0;
  std::int32_t pointsAfter = 0, dcMaxAfter = 0, hpMaxAfter = 0, heavyAfter = 0;
  std::string pointsShown;
  bool resumed = false;
};

class SystemMenuE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    e2e::CopyGameFolder(dir.path());
    plat::SetDesktopOpener([this](const std::string& target) {
      seen.helpOpened.push_back(target);
      return true;
    });
  }
  void TearDown() override { plat::SetDesktopOpener(nullptr); }

  fs::path SaveFile() const { return dir.path() / "Save" / "林雪.kzs"; }

  testsupport::TempDir dir;
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
  e2e::KeyboardAnswers answers;
  Seen seen;
};

TEST_F(SystemMenuE2e, AWarriorSavesReadsHelpSetsAnOptionSpendsAPointAndQuits) {
  e2e::FastClock clock;
  e2e::GameDriver driver(clock, {SDLK_RETURN, SDLK_SPACE});
  // The menu key; the key's own look at the events runs the driver's steps before the
  // menu opens, so the step after it waits for the menu.
  const e2e::GameDriver::Step openMenu = [](plat::SdlHost&) {
    e2e::PushKey(SDLK_p);
    return true;
  };
  const auto menuShown = [] { return Form1.Psys1->IsShown(); };

  auto& steps = driver.steps;
  e2e::Append(steps, e2e::PastTheIntro(clock));
  steps.push_back([&](plat::SdlHost&) {
    if (Form1.Psys1->Visible) Fail("the system menu was open at the start");
    seen.saveBefore = FileText(SaveFile());
    G.Player.Money = kMoney;
    return true;
  });
  steps.push_back(openMenu);
  steps.push_back([&](plat::SdlHost&) {
    if (!menuShown()) return false;
    seen.menuOpened = true;
    seen.pausedByMenu = G.GamePaused == 1;
    e2e::ClickOn(Form1.Label4);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.savedAndClosed = !Form1.Psys1->Visible && G.GamePaused == 0;
    const std::string after = FileText(SaveFile());
    seen.saveWritten = after != "<missing>" && after != seen.saveBefore;
    return true;
  });
  steps.push_back(openMenu);
  steps.push_back([&](plat::SdlHost&) {
    if (!menuShown()) return false;
    e2e::ClickOn(Form1.Label3);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.menuStayedForHelp = Form1.Psys1->IsShown() && G.GamePaused == 1;
    seen.configBefore = FileText(dir.path() / "Config.cfg");
    e2e::ClickOn(Form1.LFullHP);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.configAfter = FileText(dir.path() / "Config.cfg");
    seen.allMonHp = G.ShowAllMonHp;
    e2e::ClickOn(Form1.Label2);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.resumed = !Form1.Psys1->Visible && G.GamePaused == 0;
    e2e::ClickOn(Form1.SysB2);  // the character window with the status page
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    if (!Form1.LDcAdd->IsShown()) Fail("the attack \"+\" is not in view");
    seen.pointsBefore = G.Player.LevelPoint;
    seen.dcMaxBefore = G.Player.DcMax;
    seen.hpMaxBefore = G.Player.HpMax;
    e2e::ClickOn(Form1.LDcAdd);
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    e2e::ClickOn(Form1.LDcAdd);  // no point left: nothing more
    return true;
  });
  steps.push_back([&](plat::SdlHost&) {
    seen.pointsAfter = G.Player.LevelPoint;
    seen.dcMaxAfter = G.Player.DcMax;
    seen.hpMaxAfter = G.Player.HpMax;
    seen.heavyAfter = G.Player.Heavy;
    seen.pointsShown = Form1.Lspot->Caption;
    e2e::ClickOn(Form1.SysB2);
    return true;
  });
  steps.push_back(openMenu);
  steps.push_back([&](plat::SdlHost&) {
    if (!menuShown()) return false;
    e2e::ClickOn(Form1.Label4);
    return true;
  });
  steps.push_back(openMenu);
  steps.push_back([&](plat::SdlHost&) {
    if (!menuShown()) return false;
    e2e::ClickOn(Form1.Label1);  // quit: no question, no save
    return true;
  });
  steps.push_back([&](plat::SdlHost&) -> bool { Fail("the quit label did not end the program"); });

  e2e::RunNewWarrior(driver, answers, dir.path(), "林雪");
  EXPECT_TRUE(answers.shown.empty());
  EXPECT_EQ(driver.StepsDone(), steps.size() - 1);

  EXPECT_TRUE(seen.menuOpened);
  EXPECT_TRUE(seen.pausedByMenu);
  EXPECT_TRUE(seen.savedAndClosed);
  EXPECT_TRUE(seen.saveWritten);

  ASSERT_EQ(seen.helpOpened.size(), 1u);
  EXPECT_EQ(fs::u8path(seen.helpOpened[0]), dir.path() / "Help" / "help.htm");
  EXPECT_TRUE(fs::is_regular_file(fs::u8path(seen.helpOpened[0])));
  EXPECT_TRUE(seen.menuStayedForHelp);

  // 全屏显示怪物体力 is the second field of the file.
  ASSERT_GE(seen.configBefore.size(), 3u);
  EXPECT_EQ(seen.configBefore[2], '0');
  std::string expected = seen.configBefore;
  expected[2] = '1';
  EXPECT_EQ(seen.configAfter, expected);
  EXPECT_EQ(seen.allMonHp, 1);
  EXPECT_TRUE(seen.resumed);

  // A new character starts with one point.
  EXPECT_EQ(seen.pointsBefore, 1);
  EXPECT_EQ(seen.pointsAfter, 0);
  EXPECT_EQ(seen.dcMaxAfter, seen.dcMaxBefore + 1);
  EXPECT_EQ(seen.hpMaxAfter, seen.hpMaxBefore + 3);
  EXPECT_EQ(seen.pointsShown, "0");

  G = GameState{};
  ASSERT_TRUE(LoadSaveGame("林雪"));
  EXPECT_EQ(G.Player.LevelPoint, 0);
  EXPECT_EQ(G.Player.Money, kMoney);
  EXPECT_EQ(G.Player.DcMax, seen.dcMaxAfter);
  EXPECT_EQ(G.Player.HpMax, seen.hpMaxAfter);
  EXPECT_EQ(G.Player.Heavy, seen.heavyAfter);
}

}  // namespace
