// The cheat panel on the real main window and the built sample game folder: what each
// button does to the character and the world, the lock and hit boxes, the lists filled
// from the game's tables, and every teleport of the list landing in the part of its name
// on a cell one can stand on.
#include "ui/cheat_panel.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/map_loader.h"
#include "platform/db.h"
#include "script/script.h"
#include "ui/game_folder_fixture.h"
#include "ui/game_start.h"
#include "world/items.h"
#include "window/form1.h"

namespace {

using ui::Form1;
using ui::MainWindow;

class CheatPanelTest : public uitest::GameFolderTest {
 protected:
  void SetUp() override {
    GameFolderTest::SetUp();
    ASSERT_TRUE(ui::ReadMonsterKinds(1));
    LoadMap(1);
    ScriptMove("#move 0101 13 13");
    ASSERT_EQ(PlayerCellX(), 13);
    ui::FillCheatLists();
    Form1.Pzb->Visible = true;
  }
  void TearDown() override {
    std::filesystem::remove(Folder() / "map" / "43.Mxx.kept");
    GameFolderTest::TearDown();
  }

  static int CountInBag(const std::string& name) {
    int n = 0;
    for (int i = kBagFirst; i <= kBagLast; ++i) n += G.Player.Items[static_cast<std::size_t>(i)].Name == name ? 1 : 0;
    return n;
  }
  static void Choose(plat::Control* list, const std::string& row) {
    for (int i = 0; i < list->ListCount(); ++i) {
      if (list->Items[static_cast<std::size_t>(i)] == row) list->SetListIndex(i);
    }
  }
  std::size_t Messages() const { return dialogs.dialogs.shown.size(); }
  // Where the player stands: map, part, cell.
  static std::vector<int> Place() { return {G.MainMap, G.SubMap, PlayerCellX(), PlayerCellY()}; }
};

TEST_F(CheatPanelTest, EachButtonDoesWhatItsLineSays) {
  struct Case {
    const char* what;
    std::function<void()> prepare;
    plat::Control* MainWindow::*button;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"得到 untouched gives one 绝强金创药包", [] {}, &MainWindow::Command17,
       [] { EXPECT_EQ(CountInBag("绝强金创药包"), 1); }},
      {"得到 with a typed name gives that item", [] { Form1.Citem->Text = "木剑"; }, &MainWindow::Command17,
       [] { EXPECT_EQ(CountInBag("木剑"), 1); }},
      {"得到 with a name holding a quote gives nothing", [] { Form1.Citem->Text = "木剑' or '1'='1"; },
       &MainWindow::Command17, [] { EXPECT_EQ(CountInBag("木剑"), 0); }},
      {"确认 HP上限", [] { Form1.Cchange->Text = "HP上限"; Form1.Tcc->Text = "777"; }, &MainWindow::Command18,
       [] {
         EXPECT_EQ(G.Player.HpMax, 777);
         EXPECT_EQ(Form1.Lhp->Caption, "777");
       }},
      {"确认 typed 攻击上限", [] { Form1.Cchange->Text = "攻击上限"; Form1.Tcc->Text = "55"; }, &MainWindow::Command18,
       [] { EXPECT_EQ(G.Player.DcMax, 55); }},
      {"确认 钱", [] { Form1.Cchange->Text = "钱"; Form1.Tcc->Text = "12345"; }, &MainWindow::Command18,
       [] { EXPECT_EQ(G.Player.Money, 12345); }},
      {"确认 untouched 血量 sends nothing but refreshes",
       [] {
         G.Player.HpMax = 40;
         Form1.Lhp->Caption = "stale";
       },
       &MainWindow::Command18,
       [] {
         EXPECT_EQ(G.Player.HpMax, 40);
         EXPECT_EQ(Form1.Lhp->Caption, "40");
       }},
      {"确认 hpmax in another case is not in the list", [] { Form1.Cchange->Text = "hp上限"; Form1.Tcc->Text = "9"; },
       &MainWindow::Command18, [] { EXPECT_NE(G.Player.HpMax, 9); }},
      {"移动 untouched goes to map 1 part 1 (27, 31)", [] {}, &MainWindow::Command19,
       [] { EXPECT_EQ(Place(), (std::vector<int>{1, 1, 27, 31})); }},
      {"移动 to a typed name not in the list stays", [] { Form1.Cmap->Text = "无名"; }, &MainWindow::Command19,
       [] { EXPECT_EQ(Place(), (std::vector<int>{1, 1, 13, 13})); }},
      {"生命魔法加满",
       [] {
         G.Player.HpMax = 90;
         G.Player.MpMax = 60;
         G.Player.HP = 3;
         G.Player.Mp = 0;
       },
       &MainWindow::Command23,
       [] {
         EXPECT_EQ(G.Player.HP, 90);
         EXPECT_EQ(G.Player.Mp, 60);
       }},
      {"召唤 puts the chosen kind right of and below the player",
       [] { Choose(Form1.MobList, G.MonsterKinds[1].MonName); }, &MainWindow::Command24,
       [] {
         const int m = GridMonster(PlayerCellX() + 1, PlayerCellY() + 1);
         ASSERT_GT(m, 0);
         EXPECT_EQ(G.Monsters[static_cast<std::size_t>(m)].Kind, 1);
       }},
      {"召唤 with no kind chosen summons nothing", [] {}, &MainWindow::Command24,
       [] { EXPECT_EQ(GridMonster(PlayerCellX() + 1, PlayerCellY() + 1), 0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    c.prepare();
    const std::size_t before = Messages();
    (Form1.*c.button)->OnClick();
    c.check();
    EXPECT_EQ(Messages(), before);
  }
}

// The panel may still be open from the title screen when a normal character is
// continued: whatever of it is used marks the character, and only a character in play.
TEST_F(CheatPanelTest, UsingThePanelMarksTheCharacterInPlay) {
  const std::pair<const char*, plat::Control * MainWindow::*> controls[] = {
      {"refill", &MainWindow::Command23},
      {"HP lock", &MainWindow::LhpLck},
      {"value", &MainWindow::Command18}};
  for (const auto& [name, control] : controls) {
    SCOPED_TRACE(name);
    for (const int level : {0, 2}) {
      G.GAMELEVEL = static_cast<std::uint8_t>(level);
      G.CheatMode = 1;  // switched on at the title screen
      G.Player.M[20] = "普通";
      (Form1.*control)->OnClick();
      EXPECT_EQ(G.Player.M[20], level == 0 ? "普通" : "作弊");
    }
  }
  // An expert character becomes a cheat account too, and stays one.
  G.Player.M[20] = "专家";
  G.CheatMode = 0;
  Form1.Command17->OnClick();
  EXPECT_EQ(G.Player.M[20], "作弊");
  EXPECT_EQ(G.CheatMode, 1);
}

TEST_F(CheatPanelTest, ShowingEverySkillLeavesTheMiddleLinesAndTheSkills) {
  for (int i = 1; i <= 15; ++i) Form1.McI(i)->Visible = Form1.Lsp(i)->Visible = false;
  for (plat::Control* l : {Form1.Line11, Form1.Line13, Form1.Line21, Form1.Line34}) l->Visible = false;
  G.Player.M[3] = "??0";
  Form1.Command22->OnClick();
  for (int i = 1; i <= 15; ++i) EXPECT_TRUE(Form1.McI(i)->Visible && Form1.Lsp(i)->Visible) << i;
  EXPECT_TRUE(Form1.Line11->Visible && Form1.Line13->Visible && Form1.Line34->Visible);
  EXPECT_FALSE(Form1.Line21->Visible);
  EXPECT_EQ(G.Player.M[3], "??0");
}

TEST_F(CheatPanelTest, TheBoxesSetTheirFlagsAndTheHitBoxesExcludeEachOther) {
  struct Step {
    plat::Control* MainWindow::*box;
    int value;
    // HpLock, MpLock, InvisLock, AlwaysAirSlash, AlwaysFireSword; Lddzk, Lddhl ticked.
    std::vector<int> expect;
  };
  const Step steps[] = {
      {&MainWindow::LhpLck, 1, {1, 0, 0, 0, 0, 0, 0}}, {&MainWindow::LhpLck, 0, {0, 0, 0, 0, 0, 0, 0}},
      {&MainWindow::LmpLck, 1, {0, 1, 0, 0, 0, 0, 0}}, {&MainWindow::Lys, 1, {0, 1, 1, 0, 0, 0, 0}},
      {&MainWindow::Lys, 0, {0, 1, 0, 0, 0, 0, 0}},    {&MainWindow::Lddhl, 1, {0, 1, 0, 0, 1, 0, 1}},
      {&MainWindow::Lddzk, 1, {0, 1, 0, 1, 0, 1, 0}},  {&MainWindow::Lddzk, 0, {0, 1, 0, 1, 0, 0, 0}},
      {&MainWindow::Lddhl, 1, {0, 1, 0, 0, 1, 0, 1}},  {&MainWindow::Lddhl, 0, {0, 1, 0, 0, 1, 0, 0}},
  };
  int n = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(testing::Message() << "step " << ++n);
    (Form1.*s.box)->SetValue(s.value);  // as a click on the box: its handler runs
    EXPECT_EQ((std::vector<int>{G.HpLock, G.MpLock, G.InvisLock, G.AlwaysAirSlash, G.AlwaysFireSword,
                                Form1.Lddzk->Value(), Form1.Lddhl->Value()}),
              s.expect);
  }
}

TEST_F(CheatPanelTest, TheListsHoldTheGamesItemsAndMonsterKinds) {
  std::vector<std::string> items;
  plat::db::Connection conn;
  conn.OpenPath(G.ItemDbPath);
  plat::db::Recordset rs;
  for (rs.Open("select * from Item", conn); !rs.Eof(); rs.MoveNext()) items.push_back(rs["Name"].AsText());
  EXPECT_EQ(Form1.Citem->Items, items);
  EXPECT_EQ(Form1.Citem->Text, "绝强金创药包");
  ASSERT_EQ(Form1.MobList->ListCount(), G.MonsterKindCount);
  for (int k = 1; k <= G.MonsterKindCount; ++k)
    EXPECT_EQ(Form1.MobList->Items[static_cast<std::size_t>(k - 1)], G.MonsterKinds[static_cast<std::size_t>(k)].MonName);
  // A second fill (a second game start) does not double the rows.
  ui::FillCheatLists();
  EXPECT_EQ(Form1.Citem->ListCount(), static_cast<int>(items.size()));
}

// Each destination lands in the part of its own name, on a cell one can stand on. The
// fishing village is spelt 小渔村 on the map, the name the town progress knows it by.
TEST_F(CheatPanelTest, EveryDestinationOfTheListLandsInItsPartOnACellOneCanStandOn) {
  ASSERT_EQ(Form1.Cmap->Items.size(), ui::CheatDestinations().size());
  std::size_t i = 0;
  for (const auto& d : ui::CheatDestinations()) {
    SCOPED_TRACE(std::string(d.label));
    EXPECT_EQ(Form1.Cmap->Items[i++], d.label);
    Form1.Cmap->Text = std::string(d.label);
    Form1.Command19->OnClick();
    EXPECT_EQ(Place(), (std::vector<int>{d.map, d.part, d.x, d.y}));
    EXPECT_FALSE(GridBlocked(d.x, d.y));
    EXPECT_EQ(G.PartNames[static_cast<std::size_t>(G.SubMap)], d.label == "小鱼村" ? "小渔村" : std::string(d.label));
  }
  EXPECT_TRUE(dialogs.dialogs.shown.empty());
}

TEST_F(CheatPanelTest, AMissingDestinationShowsAMessageAndLeavesThePlayerStanding) {
  const std::filesystem::path count = Folder() / "map" / "43.Mxx";
  std::filesystem::copy_file(count, Folder() / "map" / "43.Mxx.kept");
  const auto restore = [&] {
    std::filesystem::copy_file(Folder() / "map" / "43.Mxx.kept", count,
                               std::filesystem::copy_options::overwrite_existing);
  };
  const struct {
    const char* what;
    const char* countText;  // nullptr: no part-count file
  } cases[] = {{"no part-count file", nullptr}, {"the archive lacks a part", "4\r\n"},
               {"the part is beyond the count", "2\r\n"}, {"no count in the file", "many\r\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(count);
    if (c.countText != nullptr) std::ofstream(count, std::ios::binary) << c.countText;
    dialogs.dialogs.shown.clear();
    Form1.Cmap->Text = "山谷村庄";
    EXPECT_NO_THROW(Form1.Command19->OnClick());
    EXPECT_EQ(Place(), (std::vector<int>{1, 1, 13, 13}));
    ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.dialogs.shown[0].text, "游戏文件夹中没有这个地方，无法移动");
    restore();
  }
  Form1.Command19->OnClick();
  EXPECT_EQ(Place(), (std::vector<int>{43, 3, 48, 56}));
}

}  // namespace
