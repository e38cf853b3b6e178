// The main window's start-up, its quit confirmation, its three timers and the hide key.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/device.h"
#include "graphics/resources.h"
#include "graphics/test_pictures.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/startup.h"
#include "window/window_system.h"
#include "world/game_loop.h"

namespace {

using testsupport::ScopedDialogs;
using testsupport::ScopedEndThrows;
using testsupport::ScopedFakeClock;

void Post(std::function<void()> fn) {
  plat::InputEvent e{};
  e.type = plat::InputEvent::Custom;
  e.custom = std::move(fn);
  plat::Application::Get().Post(std::move(e));
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    ResetGraphics();
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    ui::BuildMainWindow();
    ui::AttachStartupHandlers();
  }
  void TearDown() override {
    ui::MainWindowSystem = ui::WindowSystem{};
    ResetGraphics();
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    ui::BuildMainWindow();
    G = GameState{};
    plat::SetProgramFolder(savedFolder_);
  }

  testsupport::TempDir dir;
  ScopedDialogs dialogs;
  ScopedEndThrows ends;

 private:
  std::filesystem::path savedFolder_;
};

TEST_F(StartupTest, FormLoadEndsOnTheTitleScreen) {
  testpics::WriteStartupFolder(dir.path());
  testpics::WriteText(dir / "DisplayMemory.cfg", "2");
  ui::Form1.Form->Visible = false;
  plat::SetKeyHeld(plat::vk::Return, true);  // every logo is acknowledged at once
  ui::Form_Load();

  EXPECT_TRUE(ui::Form1.Form->Visible);
  EXPECT_EQ(ui::Form1.GameScreen->Width, 10830);
  EXPECT_EQ(ui::Form1.GameScreen->Height, 6750);
  EXPECT_EQ(G.GameRunning, 1);
  EXPECT_EQ(G.LowMemoryMode, 2);
  EXPECT_TRUE(Gfx.HeadTex[280]);
  EXPECT_TRUE(ui::Form1.MainMeun->Visible);
  EXPECT_TRUE(ui::Form1.IdList->Visible);
  EXPECT_EQ(ui::Form1.IdList->ListCount(), 0);  // no save yet
  EXPECT_EQ(G.Fps, 0);
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

// The working copies of a program killed while it wrote go at the next start, in every
// folder the program writes; those of a running program and the saves stay.
TEST_F(StartupTest, FormLoadRemovesTheLeftoversOfEndedRuns) {
  testpics::WriteStartupFolder(dir.path());
  const std::string ended = std::to_string(testsupport::EndedProcess());
  const std::string alive = std::to_string(::getpid());
  const std::vector<std::filesystem::path> gone = {
      dir / "Save" / "张三.kzs.saving",
      dir / "Save" / ("张三.kzs.saving." + ended),
      dir / "Save" / ("." + std::string("张三.kzs.tmp.") + ended + ".0"),
      dir / (".Config.cfg.tmp." + ended + ".3"),
      dir / "Pic" / (".2026127.bmp.tmp." + ended + ".0"),
      dir / "Date" / "rpg" / (".21.dat.reading." + ended + ".0-5")};
  const std::vector<std::filesystem::path> kept = {dir / "Save" / "张三.kzs.bak",
                                                   dir / "Save" / ("李四.kzs.saving." + alive)};
  for (const auto& p : gone) {
    std::filesystem::create_directories(p.parent_path());
    testpics::WriteText(p, "x");
  }
  for (const auto& p : kept) testpics::WriteText(p, "x");
  plat::SetKeyHeld(plat::vk::Return, true);
  ui::Form_Load();
  for (const auto& p : gone) EXPECT_FALSE(std::filesystem::exists(p)) << p;
  for (const auto& p : kept) EXPECT_TRUE(std::filesystem::exists(p)) << p;
}

TEST_F(StartupTest, FormLoadWithoutTheFirstPictureEndsAtTheDevice) {
  plat::SetKeyHeld(plat::vk::Return, true);
  EXPECT_THROW(ui::Form_Load(), plat::ProgramEnded);
  ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
  EXPECT_NE(dialogs.dialogs.shown[0].text.find("\\date\\Item\\1.bmp"), std::string::npos);
  EXPECT_FALSE(ui::Form1.MainMeun->Visible);
}

TEST_F(StartupTest, QuitConfirmationOkEndsWithoutSaving) {
  testpics::WriteBytes(dir / "date/Item/1.bmp", testpics::Numbered(1));
  InitD3D();
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  int cancel = 0;
  EXPECT_THROW(ui::Form_Unload(cancel), plat::ProgramEnded);
  ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.dialogs.shown[0].text, "确实要退出游戏吗？");
  EXPECT_EQ(dialogs.dialogs.shown[0].buttons, plat::kOkCancel);
  EXPECT_EQ(dialogs.dialogs.shown[0].title, plat::AppTitle());  // the application's own title
  EXPECT_EQ(Gfx.Device, nullptr);  // everything released
  EXPECT_FALSE(std::filesystem::exists(dir / "Save"));
}

