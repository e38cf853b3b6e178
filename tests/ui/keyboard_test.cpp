// The main window's keys, pressed through the window so the handler's wiring counts:
// every key in the states that matter, the skill keys, the belt keys and the screenshot.
#include "ui/keyboard.h"

#include <gtest/gtest.h>

#include <SDL.h>
#include <sys/resource.h>

#include <csignal>

#include <ctime>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/clock.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/program.h"
#include "ui/startup.h"
#include "ui/system_buttons.h"
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
    ui::AttachSystemButtonHandlers();
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

// The states a key meets, and what it leaves: the panels in view and the flags set.
enum class At { Play, Paused, Dead, Title, BagOpen, SkillsOpen, SkillsPaused };

void Enter(At at) {
  G.GAMELEVEL = at == At::Title ? 0 : 2;
  G.Player.HP = at == At::Dead ? 0 : 40;
  Form1.PLevel->Visible = at == At::Title;
  const bool paused = at == At::Paused || at == At::SkillsPaused;
  Form1.Psys1->Visible = paused;
  G.GamePaused = paused ? 1 : 0;
  Form1.Psys2->Visible = at == At::BagOpen || at == At::SkillsOpen || at == At::SkillsPaused;
  Form1.Pmc->Visible = at == At::SkillsOpen || at == At::SkillsPaused;
}

std::string Outcome(const testsupport::ScopedDialogs& d) {
  std::ostringstream o;
  const std::pair<const char*, const plat::Control*> panels[] = {
      {"Psys1", Form1.Psys1}, {"Psys2", Form1.Psys2}, {"Psx", Form1.Psx}, {"Pmc", Form1.Pmc}, {"Pzb", Form1.Pzb}};
  for (const auto& [name, c] : panels)
    if (c->Visible) o << name << ' ';
  if (G.GamePaused != 0) o << "paused ";
  if (G.MouseLeftDown != 0) o << "walk ";
  if (G.WindowHidden != 0) o << "hidden ";
  if (G.CheatMode != 0) o << "cheat:" << G.Player.M[20] << ' ';
  for (const auto& box : d.dialogs.shown) o << "box:" << box.text.substr(0, 6) << ' ';  // two characters
  std::string s = o.str();
  if (!s.empty()) s.pop_back();
  return s;
}

TEST_F(KeyboardTest, EachKeyRunsItsOneBranchInEachState) {
  constexpr int kHome = 36, kF9 = 120, kU = 85, kI = 73, kO = 79, kP = 80, kR = 82;
  ui::MainWindowSystem.SaveScreenshot = [](const std::string& path) { return bool(std::ofstream(path) << "BM"); };
  const struct {
    int key;
    At at;
    const char* after;
  } rows[] = {
      {kHome, At::Play, "Pzb cheat:作弊 box:您将"},
      {kHome, At::Title, "Pzb cheat:作弊 box:您将"},
      {kU, At::Play, "Psys2 Psx"},
      {kU, At::BagOpen, ""},
      {kU, At::Paused, "Psys1 paused"},
      {kU, At::Title, ""},
      {kU, At::Dead, ""},
      {kI, At::Play, "Psys2"},
      {kI, At::SkillsOpen, ""},
      {kI, At::Paused, "Psys1 paused"},
      {kI, At::Title, ""},
      {kO, At::Play, "Psys2 Pmc"},
      {kO, At::BagOpen, "Pmc"},  // closed, the page marked shown inside it
      {kO, At::SkillsOpen, "Pmc"},
      {kO, At::Paused, "Psys1 Pmc paused"},
      {kO, At::Title, "Pmc"},
      {kO, At::SkillsPaused, "Psys1 paused"},  // only the closing half
      {kP, At::Play, "Psys1 paused"},
      {kP, At::BagOpen, "Psys1 paused"},
      {kP, At::Paused, ""},
      {kP, At::Dead, ""},
      {kP, At::Title, ""},
      {kR, At::Play, "walk"},
      {kR, At::Title, "walk"},
      {kGrave, At::Play, "paused hidden"},
      {kGrave, At::Paused, "Psys1 paused"},
      {kGrave, At::Title, ""},
      {kF9, At::Title, "box:截图"},
      {kF9, At::Paused, "Psys1 paused box:截图"},
      {kEsc, At::Play, "box:确实"},
      {kF12, At::Dead, "box:确实"},
      {13, At::Play, ""},
      {76, At::BagOpen, "Psys2"},
      {77, At::Paused, "Psys1 paused"},
      {kF1, At::Play, ""},  // bound to nothing
      {'1', At::Play, ""},  // an empty belt slot
      {'Q', At::BagOpen, "Psys2"},
  };
  for (const auto& row : rows) {
    G = GameState{};
    Form1.Pzb->Visible = false;
    dialogs.dialogs.shown.clear();
    dialogs.dialogs.messageAnswers.assign({plat::kCancel});
    Enter(row.at);
    Press(row.key);
    EXPECT_EQ(Outcome(dialogs), row.after) << "key " << row.key << " in state " << static_cast<int>(row.at);
    EXPECT_TRUE(NoMessages()) << row.key;
  }
  // The warning comes once; later presses only toggle the panel, also for an account
  // loaded as a cheat account.
  G = GameState{};
  Enter(At::Play);
  Form1.Pzb->Visible = false;
  dialogs.dialogs.shown.clear();
  Press(kHome);
  Press(kHome);
  EXPECT_EQ(Outcome(dialogs), "cheat:作弊 box:您将");
  G = GameState{};
  G.CheatMode = 1;
  G.Player.M[20] = "作弊";
  dialogs.dialogs.shown.clear();
  Press(kHome);
  EXPECT_EQ(Outcome(dialogs), "Pzb cheat:作弊");
}

