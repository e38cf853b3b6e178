// The save database: a character saved and loaded back, interrupted saves, the item
// table rewrite after a trade, and the shield and transformation that saving ends.
#include "world/save_game.h"

#include <gtest/gtest.h>

#include <limits>
#include <regex>

#include "graphics/look.h"
#include "save_fixture.h"
#include "world/player_record.h"

namespace {

using namespace savetest;
using plat::db::Connection;
using plat::db::Value;

const char* const kSuccess = "游戏已存档";
const char* const kFailure = "存档失败，原存档未改动";

ItemRecord SampleItem(int slot) {
  static const std::vector<std::string> kType2 = {"甲", "乙", "丙", "A", "z", "丁"};
  ItemRecord it;
  const std::int32_t b = slot * 1000;
  it.Name = "宝物" + std::to_string(slot) + "号";
  it.Type = b + 1;
  it.Type2 = kType2[static_cast<std::size_t>(slot) % kType2.size()];
  it.Pic1 = b + 2;
  it.Pic2 = b + 3;
  it.Hp = b + 4;
  it.Mp = b + 5;
  it.Dc = b + 6;
  it.DcMax = b + 7;
  it.DcSpeed = b + 8;
  it.Mc = b + 9;
  it.McMax = b + 10;
  it.Df = b + 11;
  it.DfMax = b + 12;
  it.Mf = b + 13;
  it.MfMax = b + 14;
  it.Nb = b + 15;
  it.Acc = b + 16;
  it.Weight = b + 17;
  it.XiHP = b + 18;
  it.MaBi = b + 19;
  it.Luck = -(b + 20);
  it.zd = b + 21;
  it.dzlevel = b + 22;
  it.Money = b + 23;
  it.NdDc = b + 24;
  it.NdMc = b + 25;
  it.NdLevel = b + 26;
  it.SP = b + 27;
  it.JP = b + 28;
  it.Ex = b + 29;
  if (slot == 7) it.Ex = std::numeric_limits<std::int32_t>::max();
  if (slot == 8) it.Money = std::numeric_limits<std::int32_t>::min();
  return it;
}

bool EmptySlot(int slot) { return (slot >= 17 && slot <= 20) || (slot >= 57 && slot <= 60) || slot == 33 || slot == 99; }

// A character with a distinct value in every saved field.
void SetSampleCharacter(const std::string& id) {
  PlayerRecord& p = G.Player;
  p.ID = id;
  p.ZhiYe = "道士";
  p.HP = 101;
  p.HpMax = 102;
  p.Mp = 103;
  p.MpMax = 104;
  p.Dc = 105;
  p.DcMax = 106;
  p.Mc = 107;
  p.McMax = 108;
  p.Df = 109;
  p.DfMax = 110;
  p.Mf = 111;
  p.MfMax = 112;
  p.Nb = 113;
  p.Acc = 114;
  p.DcSpeed = 115;
  p.XiHP = 116;
  p.MaBi = 117;
  p.zd = 118;
  p.Luck = -119;
  p.Heavy = 120;
  p.Level = 77;
  p.Ex = 2000000000;
  p.LevelPoint = 123;
  p.SpPoint = 124;
  p.Direction = 5;
  p.Money = 126;
  p.Bank = 127;
  p.NowMc = 11;
  p.MapS = 4;
  p.SP = 129;
  for (int i = 1; i <= 120; ++i) p.Items[static_cast<std::size_t>(i)] = EmptySlot(i) ? ItemRecord{} : SampleItem(i);
  for (int i = 1; i <= 15; ++i) p.M[static_cast<std::size_t>(i)] = "F" + std::to_string(i % 9) + std::to_string(i % 4);
  p.M[16] = "";
  p.M[17] = "十七";
  p.M[18] = "x";
  p.M[19] = "";
  p.M[20] = "普通";
  for (int i = 1; i <= 40; ++i) G.Et[static_cast<std::size_t>(i)] = i * 37 - 500;
  G.MainMap = 3;
  G.SubMap = 12;
  G.ViewX = 33;
  G.ViewY = 44;
  G.GoMain = 2;
  G.GoSub = 7;
  G.GoX = 150;
  G.GoY = 160;
}

void ExpectSameCharacter(const PlayerRecord& a, const PlayerRecord& b) {
  EXPECT_EQ(a.ID, b.ID);
  EXPECT_EQ(a.ZhiYe, b.ZhiYe);
  EXPECT_EQ(a.HP, b.HP);
  EXPECT_EQ(a.HpMax, b.HpMax);
  EXPECT_EQ(a.Mp, b.Mp);
  EXPECT_EQ(a.MpMax, b.MpMax);
  EXPECT_EQ(a.Dc, b.Dc);
  EXPECT_EQ(a.DcMax, b.DcMax);
  EXPECT_EQ(a.Mc, b.Mc);
  EXPECT_EQ(a.McMax, b.McMax);
  EXPECT_EQ(a.Df, b.Df);
  EXPECT_EQ(a.DfMax, b.DfMax);
  EXPECT_EQ(a.Mf, b.Mf);
  EXPECT_EQ(a.MfMax, b.MfMax);
  EXPECT_EQ(a.Nb, b.Nb);
  EXPECT_EQ(a.Acc, b.Acc);
  EXPECT_EQ(a.DcSpeed, b.DcSpeed);
  EXPECT_EQ(a.XiHP, b.XiHP);
  EXPECT_EQ(a.MaBi, b.MaBi);
  EXPECT_EQ(a.zd, b.zd);
  EXPECT_EQ(a.Luck, b.Luck);
  EXPECT_EQ(a.Heavy, b.Heavy);
  EXPECT_EQ(a.Level, b.Level);
  EXPECT_EQ(a.Ex, b.Ex);
  EXPECT_EQ(a.LevelPoint, b.LevelPoint);
  EXPECT_EQ(a.SpPoint, b.SpPoint);
  EXPECT_EQ(a.Direction, b.Direction);
  EXPECT_EQ(a.Money, b.Money);
  EXPECT_EQ(a.Bank, b.Bank);
  EXPECT_EQ(a.MapS, b.MapS);
  EXPECT_EQ(a.SP, b.SP);
  for (int i = 1; i <= 120; ++i) {
    EXPECT_EQ(a.Items[static_cast<std::size_t>(i)], b.Items[static_cast<std::size_t>(i)]) << "slot " << i;
  }
  for (int i = 1; i <= 20; ++i) EXPECT_EQ(a.M[static_cast<std::size_t>(i)], b.M[static_cast<std::size_t>(i)]) << "M" << i;
}

class SaveGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeSave(folder.SaveFile(kId), kId, "道士");
    SetSampleCharacter(kId);
    G.SaveConnStr = SaveConnectionString(folder.SaveFile(kId).string());
  }
  void ClearMessages() {
    for (auto& m : G.SysMessages) m = SysMessage{};
  }

  const std::string kId = "龙战天下";
  GameFolder folder;
};

