// The system menu on the real main window: the option boxes with their flags, sound and
// file, the minimap toggle, and the menu's continue, save, help and quit labels.
#include "ui/system_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/files.h"
#include "platform/process.h"
#include "ui/game_folder_fixture.h"
#include "ui/system_buttons.h"
#include "window/form1.h"
#include "world/options.h"

namespace {

using ui::Form1;
using ui::MainWindow;
namespace fs = std::filesystem;

constexpr std::string_view kClick = "Sound\\按键1.wav";

class SystemMenuTest : public uitest::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    plat::SetDesktopOpener([this](const std::string& target) {
      opened.push_back(target);
      return true;
    });
  }
  void TearDown() override {
    plat::SetDesktopOpener(nullptr);
    GameFolderTest::TearDown();
  }

  static std::string ConfigText() {
    auto b = plat::ReadAllBytes(Folder() / "Config.cfg");
    return b ? std::string(b->begin(), b->end()) : std::string("<missing>");
  }
  bool Clicked() const { return Played(kClick); }
  int Clicks() const {
    int n = 0;
    for (const auto& call : sound.calls) n += call.find("按键1.wav") != std::string::npos ? 1 : 0;
    return n;
  }
  void Quiet() { sound.calls.clear(); }

  std::vector<std::string> opened;
};

// The boxes in the file's field order, with the flag each sets.
struct OptionBox {
  plat::Control* MainWindow::*box;
  std::int32_t GameState::*flag;  // nullptr: the minimap's place instead of a flag
};
const OptionBox kBoxes[] = {
    {&MainWindow::LGameMusic, &GameState::SoundOn},      {&MainWindow::LFullHP, &GameState::ShowAllMonHp},
    {&MainWindow::LFullItem, &GameState::ShowAllItemNames}, {&MainWindow::LAutoItem, &GameState::AutoPickUp},
    {&MainWindow::LActNumber, &GameState::ShowDamage},   {&MainWindow::LMgcLock, &GameState::MagicLock},
    {&MainWindow::LlistMinMap, nullptr},                 {&MainWindow::LshowID, &GameState::ShowPlayerId},
};

bool MiniMapInView() { return Form1.Pminimap->Left == 9210 && Form1.Pminimap->Top == 120; }
bool MiniMapParked() { return Form1.Pminimap->Left == 10485 && Form1.Pminimap->Top == -1155; }

TEST_F(SystemMenuTest, EachBoxSetsItsFlagAndRewritesItsFieldOnEveryClick) {
  for (const auto& b : kBoxes) (Form1.*b.box)->SetValue(0);
  for (std::size_t i = 0; i < std::size(kBoxes); ++i) {
    plat::Control* box = Form1.*kBoxes[i].box;
    SCOPED_TRACE(box->Name);
    for (const int v : {1, 0}) {
      fs::remove(Folder() / "Config.cfg");
      box->SetValue(v);
      std::string line = "0,0,0,0,0,0,0,0\r\n";
      line[2 * i] = static_cast<char>('0' + v);
      EXPECT_EQ(ConfigText(), line);
      if (kBoxes[i].flag != nullptr) {
        EXPECT_EQ(G.*kBoxes[i].flag, v);
      } else {
        EXPECT_EQ(v == 1 ? MiniMapInView() : MiniMapParked(), true);
      }
    }
  }
  // A grey box (value 2) counts as off.
  Form1.LshowID->SetValue(1);
  Form1.LshowID->SetValue(2);
  EXPECT_EQ(G.ShowPlayerId, 0);
  // A click that changes nothing else still rewrites the file.
  fs::remove(Folder() / "Config.cfg");
  Form1.LFullHP->OnClick();
  EXPECT_EQ(ConfigText(), "0,0,0,0,0,0,0,2\r\n");
}

TEST_F(SystemMenuTest, BoxesClickOnlyWhileSoundIsOnAndTheSoundBoxOnlyWhenTicked) {
  for (const auto& b : kBoxes) {
    plat::Control* box = Form1.*b.box;
    if (box == Form1.LGameMusic) continue;
    SCOPED_TRACE(box->Name);
    for (const int sound : {1, 0}) {
      G.SoundOn = sound;
      const int start = box->Value();
      for (const int v : {1 - start, start}) {
        Quiet();
        box->SetValue(v);
        EXPECT_EQ(Clicked(), sound == 1);
      }
    }
  }
  Form1.LGameMusic->SetValue(0);
  Quiet();
  Form1.LGameMusic->SetValue(1);
  EXPECT_TRUE(Clicked());
  EXPECT_EQ(G.SoundOn, 1);
  Quiet();
  Form1.LGameMusic->SetValue(0);
  EXPECT_FALSE(Clicked());
  EXPECT_EQ(G.SoundOn, 0);
}

TEST_F(SystemMenuTest, UntickingTheMagicLockForgetsTheTarget) {
  G.LockedMon = 7;
  Form1.LMgcLock->SetValue(1);
  EXPECT_EQ(G.LockedMon, 7);
  Form1.LMgcLock->SetValue(0);
  EXPECT_EQ(G.LockedMon, 0);
}

