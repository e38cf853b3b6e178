// The main window's keys, pressed through the window so the handler's wiring counts:
// the skill keys, the belt keys, the hide key, quitting and walking toward the pointer.
#include "ui/keyboard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/startup.h"
#include "window/window_system.h"

namespace {

namespace fs = std::filesystem;
using ui::Form1;

constexpr int kF1 = 112;
constexpr int kEsc = 27;
constexpr int kF12 = 123;
constexpr int kGrave = 192;

class KeyboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    ui::BuildMainWindow();
    ui::AttachStartupHandlers();
    ui::MainWindowSystem.Minimize = [this] { ++minimizeCalls; };
    ui::MainWindowSystem.Minimized = [] { return false; };
    for (int k = 1; k <= 15; ++k) G.Player.M[static_cast<std::size_t>(k)] = "??1";
    fs::create_directories(dir / "date/mgc/ico");
    for (int k : {4, 7, 9, 12}) std::ofstream(dir / ("date/mgc/ico/" + std::to_string(k) + ".bmp")) << "BM";
  }
  void TearDown() override {
    ui::MainWindowSystem = ui::WindowSystem{};
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    ui::BuildMainWindow();
    G = GameState{};
    plat::SetProgramFolder(savedFolder_);
  }

  // A key pressed as the window receives it.
  static void Press(int keyCode) { Form1.Form->KeyDown(keyCode, 0); }
  static void PressF(int n) { Press(kF1 + n - 1); }
  static void Bind(int skill, const std::string& text) { G.Player.M[static_cast<std::size_t>(skill)] = text; }

  std::string Icon(int skill) const {
    return plat::ResolvePath("\\date\\mgc\\ico\\" + std::to_string(skill) + ".bmp").string();
  }
  static void ExpectYellowMessage(int line, const std::string& text) {
    const SysMessage& m = G.SysMessages[static_cast<std::size_t>(line)];
    EXPECT_EQ(m.Text, text) << "line " << line;
    EXPECT_GT(m.Life, 0);
    EXPECT_EQ(m.R, 255);
    EXPECT_EQ(m.G, 255);
    EXPECT_EQ(m.B, 0);
  }
  static bool NoMessages() { return G.SysMessages[1].Life == 0; }

  testsupport::TempDir dir;
  testsupport::ScopedDialogs dialogs;
  testsupport::ScopedEndThrows ends;
  int minimizeCalls = 0;

 private:
  fs::path savedFolder_;
};

TEST_F(KeyboardTest, ShockSlashKeySwitchesOnThenOffAndSelectsTheSkillBothTimes) {
  Bind(4, "F32");
  PressF(3);
  EXPECT_EQ(G.ShockSlashOn, 1);
  EXPECT_EQ(G.Player.NowMc, 4);
  EXPECT_EQ(Form1.Qmc->Picture, Icon(4));
  EXPECT_EQ(fs::path(Form1.Qmc->Picture), dir / "date/mgc/ico/4.bmp");
  ExpectYellowMessage(1, "震气斩开启");

  G.Player.NowMc = 7;  // another spell chosen in between
  Form1.Qmc->Picture = Icon(7);
  PressF(3);
  EXPECT_EQ(G.ShockSlashOn, 0);
  EXPECT_EQ(G.Player.NowMc, 4);
  EXPECT_EQ(Form1.Qmc->Picture, Icon(4));
  ExpectYellowMessage(2, "震气斩关闭");
  EXPECT_EQ(G.SysMessages[3].Life, 0);  // one message per press
}

TEST_F(KeyboardTest, SpiritKeyAtLevelTwoSummonsThenDismisses) {
  Bind(9, "F52");
  PressF(5);
  EXPECT_EQ(G.Spirit.Level, 2);
  EXPECT_EQ(G.Player.NowMc, 9);
  EXPECT_EQ(Form1.Qmc->Picture, Icon(9));
  ExpectYellowMessage(1, "精灵召唤");

  PressF(5);
  EXPECT_EQ(G.Spirit.Level, 0);
  EXPECT_EQ(G.Player.NowMc, 9);
  ExpectYellowMessage(2, "召唤停止");

  // A spirit already there at another level (raised by a script) is sent away too.
  G.Spirit.Level = 3;
  PressF(5);
  EXPECT_EQ(G.Spirit.Level, 0);
  ExpectYellowMessage(3, "召唤停止");
  EXPECT_EQ(G.ShockSlashOn, 0);
}

TEST_F(KeyboardTest, SpiritKeyWithoutALevelOnlySelectsTheSkill) {
  Bind(9, "F70");
  PressF(7);
  EXPECT_EQ(G.Player.NowMc, 9);
  EXPECT_EQ(Form1.Qmc->Picture, Icon(9));
  EXPECT_EQ(G.Spirit.Level, 0);
  EXPECT_TRUE(NoMessages());
}

