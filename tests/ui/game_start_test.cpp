// The game start: which difficulties a character may choose, the data reading on the
// sample game folder (monster kinds, drop lists, the panels of the class, the start at
// the return point, the intro picture once) and what a broken monster database does.
#include "ui/game_start.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/resources.h"
#include "platform/db.h"
#include "platform/files.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "window/form1.h"
#include "ui/game_folder_fixture.h"
#include "world/file_marker.h"

namespace {

namespace fs = std::filesystem;
using plat::db::Value;
using ui::Form1;
using Drops = std::array<std::array<std::string, 2>, kMonsterDrops + 1>;

// ---------------------------------------------------------------------------------
// Drop lists

struct DropCase {
  const char* items;
  std::vector<std::array<std::string, 2>> entries;
};

TEST(DropList, EntriesAreChanceSlashNameEachFollowedByOneBlank) {
  const DropCase cases[] = {
      {"", {}},
      {"5/回城卷 ", {{"回城卷", "5"}}},
      {"20/金创药小 50/金币30 ", {{"金创药小", "20"}, {"金币30", "50"}}},
      // Broken rows: an entry without its trailing blank is not read; an empty piece
      // between two blanks, a piece without "/", an empty name or chance and a chance
      // that is not a whole number are skipped.
      {"5/回城卷", {}},
      {"5/回城卷 6/神水", {{"回城卷", "5"}}},
      {"5/回城卷  6/神水 ", {{"回城卷", "5"}, {"神水", "6"}}},
      {"回城卷 7/皮甲 ", {{"皮甲", "7"}}},
      {"5/ /布衣 x/铁剑 -3/木剑 2.5/铁盔 9/铁矿石 ", {{"铁矿石", "9"}}},
  };
  for (const DropCase& c : cases) {
    SCOPED_TRACE(c.items);
    Drops drops;
    drops[3] = {"left over", "1"};
    ui::ParseDropList(c.items, drops);
    EXPECT_EQ(drops[0][0], std::to_string(c.entries.size()));
    for (std::size_t k = 0; k < c.entries.size(); ++k) EXPECT_EQ(drops[k + 1], c.entries[k]) << k + 1;
    for (std::size_t k = c.entries.size() + 1; k <= kMonsterDrops; ++k) EXPECT_EQ(drops[k], (std::array<std::string, 2>{})) << k;
  }
}

TEST(DropList, NeverMoreThanThirtyEntries) {
  std::string items;
  for (int k = 1; k <= 40; ++k) items += std::to_string(k) + "/物品" + std::to_string(k) + " ";
  Drops drops;
  ui::ParseDropList(items, drops);
  EXPECT_EQ(drops[0][0], "30");
  EXPECT_EQ(drops[30], (std::array<std::string, 2>{"物品30", "30"}));
  EXPECT_EQ(drops[1], (std::array<std::string, 2>{"物品1", "1"}));
}

// ---------------------------------------------------------------------------------
// Small rules

TEST(GameStartRules, RegenerationPaceFollowsTheLevelOfSkillSix) {
  EXPECT_EQ(ui::RegenIntervalFor("??0", 1), 8000);
  EXPECT_EQ(ui::RegenIntervalFor("F21", 1), 6000);
  EXPECT_EQ(ui::RegenIntervalFor("??2", 1), 5000);
  EXPECT_EQ(ui::RegenIntervalFor("SP3", 1), 3500);
  EXPECT_EQ(ui::RegenIntervalFor("??4", 4321), 4321);
  EXPECT_EQ(ui::RegenIntervalFor("", 4321), 4321);
}

TEST(GameStartRules, DifficultiesOpenWithTheUnlockFlag) {
  G = GameState{};
  const struct {
    std::int32_t et20;
    bool hard, veryHard;
  } cases[] = {{0, false, false}, {1, true, false}, {2, true, true}, {7, true, true}, {-1, false, false}};
  for (const auto& c : cases) {
    G.Et[20] = c.et20;
    EXPECT_TRUE(ui::DifficultyAllowed(1)) << c.et20;
    EXPECT_EQ(ui::DifficultyAllowed(2), c.hard) << c.et20;
    EXPECT_EQ(ui::DifficultyAllowed(3), c.veryHard) << c.et20;
    EXPECT_FALSE(ui::DifficultyAllowed(0));
    EXPECT_FALSE(ui::DifficultyAllowed(4));
  }
  G = GameState{};
}

TEST(GameStartRules, TheReturnPointMoveLine) {
  G = GameState{};
  G.GoMain = 1, G.GoSub = 1, G.GoX = 13, G.GoY = 13;
  EXPECT_EQ(ui::ReturnPointMoveLine(), "#move 0101 13 13");
  G.GoMain = 12, G.GoSub = 30, G.GoX = 150, G.GoY = 7;
  EXPECT_EQ(ui::ReturnPointMoveLine(), "#move 1230 150 7");
  G = GameState{};
}

// ---------------------------------------------------------------------------------
// On the sample game folder

class GameStartTest : public uitest::GameFolderTest {
 protected:
  // A warrior as the save would load it: saved elsewhere than its return point.
  void LoadWarrior() {
    PlayerRecord& p = G.Player;
    p.ID = "测试";
    p.ZhiYe = "战士";
    p.Level = 3;
    p.HP = p.HpMax = 30;
    p.Mp = p.MpMax = 30;
    p.M[6] = "??1";
    for (int k = 1; k <= 15; ++k) {
      if (k != 6) p.M[static_cast<std::size_t>(k)] = "??0";
    }
    p.NowMc = 3;
    p.X = 40;
    p.Y = 30;
    G.MainMap = 1;
    G.SubMap = 3;
    G.GoMain = 1;
    G.GoSub = 1;
    G.GoX = 13;
    G.GoY = 13;
    G.Et[19] = 1;
    p.Items[21].Name = "木剑";
    p.Items[21].Pic1 = 5;
    Form1.PLevel->Visible = true;
  }