TEST_F(SystemMenuTest, LoadingOverChangedBoxesClicksEachChangeAndKeepsTheFile) {
  const std::string line = "1,1,0,1,0,0,1,0\r\n";
  ASSERT_TRUE(plat::WriteAllBytes(Folder() / "Config.cfg", std::vector<std::uint8_t>(line.begin(), line.end())));
  G.SoundOn = 1;
  Quiet();
  LoadConfig();  // the boxes start ticked for sound and damage numbers
  EXPECT_EQ(ConfigText(), line);
  EXPECT_EQ(G.SoundOn, 1);
  EXPECT_EQ(G.ShowAllMonHp, 1);
  EXPECT_EQ(G.AutoPickUp, 1);
  EXPECT_EQ(G.ShowDamage, 0);
  EXPECT_TRUE(MiniMapInView());
  EXPECT_EQ(Clicks(), 4);  // the four boxes that changed

  // With the sound box switched off by the file, every change is silent.
  const std::string silent = "0,0,0,0,1,0,0,0\r\n";
  ASSERT_TRUE(plat::WriteAllBytes(Folder() / "Config.cfg", std::vector<std::uint8_t>(silent.begin(), silent.end())));
  Quiet();
  LoadConfig();
  EXPECT_EQ(ConfigText(), silent);
  EXPECT_EQ(Clicks(), 0);
}

TEST_F(SystemMenuTest, TheCornerToggleMovesTheMiniMapAndLeavesBoxAndFileAlone) {
  Form1.LlistMinMap->SetValue(1);
  const std::string before = ConfigText();
  G.SoundOn = 1;
  Quiet();
  Form1.Image1->OnClick();
  EXPECT_TRUE(MiniMapParked());
  EXPECT_EQ(Form1.LlistMinMap->Value(), 1);
  EXPECT_FALSE(Clicked());
  fs::remove(Folder() / "Config.cfg");
  Form1.Image1->OnClick();
  EXPECT_TRUE(MiniMapInView());
  EXPECT_FALSE(fs::exists(Folder() / "Config.cfg"));
  Form1.Pminimap->Move(0, 0);  // anywhere else counts as out of view
  Form1.Image1->OnClick();
  EXPECT_TRUE(MiniMapInView());
  // The box brings panel and box back in line.
  Form1.Image1->OnClick();
  Form1.LlistMinMap->SetValue(0);
  Form1.LlistMinMap->SetValue(1);
  EXPECT_TRUE(MiniMapInView());
  EXPECT_EQ(before, ConfigText());
}

// What a menu label leaves: the menu shown, the game paused, a click heard.
struct MenuCase {
  const char* name;
  plat::Control* MainWindow::*label;
  bool menuAfter;
  int pausedAfter;
};

TEST_F(SystemMenuTest, MenuLabelsCloseOrKeepTheMenuAndClickOnlyWithSound) {
  const MenuCase cases[] = {
      {"continue", &MainWindow::Label2, false, 0},
      {"save", &MainWindow::Label4, false, 0},
      {"help", &MainWindow::Label3, true, 1},
  };
  G.Player.HP = 10;
  for (const auto& c : cases) {
    for (const int soundOn : {1, 0}) {
      SCOPED_TRACE(std::string(c.name) + (soundOn ? " with sound" : " silent"));
      G.SoundOn = soundOn;
      ui::SysB1_Click();
      ASSERT_TRUE(Form1.Psys1->Visible);
      ASSERT_EQ(G.GamePaused, 1);
      Quiet();
      (Form1.*c.label)->OnClick();
      EXPECT_EQ(Form1.Psys1->Visible, c.menuAfter);
      EXPECT_EQ(G.GamePaused, c.pausedAfter);
      EXPECT_EQ(Clicked(), soundOn == 1);
      if (Form1.Psys1->Visible) ui::SysB1_Click();  // the system button closes it again
      EXPECT_FALSE(Form1.Psys1->Visible);
      EXPECT_EQ(G.GamePaused, 0);
    }
  }
}

TEST_F(SystemMenuTest, TheMenuDoesNotOpenOverADeadPlayer) {
  G.Player.HP = 0;
  ui::SysB1_Click();
  EXPECT_FALSE(Form1.Psys1->Visible);
  EXPECT_EQ(G.GamePaused, 0);
}

TEST_F(SystemMenuTest, HelpOpensThePageOfTheProgramFolderAsOneArgument) {
  fs::rename(Folder() / "Help", Folder() / "HELP");  // names match without case
  Form1.Label3->OnClick();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_TRUE(fs::is_regular_file(fs::u8path(opened[0])));
  EXPECT_EQ(fs::u8path(opened[0]), Folder() / "HELP" / "help.htm");
  fs::rename(Folder() / "HELP", Folder() / "Help");
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
  // A handler that cannot start, or fails, changes nothing either, but the player is
  // told at once, while the menu is still open, which file the help is in.
  plat::SetDesktopOpener([](const std::string&) {
    EXPECT_TRUE(Form1.Psys1->Visible);
    return false;
  });
  Form1.Psys1->Visible = true;
  G.GamePaused = 1;
  Form1.Label3->OnClick();
  ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
  const std::string page = (Folder() / "Help" / "help.htm").string();
  EXPECT_EQ(dialogs.dialogs.shown[0].text, "无法打开帮助页面，请用浏览器打开文件：" + page);
  EXPECT_EQ(dialogs.dialogs.shown[0].buttons, plat::kOkOnly);
  EXPECT_TRUE(Form1.Psys1->Visible);
  EXPECT_EQ(G.GamePaused, 1);
}

TEST_F(SystemMenuTest, QuitEndsWithoutAQuestionOrASave) {
  G.SoundOn = 0;
  EXPECT_THROW(Form1.Label1->OnClick(), plat::ProgramEnded);
  EXPECT_FALSE(Clicked());
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

}  // namespace