TEST_F(StartupTest, QuitConfirmationCancelKeepsEverything) {
  G.GamePaused = 1;
  G.Player.HP = 33;
  dialogs.dialogs.messageAnswers.push_back(plat::kCancel);
  int cancel = 0;
  ui::Form_Unload(cancel);
  EXPECT_EQ(cancel, 1);
  EXPECT_EQ(G.GamePaused, 1);
  EXPECT_EQ(G.Player.HP, 33);

  // Closing the window asks the same question; Cancel keeps the window.
  dialogs.dialogs.messageAnswers.push_back(plat::kCancel);
  plat::InputEvent close{};
  close.type = plat::InputEvent::Close;
  close.form = ui::Form1.Form;
  plat::Application::Get().Post(close);
  plat::Application::Get().DoEvents();
  EXPECT_EQ(dialogs.dialogs.shown.size(), 2u);
  EXPECT_TRUE(ui::Form1.Form->Visible);

  // An OK there ends the program.
  dialogs.dialogs.messageAnswers.push_back(plat::kOk);
  plat::Application::Get().Post(close);
  EXPECT_THROW(plat::Application::Get().DoEvents(), plat::ProgramEnded);
}

TEST_F(StartupTest, TheFpsTimerCopiesAndResetsTheCountAndKeepsTheCheatInvisibility) {
  G.FrameCount = 29;
  G.Player.InvisTime = 5;
  ui::TimerFps_Timer();
  EXPECT_EQ(G.Fps, 29);
  EXPECT_EQ(G.FrameCount, 0);
  EXPECT_EQ(G.Player.InvisTime, 5);  // no lock: the countdown is left alone

  G.InvisLock = 1;
  G.FrameCount = 31;
  ui::TimerFps_Timer();
  EXPECT_EQ(G.Fps, 31);
  EXPECT_EQ(G.Player.InvisTime, 9999);
}

TEST_F(StartupTest, TheNpcPhaseStepsAndWrapsFromThreeToZero) {
  std::vector<int> phases;
  for (int i = 0; i < 6; ++i) {
    ui::TimerNPC_Timer();
    phases.push_back(G.NpcAnimFrame);
  }
  EXPECT_EQ(phases, (std::vector<int>{1, 2, 3, 0, 1, 2}));
  G.NpcAnimFrame = 7;  // never out of 0..3 afterwards
  ui::TimerNPC_Timer();
  EXPECT_EQ(G.NpcAnimFrame, 0);
}

TEST_F(StartupTest, TheSpiritCostsOneMagicPointOnlyWhileSummonedAndAboveZero) {
  G.Player.Mp = 5;
  ui::BBTimer_Timer();
  EXPECT_EQ(G.Player.Mp, 5);  // no spirit
  G.Spirit.Level = 2;
  ui::BBTimer_Timer();
  EXPECT_EQ(G.Player.Mp, 4);
  G.Player.Mp = 0;
  ui::BBTimer_Timer();
  EXPECT_EQ(G.Player.Mp, 0);
  EXPECT_EQ(G.Spirit.Level, 2);  // the spirit stays
}