// Home on the title screen switches cheat mode on before any character is loaded; a
// normal character continued afterwards becomes a cheat account when the panel opens
// over its game, not before, and without a second warning.
TEST_F(KeyboardTest, ANormalCharacterContinuedAfterCheatModeIsMarkedWhenThePanelOpens) {
  constexpr int kHome = 36;
  G = GameState{};
  Form1.Pzb->Visible = false;
  Enter(At::Title);
  Press(kHome);
  Press(kHome);
  ASSERT_EQ(G.CheatMode, 1);
  ASSERT_FALSE(Form1.Pzb->Visible);
  G.Player = PlayerRecord{};
  G.Player.M[20] = "普通";
  Enter(At::Play);
  EXPECT_EQ(G.Player.M[20], "普通");
  Press(kHome);
  EXPECT_TRUE(Form1.Pzb->Visible);
  EXPECT_EQ(G.Player.M[20], "作弊");
  EXPECT_EQ(dialogs.dialogs.shown.size(), 1u);
  // Closing the panel marks nothing.
  G.Player.M[20] = "普通";
  Press(kHome);
  EXPECT_FALSE(Form1.Pzb->Visible);
  EXPECT_EQ(G.Player.M[20], "普通");
}

// F9 against the real window drawn headless.
class F9ScreenshotTest : public KeyboardTest {
 protected:
  void SetUp() override {
    KeyboardTest::SetUp();
    plat::SetRandomSource([] { return 0.5; });  // number 49
    host = plat::SdlHost::CreateHeadless(*Form1.Form);
    ui::MainWindowSystem.SaveScreenshot = [this](const std::string& path) { return ui::SaveGameView(*host, path); };
  }
  void TearDown() override {
    ui::MainWindowSystem.SaveScreenshot = nullptr;
    host.reset();
    plat::SetRandomSource(nullptr);
    KeyboardTest::TearDown();
  }
  static std::tm Now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
  }
  std::vector<std::string> Pictures() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir / "Pic")) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  std::unique_ptr<plat::SdlHost> host;
};

TEST_F(F9ScreenshotTest, NamesRunDateTimeAndNumberTogether) {
  const struct {
    int y, mo, d, h, mi, s, n;
    const char* name;
  } rows[] = {{2008, 1, 7, 9, 5, 3, 42, "20081795342.bmp"},
              {2026, 12, 31, 23, 59, 59, 98, "2026123123595998.bmp"},
              {2030, 1, 1, 0, 0, 0, 0, "2030110000.bmp"}};
  for (const auto& r : rows) {
    std::tm t{};
    t.tm_year = r.y - 1900, t.tm_mon = r.mo - 1, t.tm_mday = r.d, t.tm_hour = r.h, t.tm_min = r.mi, t.tm_sec = r.s;
    EXPECT_EQ(ui::ScreenshotFileName(t, r.n), r.name);
  }
}