  // Starts the game by a press and release on the button; the loop is off, so the start
  // ends at the loop.
  void Start(plat::Control* button) {
    button->OnMouseDown(1, 0, 10, 10);
    try {
      button->OnMouseUp(1, 0, 10, 10);
      ADD_FAILURE() << "the game start returned";
    } catch (const plat::ProgramEnded&) {
    }
  }

  fs::path MonsterDb() const { return Folder() / "date" / "rpg" / "21.dat"; }

  // Table "Mon<level>" as the file holds it: (MonName, Hp, Items) of every row.
  struct Row {
    std::string name;
    std::int32_t hp;
    std::string items;
  };
  std::vector<Row> TableRows(int level) {
    MarkedDatabase db(MonsterDb(), MarkedDatabase::Mode::Read);
    plat::db::Recordset rs;
    rs.Open("Select * from Mon" + std::to_string(level), db.Db());
    std::vector<Row> rows;
    for (; !rs.Eof(); rs.MoveNext()) {
      rows.push_back({rs["MonName"].AsText(), static_cast<std::int32_t>(rs["Hp"].AsInt()), rs["Items"].AsText()});
    }
    return rows;
  }
};

TEST_F(GameStartTest, LockedButtonsIgnorePressAndRelease) {
  LoadWarrior();
  G.Et[20] = 0;
  for (plat::Control* b : {Form1.I_Hd, Form1.I_vHd}) {
    const std::string picture = b->Picture;
    b->OnMouseDown(1, 0, 5, 5);
    EXPECT_EQ(b->Picture, picture);
    b->OnMouseUp(1, 0, 5, 5);  // returns: nothing started
    EXPECT_EQ(G.GAMELEVEL, 0);
    EXPECT_TRUE(Form1.PLevel->Visible);
  }
  EXPECT_EQ(G.MonsterKindCount, 0);
  G.Et[20] = 1;
  Form1.I_vHd->OnMouseUp(2, 0, 5, 5);
  EXPECT_EQ(G.GAMELEVEL, 0);
  // Any button presses an open one.
  Form1.I_Hd->OnMouseDown(2, 0, 5, 5);
  EXPECT_EQ(Form1.I_Hd->Picture, ui::kHardPressedPicture);
  G.Et[20] = 2;
  Form1.I_vHd->OnMouseDown(4, 0, 5, 5);
  EXPECT_EQ(Form1.I_vHd->Picture, ui::kVeryHardPressedPicture);
}

TEST_F(GameStartTest, NormalReadsTheDataAndStartsAtTheReturnPoint) {
  LoadWarrior();
  const auto before = plat::ReadAllBytes(MonsterDb());
  Start(Form1.I_Nm);
  EXPECT_TRUE(dialogs.dialogs.shown.empty());

  EXPECT_EQ(Form1.I_Nm->Picture, ui::kNormalPressedPicture);
  EXPECT_EQ(G.GAMELEVEL, 1);
  EXPECT_FALSE(Form1.PLevel->Visible);

  // Every row of Mon1, in order, with its drop list.
  const auto rows = TableRows(1);
  ASSERT_EQ(G.MonsterKindCount, static_cast<std::int32_t>(rows.size()));
  ASSERT_EQ(G.MonsterKinds.size(), rows.size() + 1);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const MonsterKind& k = G.MonsterKinds[i + 1];
    EXPECT_EQ(k.MonName, rows[i].name) << i + 1;
    EXPECT_EQ(k.Hp, rows[i].hp) << i + 1;
    Drops drops;
    ui::ParseDropList(rows[i].items, drops);
    EXPECT_EQ(k.Drops, drops) << i + 1;
  }
  const MonsterKind& chicken = G.MonsterKinds[1];
  EXPECT_EQ(chicken.MonName, "鸡");
  EXPECT_EQ(chicken.Wav, "鸡");
  EXPECT_EQ(chicken.Pic, 1);
  EXPECT_EQ(chicken.Hp, 10);
  EXPECT_EQ(chicken.DcMax, 2);
  EXPECT_EQ(chicken.Ex, 2);
  EXPECT_EQ(chicken.Eye, 3);
  EXPECT_EQ(chicken.DcSpeed, 6);
  EXPECT_EQ(chicken.StepSpeed, 5);
  EXPECT_EQ(chicken.DcSleep, 40);
  EXPECT_EQ(chicken.A, 255);
  EXPECT_EQ(chicken.Drops[0][0], "5");
  EXPECT_EQ(chicken.Drops[1], (std::array<std::string, 2>{"金币5", "4"}));
  EXPECT_EQ(chicken.Drops[5], (std::array<std::string, 2>{"灯芯项链", "90"}));
  EXPECT_EQ(G.MonsterKinds[2].R, 255);
  EXPECT_EQ(G.MonsterKinds[2].G, 110);
  // The file keeps its marker and every byte: it was read from a copy.
  EXPECT_EQ(plat::ReadAllBytes(MonsterDb()), before);