TEST_F(KeyboardTest, OfTwoSkillsOnOneKeyTheHigherIsSelected) {
  Bind(7, "F23");
  Bind(12, "F21");
  PressF(2);
  EXPECT_EQ(G.Player.NowMc, 12);
  EXPECT_EQ(Form1.Qmc->Picture, Icon(12));
  EXPECT_TRUE(NoMessages());

  // Skill 4 ends the search where it stands: a higher skill on its key is not reached.
  Bind(4, "F61");
  Bind(13, "F61");
  PressF(6);
  EXPECT_EQ(G.Player.NowMc, 4);
  EXPECT_EQ(G.ShockSlashOn, 1);
  ExpectYellowMessage(1, "震气斩开启");
  // So does a summon.
  Bind(9, "F82");
  Bind(14, "F82");
  PressF(8);
  EXPECT_EQ(G.Player.NowMc, 9);
  EXPECT_EQ(G.Spirit.Level, 2);
}

TEST_F(KeyboardTest, AKeyBoundToNothingAndSkillOneChangeNothing) {
  Bind(1, "F11");  // skill 1 holds F1 but is never looked at
  Bind(7, "F43");
  G.Player.NowMc = 7;
  Form1.Qmc->Picture = Icon(7);
  for (int n = 1; n <= 8; ++n) {
    if (n == 4) continue;
    PressF(n);
  }
  EXPECT_EQ(G.Player.NowMc, 7);
  EXPECT_EQ(Form1.Qmc->Picture, Icon(7));
  EXPECT_EQ(G.ShockSlashOn, 0);
  EXPECT_EQ(G.Spirit.Level, 0);
  EXPECT_TRUE(NoMessages());
  EXPECT_TRUE(dialogs.dialogs.shown.empty());

  // A string too short for a binding, or empty, is bound to nothing.
  Bind(7, "F");
  Bind(8, "");
  PressF(4);
  EXPECT_EQ(G.Player.NowMc, 7);
  EXPECT_TRUE(NoMessages());
}

TEST_F(KeyboardTest, TheHideKeyActsOnlyDuringAnUnpausedGame) {
  // Before a game has started.
  G.GAMELEVEL = 0;
  Press(kGrave);
  EXPECT_EQ(G.GamePaused, 0);
  EXPECT_EQ(G.WindowHidden, 0);
  EXPECT_EQ(minimizeCalls, 0);

  // While the game is paused (the system menu is open).
  G.GAMELEVEL = 2;
  G.GamePaused = 1;
  Press(kGrave);
  EXPECT_EQ(G.GamePaused, 1);
  EXPECT_EQ(G.WindowHidden, 0);
  EXPECT_EQ(minimizeCalls, 0);

  // While it runs: paused and minimised.
  G.GamePaused = 0;
  Press(kGrave);
  EXPECT_EQ(G.GamePaused, 1);
  EXPECT_EQ(G.WindowHidden, 1);
  EXPECT_EQ(minimizeCalls, 1);
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

TEST_F(KeyboardTest, EscAndF12CancelledChangeNothing) {
  G.GAMELEVEL = 1;
  G.Player.HP = 40;
  G.Player.NowMc = 5;
  for (int key : {kEsc, kF12}) {
    dialogs.dialogs.messageAnswers.push_back(plat::kCancel);
    Press(key);
  }
  ASSERT_EQ(dialogs.dialogs.shown.size(), 2u);
  for (const auto& box : dialogs.dialogs.shown) {
    EXPECT_EQ(box.text, "确实要退出游戏吗？");
    EXPECT_EQ(box.buttons, plat::kOkCancel);
  }
  EXPECT_TRUE(Form1.Form->Visible);
  EXPECT_EQ(G.GamePaused, 0);
  EXPECT_EQ(G.GameRunning, 0);
  EXPECT_EQ(G.Player.HP, 40);
  EXPECT_EQ(G.Player.NowMc, 5);
  EXPECT_EQ(G.MouseLeftDown, 0);
  EXPECT_FALSE(fs::exists(dir / "Save"));
}

TEST_F(KeyboardTest, EscAndF12AnsweredOkEndTheProgram) {
  for (int key : {kEsc, kF12}) {
    dialogs.dialogs.messageAnswers.push_back(plat::kOk);
    EXPECT_THROW(Press(key), plat::ProgramEnded) << key;
  }
  EXPECT_EQ(dialogs.dialogs.shown.size(), 2u);
  EXPECT_FALSE(fs::exists(dir / "Save"));  // nothing saved on the way out
}

TEST_F(KeyboardTest, RWalksTowardThePointerAndEnterLAndMDoNothing) {
  for (int key : {13, 76, 77}) Press(key);
  EXPECT_EQ(G.MouseLeftDown, 0);
  EXPECT_TRUE(NoMessages());
  EXPECT_TRUE(dialogs.dialogs.shown.empty());

  // R through the window's event pump, as the real keyboard delivers it.
  plat::InputEvent e{};
  e.type = plat::InputEvent::KeyDown;
  e.form = Form1.Form;
  e.key = 82;
  plat::Application::Get().Post(e);
  plat::Application::Get().DoEvents();
  EXPECT_EQ(G.MouseLeftDown, 1);
  // Releasing R does not clear it.
  e.type = plat::InputEvent::KeyUp;
  plat::Application::Get().Post(e);
  plat::Application::Get().DoEvents();
  EXPECT_EQ(G.MouseLeftDown, 1);
}

TEST_F(KeyboardTest, KeysReachTheFocusedControlAfterTheWindow) {
  // The window does not keep the keys it handles: a text box with the focus still
  // gets them (typing "R" into the name on the title screen).
  int seen = 0;
  Form1.ID->OnKeyDown = [&](int& keyCode, int) {
    if (keyCode == 82) ++seen;
  };
  Form1.MainMeun->Visible = true;
  Form1.ID->Visible = true;
  Form1.Form->Focus = Form1.ID;
  Press(82);
  EXPECT_EQ(G.MouseLeftDown, 1);
  EXPECT_EQ(seen, 1);
}

// The belt keys, with a fake clock and instant potions that each take one draw.
class BeltKeyTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    G.Player.HP = 1;
    G.Player.HpMax = 1000;
    G.LastItemUseTick = plat::Tick();  // an item used just now
    plat::SetRandomSource([this] {
      ++drawn;
      return 0.5;
    });
  }
  void TearDown() override {
    plat::SetRandomSource(nullptr);
    KeyboardTest::TearDown();
  }
  static void Put(int slot, const std::string& name, int hp) {
    ItemRecord& r = G.Player.Items[static_cast<std::size_t>(slot)];
    r.Name = name;
    r.Type = 2;
    r.Hp = hp;
  }
  // Presses `key` `wait` ms after the last use; true when an item was used.
  bool PressAfter(int key, std::int64_t wait) {
    clock.clock.Advance(wait - (plat::Tick() - G.LastItemUseTick));
    const int hp = G.Player.HP, before = drawn;
    Press(key);
    const bool used = G.Player.HP != hp;
    EXPECT_EQ(drawn - before, used ? 1 : 0);
    return used;
  }

  testsupport::ScopedFakeClock clock;
  int drawn = 0;
};