TEST(SaveConnection, IsTheFixedConcatenation) {
  EXPECT_EQ(SaveConnectionString("/g/Save/甲.kzs"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=/g/Save/甲.kzs;"
            "Jet OLEDB:Database Password=qm25170894;");
  EXPECT_EQ(plat::db::DataSourceOf(SaveConnectionString("/g/Save/甲.kzs")), "/g/Save/甲.kzs");
}

TEST_F(SaveGameTest, CharacterSavedAndLoadedBackIsIdentical) {
  G.SysMessages = {};
  ASSERT_TRUE(SaveGame());
  const SysMessage* m = FindMessage(kSuccess);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->R, 255);
  EXPECT_EQ(m->G, 0);
  EXPECT_EQ(m->B, 0);
  EXPECT_FALSE(HasMessage(kFailure));
  EXPECT_TRUE(HasFileHeader(ReadFile(folder.SaveFile(kId))));

  const PlayerRecord saved = G.Player;
  const auto savedEt = G.Et;
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  ExpectSameCharacter(G.Player, saved);
  EXPECT_EQ(G.Et, savedEt);
  EXPECT_EQ(G.MainMap, 3);
  EXPECT_EQ(G.SubMap, 12);
  EXPECT_EQ(G.GoMain, 2);
  EXPECT_EQ(G.GoSub, 7);
  EXPECT_EQ(G.GoX, 150);
  EXPECT_EQ(G.GoY, 160);
  EXPECT_EQ(G.Player.X, 40);  // ViewX + 7
  EXPECT_EQ(G.Player.Y, 51);
  EXPECT_EQ(G.ViewX, 33);
  EXPECT_EQ(G.ViewY, 44);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.SaveConnStr, SaveConnectionString(folder.SaveFile(kId).string()));
  EXPECT_EQ(G.CheatMode, 0);
  EXPECT_EQ(G.ExpertMode, 0);
  EXPECT_TRUE(G.Player.Items[33].Name.empty());
  EXPECT_EQ(G.Player.Items[33], ItemRecord{});
}