  EXPECT_EQ(G.RegenInterval, 6000);
  EXPECT_FALSE(Form1.Iitem(21)->Picture.empty());
  EXPECT_EQ(G.SoundOn, 1);  // the sample "Config.cfg"
  EXPECT_EQ(G.ShowDamage, 1);
  EXPECT_EQ(fs::path(Form1.Qmc->Picture).filename(), "3.bmp");
  EXPECT_TRUE(fs::exists(Form1.Qmc->Picture));
  EXPECT_EQ(Form1.Lbuy->Caption, "");
  EXPECT_EQ(Form1.Lsell->Caption, "");
  EXPECT_EQ(G.DrawColFirst, 0);
  EXPECT_EQ(G.DrawColLast, 14);
  EXPECT_EQ(G.DrawRowFirst, 0);
  EXPECT_EQ(G.DrawRowLast, 13);

  // Not where it was saved (part 3) but at the return point, with the frame shown.
  EXPECT_EQ(G.MainMap, 1);
  EXPECT_EQ(G.SubMap, 1);
  EXPECT_EQ(G.ViewX, 5);
  EXPECT_EQ(G.ViewY, 5);
  EXPECT_EQ(G.PartNames[1], "无名村");
  EXPECT_EQ(Form1.Iminimap->Left, 75 * (2 - 5));
  EXPECT_EQ(Form1.Iminimap->Top, 75 * (2 - 5));
  EXPECT_TRUE(Form1.PbkUp->Visible);
  EXPECT_TRUE(Form1.PBkDown1->Visible);
  EXPECT_FALSE(Form1.Psys2->Visible);
  // The loop was entered and ended the program.
  EXPECT_EQ(Gfx.Device, nullptr);
}

TEST_F(GameStartTest, ExpertKindsGetHalfAgainTheirHp) {
  for (const std::uint8_t expert : {0, 1}) {
    SCOPED_TRACE(static_cast<int>(expert));
    G = GameState{};
    InitD3D();
    G.GameRunning = 0;
    LoadWarrior();
    G.Et[20] = 1;
    G.ExpertMode = expert;
    Start(Form1.I_Hd);
    EXPECT_EQ(G.GAMELEVEL, 2);
    const auto rows = TableRows(2);
    ASSERT_EQ(G.MonsterKindCount, static_cast<std::int32_t>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::int32_t hp = rows[i].hp;
      EXPECT_EQ(G.MonsterKinds[i + 1].Hp, expert == 1 ? hp + hp / 2 : hp) << rows[i].name;
    }
  }
}