TEST_F(BeltKeyTest, KeysOneToSixUseTheirBeltSlotMoreThanSixHundredMillisecondsApart) {
  for (int k = 1; k <= 6; ++k) Put(10 + k, "药" + std::to_string(k), 1 << k);
  for (int k : {6, 3, 1, 2, 5, 4}) {
    EXPECT_TRUE(PressAfter('0' + k, 601)) << k;
    EXPECT_EQ(G.Player.HP, 1 + (1 << k)) << k;
    EXPECT_TRUE(G.Player.Items[static_cast<std::size_t>(10 + k)].Name.empty()) << k;
    EXPECT_EQ(G.LastItemUseTick, plat::Tick());
    G.Player.HP = 1;
  }
  // Empty belt slots, the number pad's 1 and the keys 0 and 7 neither use nor touch the tick.
  const std::int64_t last = G.LastItemUseTick;
  Put(17, "药", 2);  // slot 17 is no belt slot
  for (int key : {int{'1'}, 97, int{'0'}, int{'7'}}) EXPECT_FALSE(PressAfter(key, 5000)) << key;
  EXPECT_EQ(G.LastItemUseTick, last);

  Put(11, "药", 20);
  Put(12, "药", 20);
  const struct {
    std::int64_t wait;
    int key;
    bool used;
  } steps[] = {{0, '1', false}, {600, '1', false}, {601, '1', true}, {1, '2', false}, {601, '2', true}};
  for (const auto& st : steps) EXPECT_EQ(PressAfter(st.key, st.wait), st.used) << st.wait;
}

TEST_F(BeltKeyTest, TheFirstBagItemOfTheSameNameIsUsedBeforeTheBelt) {
  Put(11, "金创药小", 20);
  Put(45, "金创药小", 20);
  Put(30, "金创药小", 20);
  Put(25, "金创药中", 50);
  const auto name = [](int s) { return G.Player.Items[static_cast<std::size_t>(s)].Name; };
  EXPECT_TRUE(PressAfter('1', 601));
  EXPECT_EQ(std::vector<std::string>({name(11), name(30), name(45)}),
            std::vector<std::string>({"金创药小", "", "金创药小"}));
  EXPECT_TRUE(PressAfter('1', 601));
  EXPECT_TRUE(PressAfter('1', 601));  // the bag has none left: the belt's own
  EXPECT_EQ(std::vector<std::string>({name(11), name(25), name(45)}),
            std::vector<std::string>({"", "金创药中", ""}));
}

}  // namespace