TEST_F(SaveGameTest, ColumnsHoldTheGamesValues) {
  G.Player.ZhiYe = "法师";
  ASSERT_TRUE(SaveGame());
  Inspect(folder.SaveFile(kId), [&](Connection& c) {
    EXPECT_EQ(c.Scalar("SELECT X FROM Save1").AsLong(), 40);
    EXPECT_EQ(c.Scalar("SELECT Y FROM Save1").AsLong(), 51);
    EXPECT_EQ(c.Scalar("SELECT NowMc FROM Save1").AsLong(), 11);
    EXPECT_EQ(c.Scalar("SELECT Et40 FROM Save1").AsLong(), 40 * 37 - 500);
    EXPECT_EQ(c.Scalar("SELECT M17 FROM Save1").AsText(), "十七");
    EXPECT_EQ(c.Scalar("SELECT ZhiYe FROM Save1").AsText(), "道士");  // written only at creation
    const std::string date = c.Scalar("SELECT Date FROM Save1").AsText();
    EXPECT_TRUE(std::regex_match(date, std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)"))) << date;
    EXPECT_EQ(c.Scalar("SELECT Name FROM Save2 WHERE No = 33").AsText(), " ");
    EXPECT_EQ(c.Scalar("SELECT Type2 FROM Save2 WHERE No = 33").AsText(), " ");
    EXPECT_EQ(c.Scalar("SELECT Type2 FROM Save2 WHERE No = 12").AsText(), "甲");
    EXPECT_EQ(c.Scalar("SELECT mfMax FROM Save2 WHERE No = 12").AsLong(), 12014);
    EXPECT_EQ(c.Scalar("SELECT count(*) FROM Save2").AsLong(), 120);
  });
}

TEST_F(SaveGameTest, AccountModeSetsTheFlagsOnLoad) {
  G.Player.M[20] = "作弊";
  ASSERT_TRUE(SaveGame());
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  EXPECT_EQ(G.CheatMode, 1);
  EXPECT_EQ(G.ExpertMode, 0);

  G.Player.M[20] = "专家";
  ASSERT_TRUE(SaveGame());
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  EXPECT_EQ(G.CheatMode, 0);
  EXPECT_EQ(G.ExpertMode, 1);
}

TEST_F(SaveGameTest, RowsAreWrittenAndReadByTheirSlotNumber) {
  // A file whose item rows lie in reverse order, with extra rows outside 1..120.
  fs::path file = folder.SaveFile(kId);
  fs::remove(file);
  std::vector<int> reversed;
  for (int i = 120; i >= 1; --i) reversed.push_back(i);
  MakeSave(file, kId, "道士", true, reversed, [&](Connection& c) {
    c.Execute("INSERT INTO Save2 (ID, No, Name) VALUES (?, 0, '零')", {Value(kId)});
    c.Execute("INSERT INTO Save2 (ID, No, Name) VALUES (?, 121, '多余')", {Value(kId)});
  });
  ASSERT_TRUE(SaveGame());
  Inspect(file, [&](Connection& c) {
    EXPECT_EQ(c.Scalar("SELECT Name FROM Save2 WHERE No = 5").AsText(), SampleItem(5).Name);
    EXPECT_EQ(c.Scalar("SELECT Name FROM Save2 WHERE No = 120").AsText(), SampleItem(120).Name);
    EXPECT_EQ(c.Scalar("SELECT Name FROM Save2 WHERE No = 121").AsText(), "多余");
  });
  const PlayerRecord saved = G.Player;
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  ExpectSameCharacter(G.Player, saved);
}

TEST_F(SaveGameTest, MissingItemRowFailsTheSaveAndTheLoad) {
  Modify(folder.SaveFile(kId), [](Connection& c) { c.Execute("DELETE FROM Save2 WHERE No = 50"); });
  const auto before = Snapshot(folder.Save());
  G.SysMessages = {};
  EXPECT_FALSE(SaveGame());
  EXPECT_TRUE(HasMessage(kFailure));
  EXPECT_FALSE(HasMessage(kSuccess));
  EXPECT_EQ(Snapshot(folder.Save()), before);

  G = GameState{};
  G.Player.ID = "旧";
  EXPECT_FALSE(LoadSaveGame(kId));
  EXPECT_EQ(G.Player.ID, "旧");  // the state stays as it was
  EXPECT_EQ(Snapshot(folder.Save()), before);
}

TEST_F(SaveGameTest, SaveInterruptedAtAnyStepKeepsTheOldFile) {
  ASSERT_TRUE(SaveGame());
  const PlayerRecord old = G.Player;
  const auto before = Snapshot(folder.Save());
  G.Player.Level = 99;
  G.Player.Items[40].Name = "新的";
  G.Player.M[3] = "F93";

  const std::vector<MarkedDbFaultInjection> faults = {
      {MarkedDbStep::Copy, 1},   {MarkedDbStep::Open, 1},  {MarkedDbStep::Write, 1},
      {MarkedDbStep::Write, 2},  {MarkedDbStep::Write, 60}, {MarkedDbStep::Write, 121},
      {MarkedDbStep::Close, 1},  {MarkedDbStep::Mark, 1},  {MarkedDbStep::Rename, 1},
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(::testing::Message() << "step " << static_cast<int>(fault.step) << " write " << fault.writeNumber);
    ClearMessages();
    MarkedDbFaults() = fault;
    EXPECT_FALSE(SaveGame());
    MarkedDbFaults() = {};
    EXPECT_TRUE(HasMessage(kFailure));
    EXPECT_FALSE(HasMessage(kSuccess));
    EXPECT_EQ(Snapshot(folder.Save()), before);  // same bytes, no copy left behind
  }
  const PlayerRecord attempted = G.Player;
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  ExpectSameCharacter(G.Player, old);

  // The next complete save goes through.
  G.Player = attempted;
  ClearMessages();
  ASSERT_TRUE(SaveGame());
  EXPECT_TRUE(HasMessage(kSuccess));
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  EXPECT_EQ(G.Player.Level, 99);
  EXPECT_EQ(G.Player.Items[40].Name, "新的");
}

TEST_F(SaveGameTest, MissingOrDamagedFileIsNotCreatedOrChanged) {
  fs::remove(folder.SaveFile(kId));
  EXPECT_FALSE(SaveGame());
  EXPECT_TRUE(HasMessage(kFailure));
  EXPECT_TRUE(fs::is_empty(folder.Save()));

  Bytes junk(4096, 0x33);
  ASSERT_TRUE(plat::WriteAllBytes(folder.SaveFile(kId), junk));
  EXPECT_FALSE(SaveGame());
  EXPECT_EQ(ReadFile(folder.SaveFile(kId)), junk);
  EXPECT_FALSE(LoadSaveGame(kId));
  EXPECT_EQ(ReadFile(folder.SaveFile(kId)), junk);
  EXPECT_EQ(Snapshot(folder.Save()).size(), 1u);
}

TEST_F(SaveGameTest, LoadingOnlyReadsTheFile) {
  ASSERT_TRUE(SaveGame());
  const auto before = Snapshot(folder.Save());
  ASSERT_TRUE(LoadSaveGame(kId));
  ASSERT_TRUE(LoadSaveGame(" " + kId + " "));  // the name as it stands in a list row
  EXPECT_EQ(Snapshot(folder.Save()), before);
}

TEST_F(SaveGameTest, LoadTrimsNamesAndKeepsOneCharacterOfType2) {
  Modify(folder.SaveFile(kId), [](Connection& c) {
    c.Execute("UPDATE Save2 SET Name = '  金币100 ', Type2 = '乙丙丁' WHERE No = 21");
    c.Execute("UPDATE Save2 SET Name = ' ', Type2 = '' WHERE No = 22");
  });
  ASSERT_TRUE(LoadSaveGame(kId));
  EXPECT_EQ(G.Player.Items[21].Name, "金币100");
  EXPECT_EQ(G.Player.Items[21].Type2, "乙");
  EXPECT_EQ(G.Player.Items[22].Name, "");
  EXPECT_EQ(G.Player.Items[22].Type2, "");
}

TEST_F(SaveGameTest, LoadRefusesValuesThatDoNotFit) {
  const struct {
    const char* sql;
  } cases[] = {
      {"UPDATE Save1 SET Level = 'abc'"},
      {"UPDATE Save1 SET HP = 4294967296"},
      {"UPDATE Save1 SET MapS = 256"},
      {"UPDATE Save2 SET Pic1 = 'x1' WHERE No = 3"},
      {"DELETE FROM Save1"},
      {"ALTER TABLE Save1 DROP COLUMN M20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    fs::remove(folder.SaveFile(kId));
    MakeSave(folder.SaveFile(kId), kId);
    Modify(folder.SaveFile(kId), [&](Connection& db) { db.Execute(c.sql); });
    G = GameState{};
    EXPECT_FALSE(LoadSaveGame(kId));
    EXPECT_EQ(G.Player.ID, "");
  }
  // A number stored as text still loads.
  fs::remove(folder.SaveFile(kId));
  MakeSave(folder.SaveFile(kId), kId);
  Modify(folder.SaveFile(kId), [](Connection& db) { db.Execute("UPDATE Save1 SET Level = ' 12 '"); });
  ASSERT_TRUE(LoadSaveGame(kId));
  EXPECT_EQ(G.Player.Level, 12);
}

TEST_F(SaveGameTest, NamesThatLeaveTheSaveFolderAreRefused) {
  EXPECT_FALSE(LoadSaveGame("../x"));
  EXPECT_FALSE(LoadSaveGame(""));
  G.Player.ID = "a/b";
  EXPECT_FALSE(SaveItemTable());
}

TEST_F(SaveGameTest, ItemTableRewriteLeavesTheCharacterRow) {
  ASSERT_TRUE(SaveGame());
  Modify(folder.SaveFile(kId), [](Connection& c) { c.Execute("UPDATE Save1 SET Date = 'then', Level = 5"); });
  G.SaveConnStr.clear();
  G.Player.Level = 60;
  G.Player.Items[25] = SampleItem(90);
  G.Player.Items[25].Type2 = "丙";
  G.Player.Items[26] = ItemRecord{};
  ClearMessages();
  ASSERT_TRUE(SaveItemTable());
  EXPECT_EQ(G.SaveConnStr, SaveConnectionString(folder.SaveFile(kId).string()));
  EXPECT_FALSE(HasMessage(kSuccess));
  EXPECT_TRUE(HasFileHeader(ReadFile(folder.SaveFile(kId))));
  Inspect(folder.SaveFile(kId), [](Connection& c) {
    EXPECT_EQ(c.Scalar("SELECT Date FROM Save1").AsText(), "then");
    EXPECT_EQ(c.Scalar("SELECT Level FROM Save1").AsLong(), 5);
    EXPECT_EQ(c.Scalar("SELECT Type2 FROM Save2 WHERE No = 25").AsText(), "丙");
    EXPECT_EQ(c.Scalar("SELECT Name FROM Save2 WHERE No = 26").AsText(), " ");
  });
  const PlayerRecord traded = G.Player;
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  for (int i = 1; i <= 120; ++i) EXPECT_EQ(G.Player.Items[static_cast<std::size_t>(i)], traded.Items[static_cast<std::size_t>(i)]);
  EXPECT_EQ(G.Player.Level, 5);
}

TEST_F(SaveGameTest, ItemTableRewriteInterruptedKeepsTheOldFile) {
  ASSERT_TRUE(SaveGame());
  const auto before = Snapshot(folder.Save());
  G.Player.Items[30].Name = "换来的";
  for (MarkedDbStep step : {MarkedDbStep::Copy, MarkedDbStep::Write, MarkedDbStep::Rename}) {
    MarkedDbFaults() = {step, 100};
    EXPECT_FALSE(SaveItemTable());
    MarkedDbFaults() = {};
    EXPECT_EQ(Snapshot(folder.Save()), before);
  }
}

TEST_F(SaveGameTest, DateChangesOnEverySave) {
  Modify(folder.SaveFile(kId), [](Connection& c) { c.Execute("UPDATE Save1 SET Date = '1999-01-01 00:00:00'"); });
  ASSERT_TRUE(SaveGame());
  Inspect(folder.SaveFile(kId), [](Connection& c) {
    EXPECT_NE(c.Scalar("SELECT Date FROM Save1").AsText(), "1999-01-01 00:00:00");
  });
}

// ------------------------------------------------------------------ shield

TEST_F(SaveGameTest, SavingEndsTheShieldAndStoresStatsWithoutItsBonus) {
  // A level-3 shield that has run its first frame: DfMax +9, MfMax +3 are in force.
  G.Player.DfMax = 110 + 9;
  G.Player.MfMax = 112 + 3;
  G.SkillEffects[2] = SkillEffect{0, 0, 0, 0, 7, 40, 0, 3};
  ASSERT_TRUE(SaveGame());
  EXPECT_EQ(G.SkillEffects[2].Kind, 0);
  EXPECT_EQ(G.SkillEffects[2].Frame, 0);
  EXPECT_EQ(G.Player.DfMax, 110);
  EXPECT_EQ(G.Player.MfMax, 112);
  EXPECT_EQ(G.ScreenEffects[1].Kind, 2);  // the shield's end on screen
  EXPECT_EQ(ui::Form1.Ldf->Caption, "109-110");
  Inspect(folder.SaveFile(kId), [](Connection& c) {
    EXPECT_EQ(c.Scalar("SELECT DfMax FROM Save1").AsLong(), 110);
    EXPECT_EQ(c.Scalar("SELECT MfMax FROM Save1").AsLong(), 112);
  });
}

TEST_F(SaveGameTest, ShieldNotYetStartedEndsWithoutChangingStats) {
  G.SkillEffects[1] = SkillEffect{0, 0, 0, 0, 7, 0, 0, 0};
  G.SkillEffects[3] = SkillEffect{0, 0, 0, 0, 8, 4, 0, 0};  // another skill keeps running
  ASSERT_TRUE(SaveGame());
  EXPECT_EQ(G.SkillEffects[1].Kind, 0);
  EXPECT_EQ(G.SkillEffects[3].Kind, 8);
  EXPECT_EQ(G.Player.DfMax, 110);
  EXPECT_EQ(G.Player.MfMax, 112);
  EXPECT_EQ(G.ScreenEffects[1].Kind, 2);
}

// ------------------------------------------------------------------ transformation

TEST_F(SaveGameTest, SavingWhileTransformedStoresTheRestoredStatsAndLook) {
  MakeZb(folder.path() / "date" / "Rpg" / "5003.zb", 10);
  MakeZb(folder.path() / "date" / "Weapon" / "1003.zb", 20);
  G.GAMELEVEL = 1;
  BackupPlayerRecord();  // Mc, McMax 0: transformed
  G.Player.Dc = 40;
  G.Player.DcMax = 90;
  G.Player.DfMax = 25;
  G.BodyNo = 107;
  G.ScreenEffects[4] = ScreenEffect{0, 0, 8, 300, 7};
  ASSERT_TRUE(SaveGame());
  EXPECT_EQ(G.ScreenEffects[4].Kind, 8);  // plays once more, then is freed
  EXPECT_EQ(G.ScreenEffects[4].Frame, 0);
  EXPECT_EQ(G.ScreenEffects[4].P, 0);
  EXPECT_EQ(G.Player.Dc, 105);
  EXPECT_EQ(G.Player.McMax, 108);
  EXPECT_EQ(G.BodyNo, 5003);  // the armour's look again
  EXPECT_EQ(Looks.BodyZb[1].X, 11);
  EXPECT_EQ(ui::Form1.Ldc->Caption, "105-106");
  Inspect(folder.SaveFile(kId), [](Connection& c) {
    EXPECT_EQ(c.Scalar("SELECT Dc FROM Save1").AsLong(), 105);
    EXPECT_EQ(c.Scalar("SELECT McMax FROM Save1").AsLong(), 108);
    EXPECT_EQ(c.Scalar("SELECT DfMax FROM Save1").AsLong(), 110);
  });
}

TEST_F(SaveGameTest, TransformationNotYetInForceIsCancelledWithoutTouchingStats) {
  G.PlayerBackup.Dc = 1;  // would show if the stats were restored
  G.ScreenEffects[1] = ScreenEffect{0, 0, 8, 5, 3};
  ASSERT_TRUE(SaveGame());
  EXPECT_EQ(G.ScreenEffects[1].P, 0);
  EXPECT_EQ(G.ScreenEffects[1].Frame, 0);
  EXPECT_EQ(G.Player.Dc, 105);
  // A character without magic and no transformation running keeps its stats too.
  G.Player.Mc = 0;
  G.Player.McMax = 0;
  G.ScreenEffects[1] = ScreenEffect{};
  ASSERT_TRUE(SaveGame());
  EXPECT_EQ(G.Player.Dc, 105);
}

}  // namespace