TEST_F(GameStartTest, VeryHardReadsTheThirdTable) {
  LoadWarrior();
  G.Et[20] = 2;
  Start(Form1.I_vHd);
  EXPECT_EQ(G.GAMELEVEL, 3);
  const auto rows = TableRows(3);
  ASSERT_EQ(G.MonsterKindCount, static_cast<std::int32_t>(rows.size()));
  EXPECT_EQ(G.MonsterKinds[1].Hp, rows[0].hp);
  EXPECT_NE(rows[0].hp, TableRows(1)[0].hp);
}

// Notes whether the intro picture was waited under: the frame hidden after the player
// was placed on the return point, with the flag set.
struct IntroWatch : plat::EventSource {
  void Poll() override {
    if (G.Et[19] == 1 && !Form1.PbkUp->Visible && G.ViewX == G.GoX - 8) sawIntro = true;
  }
  bool sawIntro = false;
};

// Notes the minimap and the draw ranges as the map loading first lets events through,
// before the move to the return point replaces them.
struct FirstPollWatch : plat::EventSource {
  void Poll() override {
    if (seen) return;
    seen = true;
    picture = Form1.Iminimap->Picture;
    left = Form1.Iminimap->Left;
    top = Form1.Iminimap->Top;
    drawRowFirst = G.DrawRowFirst;
  }
  bool seen = false;
  std::string picture;
  int left = 0, top = 0;
  std::int32_t drawRowFirst = -1;
};

TEST_F(GameStartTest, TheSavedPartGivesTheFirstMinimapOrNoneAndTheViewIsAtRest) {
  const struct {
    std::int32_t subMap;
    const char* picture;  // empty: the part has no minimap picture
  } cases[] = {{3, "0103.dat"}, {5, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.subMap);
    G = GameState{};
    InitD3D();
    G.GameRunning = 0;
    LoadWarrior();
    G.SubMap = c.subMap;
    // What a previous game left behind.
    Form1.Iminimap->Picture = "stale.dat";
    Form1.Iminimap->Left = Form1.Iminimap->Top = 0;
    G.DrawRowFirst = 4;
    FirstPollWatch watch;
    plat::Application::Get().SetEventSource(&watch);
    Start(Form1.I_Nm);
    plat::Application::Get().SetEventSource(nullptr);
    ASSERT_TRUE(watch.seen);
    EXPECT_EQ(fs::path(watch.picture).filename().string(), c.picture);
    // Saved at (40, 30): the view's corner is seven cells up and left of it.
    EXPECT_EQ(watch.left, 75 * (2 - 33));
    EXPECT_EQ(watch.top, 75 * (2 - 23));
    EXPECT_EQ(watch.drawRowFirst, 0);
  }
}

TEST_F(GameStartTest, TheIntroIsShownOnlyWhileTheFlagIsClear) {
  for (const std::int32_t flag : {0, 1}) {
    SCOPED_TRACE(flag);
    G = GameState{};
    InitD3D();
    G.GameRunning = 0;
    LoadWarrior();
    G.Et[19] = flag;
    IntroWatch watch;
    plat::Application::Get().SetEventSource(&watch);
    plat::SetKeyHeld(plat::vk::Return, true);  // the key that ends the wait
    Start(Form1.I_Nm);
    plat::Application::Get().SetEventSource(nullptr);
    plat::SetKeyHeld(plat::vk::Return, false);
    EXPECT_EQ(G.Et[19], 1);
    EXPECT_EQ(watch.sawIntro, flag == 0);
    EXPECT_TRUE(Form1.PbkUp->Visible);
  }
}

TEST_F(GameStartTest, EachClassKeepsItsOwnSkillBranches) {
  const struct {
    const char* zhiYe;
    std::vector<int> shown;
    std::vector<plat::Control*> lines;
  } cases[] = {
      {"战士", {1, 2, 3, 4, 5, 6, 11}, {Form1.Line11, Form1.Line12, Form1.Line13, Form1.Line21}},
      {"道士", {1, 5, 6, 7, 8, 9, 10, 11}, {Form1.Line21, Form1.Line22, Form1.Line23, Form1.Line24, Form1.Line25}},
      {"法师", {1, 5, 6, 11, 12, 13, 14, 15}, {Form1.Line21, Form1.Line31, Form1.Line32, Form1.Line33, Form1.Line34}},
      {"游侠", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
       {Form1.Line11, Form1.Line12, Form1.Line13, Form1.Line21, Form1.Line22, Form1.Line23, Form1.Line24,
        Form1.Line25, Form1.Line31, Form1.Line32, Form1.Line33, Form1.Line34}},
  };
  const std::vector<plat::Control*> allLines{Form1.Line11, Form1.Line12, Form1.Line13, Form1.Line21,
                                             Form1.Line22, Form1.Line23, Form1.Line24, Form1.Line25,
                                             Form1.Line31, Form1.Line32, Form1.Line33, Form1.Line34};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.zhiYe);
    ui::ArrangeSkillPanel(c.zhiYe);
    for (int k = 1; k <= 15; ++k) {
      const bool shown = std::find(c.shown.begin(), c.shown.end(), k) != c.shown.end();
      EXPECT_EQ(Form1.McI(k)->Visible, shown) << k;
      EXPECT_EQ(Form1.Lsp(k)->Visible, shown) << k;
    }
    for (plat::Control* line : allLines) {
      const bool shown = std::find(c.lines.begin(), c.lines.end(), line) != c.lines.end();
      EXPECT_EQ(line->Visible, shown) << line->Name;
    }
  }
}