TEST_F(F9ScreenshotTest, SavesTheGameViewAsABitmapWithoutOverwriting) {
  Form1.GameScreen->BackColor = 0x0000FF;  // red
  Form1.MainMeun->Visible = false;
  fs::create_directories(dir / "Pic");
  // The names of this second and the next with the drawn number are taken.
  std::string taken;
  std::tm t = Now();
  for (int tries = 0; tries < 3; ++tries) {
    t = Now();
    taken = ui::ScreenshotFileName(t, 49);
    std::ofstream(dir / "Pic" / taken) << "old";
    std::ofstream(dir / "Pic" / ui::ScreenshotFileName(t, 50)) << "old";
    Press(120);
    if (ui::ScreenshotFileName(Now(), 49) == taken) break;  // same second throughout
    fs::remove_all(dir / "Pic");
    fs::create_directories(dir / "Pic");
    dialogs.dialogs.shown.clear();
  }
  const std::string made = ui::ScreenshotFileName(t, 51);
  EXPECT_EQ(Pictures(), (std::vector<std::string>{taken, ui::ScreenshotFileName(t, 50), made}));
  for (const std::string& old : {taken, ui::ScreenshotFileName(t, 50)}) {
    std::ifstream in(dir / "Pic" / old);
    std::string text;
    in >> text;
    EXPECT_EQ(text, "old");
  }
  ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.dialogs.shown[0].text, "截图文件名：" + made + "\r\r截图已经被成功保存到游戏目录中的 Pic 文件夹！");
  SDL_Surface* bmp = SDL_LoadBMP((dir / "Pic" / made).string().c_str());
  ASSERT_NE(bmp, nullptr) << SDL_GetError();
  EXPECT_EQ(bmp->w, 720);
  EXPECT_EQ(bmp->h, 448);
  EXPECT_EQ(bmp->format->BitsPerPixel, 24);
  Uint8 r = 0, g = 0, b = 0;
  SDL_LockSurface(bmp);
  const auto* px = static_cast<const Uint8*>(bmp->pixels) + 100 * bmp->pitch + 300 * 3;
  SDL_GetRGB(px[0] | (px[1] << 8) | (px[2] << 16), bmp->format, &r, &g, &b);
  SDL_UnlockSurface(bmp);
  SDL_FreeSurface(bmp);
  EXPECT_EQ(std::vector<int>({r, g, b}), std::vector<int>({255, 0, 0}));
  EXPECT_TRUE(NoMessages());
}

TEST_F(F9ScreenshotTest, AFolderOrFileThatCannotBeMadeIsReportedAsAFailure) {
  // The program folder is a regular file, so no Pic folder can be made in it.
  const fs::path file = dir / "not-a-folder";
  std::ofstream(file) << "x";
  plat::SetProgramFolder(file);
  Press(120);
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
  const SysMessage& m = G.SysMessages[1];
  EXPECT_EQ(m.Text, "截图失败：无法建立 Pic 文件夹");
  EXPECT_EQ(std::vector<int>({m.R, m.G, m.B}), std::vector<int>({255, 0, 0}));

  // Without a window to read, no file is written.
  plat::SetProgramFolder(dir.path());
  ui::MainWindowSystem.SaveScreenshot = nullptr;
  Press(120);
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
  EXPECT_EQ(G.SysMessages[2].Text.rfind("截图失败：无法写入文件 ", 0), 0u) << G.SysMessages[2].Text;
  EXPECT_EQ(G.SysMessages[2].R, 255);
  EXPECT_TRUE(Pictures().empty());
}

TEST_F(F9ScreenshotTest, APictureThatDoesNotFitLeavesNoFile) {
  fs::create_directories(dir / "Pic");
  // Files may grow to 64 KB only, far less than the picture; a write beyond fails.
  struct rlimit old {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 64 * 1024;
  auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  Press(120);
  ::setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(Pictures().empty());
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
  EXPECT_EQ(G.SysMessages[1].Text.rfind("截图失败：无法写入文件 ", 0), 0u) << G.SysMessages[1].Text;
  // With room again the same key saves the picture.
  Press(120);
  EXPECT_EQ(Pictures().size(), 1u);
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