TEST_F(StartupTest, TheTimersRunFromTheWindowAtTheirIntervals) {
  ScopedFakeClock clock;
  G.FrameCount = 12;
  G.Spirit.Level = 1;
  G.Player.Mp = 10;
  auto& app = plat::Application::Get();
  app.DoEvents();  // the timers start counting
  clock.clock.Advance(400);
  app.DoEvents();
  EXPECT_EQ(G.NpcAnimFrame, 1);
  EXPECT_EQ(G.Fps, 0);
  clock.clock.Advance(600);
  app.DoEvents();
  EXPECT_EQ(G.Fps, 12);
  EXPECT_EQ(G.FrameCount, 0);
  EXPECT_EQ(G.Player.Mp, 10);
  clock.clock.Advance(1500);
  app.DoEvents();
  EXPECT_EQ(G.Player.Mp, 9);
}

// The hide key minimises the window; the game comes back when the window is restored
// or the key is pressed again.
class HideKeyTest : public StartupTest {
 protected:
  void SetUp() override {
    StartupTest::SetUp();
    ui::MainWindowSystem.Minimize = [this] {
      ++minimizeCalls;
      minimized = true;
    };
    ui::MainWindowSystem.Minimized = [this] { return minimized; };
    G.GAMELEVEL = 1;
    G.Player.HP = G.Player.HpMax = 100;  // a living player: unpaused frames run its update
  }

  // Runs the game loop with a handler at each pass until the handler returns false.
  void RunLoop(std::function<bool(int pass)> step) {
    int pass = 0;
    std::function<void()> each = [&] {
      if (!step(pass++)) {
        G.GameRunning = 0;
        return;
      }
      Post(each);
    };
    Post(each);
    G.GameRunning = 1;
    EXPECT_THROW(GameLoop(), plat::ProgramEnded);
  }

  int minimizeCalls = 0;
  bool minimized = false;
};

TEST_F(HideKeyTest, RestoringTheWindowResumesTheGame) {
  ScopedFakeClock clock;
  std::vector<int> paused;
  RunLoop([&](int pass) {
    paused.push_back(G.GamePaused);
    switch (pass) {
      case 0:
        plat::SetKeyHeld(plat::vk::Grave, true);
        HideGameWindow();  // what the key's handler does
        break;
      case 1:
        plat::SetKeyHeld(plat::vk::Grave, false);  // the hiding press ends
        break;
      case 3:
        minimized = false;  // the player restores the window
        break;
      case 5:
        return false;
    }
    return true;
  });
  EXPECT_EQ(minimizeCalls, 1);
  EXPECT_EQ(paused, (std::vector<int>{0, 1, 1, 1, 0, 0}));
  EXPECT_EQ(G.WindowHidden, 0);
}

TEST_F(HideKeyTest, PressingTheKeyAgainResumesTheGame) {
  ScopedFakeClock clock;
  ui::MainWindowSystem.Minimize = [this] { ++minimizeCalls; };  // a window that stays up
  std::vector<int> paused;
  RunLoop([&](int pass) {
    paused.push_back(G.GamePaused);
    switch (pass) {
      case 0:
        plat::SetKeyHeld(plat::vk::Grave, true);
        HideGameWindow();
        break;
      case 1:
        plat::SetKeyHeld(plat::vk::Grave, false);
        break;
      case 3:
        plat::SetKeyHeld(plat::vk::Grave, true);
        plat::SetKeyHeld(plat::vk::Grave, false);
        break;
      case 5:
        return false;
    }
    return true;
  });
  EXPECT_EQ(paused, (std::vector<int>{0, 1, 1, 1, 0, 0}));
}

}  // namespace