// ---------------------------------------------------------------------------------
// A broken monster database

class BrokenMonsterDbTest : public GameStartTest {
 protected:
  void SetUp() override {
    GameStartTest::SetUp();
    fs::copy_file(MonsterDb(), copy.path() / "21.dat");
    G.MonConnStr = "Data Source=" + (copy.path() / "21.dat").string() + ";";
    G.MonDbPath = copy.path() / "21.dat";
    G.MonsterKinds.resize(2);
    G.MonsterKinds[1].MonName = "旧的";
    G.MonsterKindCount = 1;
  }
  void Change(const std::string& sql) {
    MarkedDatabase db(copy.path() / "21.dat", MarkedDatabase::Mode::Write);
    db.Db().ExecuteScript(sql);
    db.Commit();
  }
  void ExpectRefusedAndKept(int level) {
    EXPECT_FALSE(ui::ReadMonsterKinds(level));
    EXPECT_EQ(G.MonsterKindCount, 1);
    ASSERT_EQ(G.MonsterKinds.size(), 2u);
    EXPECT_EQ(G.MonsterKinds[1].MonName, "旧的");
  }
  testsupport::TempDir copy;
};

TEST_F(BrokenMonsterDbTest, AWholeFileReadsAndItsMarkerStays) {
  const auto before = plat::ReadAllBytes(copy.path() / "21.dat");
  ASSERT_TRUE(ui::ReadMonsterKinds(1));
  EXPECT_EQ(G.MonsterKindCount, static_cast<std::int32_t>(TableRows(1).size()));
  EXPECT_EQ(plat::ReadAllBytes(copy.path() / "21.dat"), before);
  ASSERT_TRUE(before.has_value());
  EXPECT_TRUE(HasFileHeader(*before));
}

TEST_F(BrokenMonsterDbTest, AMissingFileTableOrColumnOrAnEmptyTableIsRefused) {
  fs::remove(copy.path() / "21.dat");
  ExpectRefusedAndKept(1);
  fs::copy_file(MonsterDb(), copy.path() / "21.dat");
  Change("DROP TABLE Mon2;");
  ExpectRefusedAndKept(2);
  Change("DELETE FROM Mon3;");
  ExpectRefusedAndKept(3);
  Change("ALTER TABLE Mon1 DROP COLUMN Eye;");
  ExpectRefusedAndKept(1);
  // Not a database at all.
  ASSERT_TRUE(plat::WriteAllBytes(copy.path() / "21.dat", {'n', 'o', 't', ' ', 'a', ' ', 'd', 'b'}));
  ExpectRefusedAndKept(1);
}

TEST_F(BrokenMonsterDbTest, TheGameStartEndsWithItsMessage) {
  fs::remove(copy.path() / "21.dat");
  LoadWarrior();
  Start(Form1.I_Nm);
  ASSERT_EQ(dialogs.dialogs.shown.size(), 1u);
  EXPECT_EQ(dialogs.dialogs.shown[0].text, ui::kMsgMonsterDataBad);
  EXPECT_EQ(G.PartWidths[1], 0);  // no map was loaded
}

TEST_F(BrokenMonsterDbTest, AnItemsTextThatBreaksTheFormatIsReadSafely) {
  std::string many;
  for (int k = 1; k <= 35; ++k) many += "3/回城卷 ";
  Change("UPDATE Mon1 SET Items = '" + many + "' WHERE rowid = 1; UPDATE Mon1 SET Items = '回城卷' WHERE rowid = 2;");
  ASSERT_TRUE(ui::ReadMonsterKinds(1));
  EXPECT_EQ(G.MonsterKinds[1].Drops[0][0], "30");
  EXPECT_EQ(G.MonsterKinds[2].Drops[0][0], "0");
}

}  // namespace
