// A monster's death start: its dying state, the experience, the story flags with their
// save and story text, and the level-ups.
#include "world/monster_death.h"

#include <gtest/gtest.h>

#include <string>

#include "save_fixture.h"
#include "world/save_game.h"

namespace {

using namespace savetest;

class MonsterDeathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeSave(folder.SaveFile(kId), kId);
    G.SaveConnStr = SaveConnectionString(folder.SaveFile(kId).string());
    PlayerRecord& p = G.Player;
    p.ID = kId;
    p.ZhiYe = "战士";
    p.Level = 1;
    p.HP = 5;
    p.HpMax = 20;
    p.Mp = 1;
    p.MpMax = 15;
    p.Heavy = 30;
    for (int k = 1; k <= 20; ++k) p.M[static_cast<std::size_t>(k)] = "??0";
    p.M[20] = "普通";
    for (int i = 1; i <= 120; ++i) p.Items[static_cast<std::size_t>(i)] = ItemRecord{};
  }

  // A kind worth `ex` experience with story flag `event`, and monster 7 of it.
  static MonsterInstance& Victim(int ex, int event = 0) {
    MonsterKind k;
    k.MonName = "狼";
    k.Ex = ex;
    k.Event = event;
    G.MonsterKinds.push_back(k);
    G.MonsterKindCount = static_cast<std::int32_t>(G.MonsterKinds.size()) - 1;
    MonsterInstance& m = G.Monsters[7];
    m.Kind = G.MonsterKindCount;
    m.State = ActionState::Hit;
    m.Tick = 9;
    m.Step = 3;
    return m;
  }
  static int CountMessages(const std::string& text) {
    int n = 0;
    for (const auto& m : G.SysMessages) n += (m.Life > 0 && m.Text == text) ? 1 : 0;
    return n;
  }

  const std::string kId = "狼牙";
  GameFolder folder;
};

TEST_F(MonsterDeathTest, TheMonsterStartsDyingAndPaysItsExperience) {
  MonsterInstance& m = Victim(4);
  G.LockedMon = 7;
  StartMonsterDeath(7);
  EXPECT_EQ(m.State, ActionState::Dying);
  EXPECT_EQ(m.Tick, 1);
  EXPECT_EQ(m.Step, 1);
  EXPECT_EQ(G.LockedMon, 0);
  EXPECT_EQ(G.Player.Ex, 4);
  EXPECT_EQ(G.Player.Level, 1);
  EXPECT_EQ(CountMessages("游戏已存档"), 0);  // nothing to save
  // Another locked monster keeps its lock.
  G.LockedMon = 8;
  StartMonsterDeath(7);
  EXPECT_EQ(G.LockedMon, 8);
}

TEST_F(MonsterDeathTest, ExactlyTheThresholdGainsALevelWithItsGifts) {
  Victim(10);
  StartMonsterDeath(7);
  const PlayerRecord& p = G.Player;
  EXPECT_EQ(p.Level, 2);
  EXPECT_EQ(p.Ex, 0);
  EXPECT_EQ(p.LevelPoint, 1);  // level 2 is even
  EXPECT_EQ(p.SpPoint, 1);
  EXPECT_EQ(p.HpMax, 22);
  EXPECT_EQ(p.HP, 22);
  EXPECT_EQ(p.Mp, 15);
  EXPECT_EQ(p.Heavy, 31);
  EXPECT_EQ(G.ScreenEffects[1].Kind, 1);
  EXPECT_EQ(CountMessages("恭喜您升级了！"), 1);
  EXPECT_EQ(CountMessages("游戏已存档"), 1);

  // The level is in the save.
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  EXPECT_EQ(G.Player.Level, 2);
}

TEST_F(MonsterDeathTest, OneKillMayGiveSeveralLevelsOneByOne) {
  // 10 + 40 + 90 = 140 leads from level 1 to 4 with 5 left over.
  Victim(145);
  StartMonsterDeath(7);
  const PlayerRecord& p = G.Player;
  EXPECT_EQ(p.Level, 4);
  EXPECT_EQ(p.Ex, 5);
  EXPECT_EQ(p.LevelPoint, 2);  // levels 2 and 4
  EXPECT_EQ(p.SpPoint, 3);
  EXPECT_EQ(p.HpMax, 26);
  EXPECT_EQ(p.Heavy, 30 + 1 + 2 + 1);  // level 3 gives one more
  EXPECT_EQ(G.ScreenEffects[3].Kind, 1);
  EXPECT_EQ(CountMessages("恭喜您升级了！"), 3);
}

TEST_F(MonsterDeathTest, LevelFifteenAddsDefenceAndNinetyNineNoSkillPoint) {
  G.Player.Level = 14;
  G.Player.Ex = 1960;
  Victim(0);
  StartMonsterDeath(7);
  EXPECT_EQ(G.Player.Level, 15);
  EXPECT_EQ(G.Player.Df, 1);
  EXPECT_EQ(G.Player.DfMax, 1);
  EXPECT_EQ(G.Player.LevelPoint, 0);  // 15 is odd
  EXPECT_EQ(G.Player.Heavy, 32);
  G.Player.Level = 98;
  G.Player.Ex = 98 * 98 * 10;
  G.Player.SpPoint = 0;
  StartMonsterDeath(7);
  EXPECT_EQ(G.Player.Level, 99);
  EXPECT_EQ(G.Player.SpPoint, 0);
}

TEST_F(MonsterDeathTest, ADeadPlayerGainsExperienceButNoLevel) {
  G.Player.HP = 0;
  Victim(50);
  StartMonsterDeath(7);
  EXPECT_EQ(G.Player.Ex, 50);
  EXPECT_EQ(G.Player.Level, 1);
  EXPECT_EQ(G.Player.HP, 0);
}

TEST_F(MonsterDeathTest, AtTheTopLevelKillsPayNothing) {
  G.Player.Level = 120;
  G.Player.Ex = 3;
  Victim(500);
  StartMonsterDeath(7);
  EXPECT_EQ(G.Player.Ex, 3);
  EXPECT_EQ(G.Player.Level, 120);
}

TEST_F(MonsterDeathTest, AStoryFlagIsSetAndSaved) {
  Victim(0, 12);
  StartMonsterDeath(7);
  EXPECT_EQ(G.Et[12], 1);
  EXPECT_EQ(CountMessages("游戏已存档"), 1);
  EXPECT_EQ(G.GamePaused, 0);
  EXPECT_FALSE(ui::Form1.Pspt->Visible);
  G = GameState{};
  ASSERT_TRUE(LoadSaveGame(kId));
  EXPECT_EQ(G.Et[12], 1);
}

TEST_F(MonsterDeathTest, FourFlagsPauseTheGameUnderTheirStory) {
  Victim(0, 33);
  StartMonsterDeath(7);
  EXPECT_EQ(G.Et[33], 1);
  EXPECT_EQ(G.GamePaused, 1);
  EXPECT_TRUE(ui::Form1.Pspt->Visible);
  EXPECT_EQ(ui::Form1.LSay->Caption, "你杀死了牛魔王，拿到了镇墓玉石。");

  // A flag already set is set, saved and told again.
  G.GamePaused = 0;
  ui::Form1.LSay->Caption.clear();
  StartMonsterDeath(7);
  EXPECT_EQ(G.GamePaused, 1);
  EXPECT_EQ(ui::Form1.LSay->Caption, "你杀死了牛魔王，拿到了镇墓玉石。");
  EXPECT_EQ(CountMessages("游戏已存档"), 2);

  G.MonsterKinds[static_cast<std::size_t>(G.MonsterKindCount)].Event = 30;
  StartMonsterDeath(7);
  const std::string& say = ui::Form1.LSay->Caption;
  EXPECT_EQ(say.rfind("“大侠，你饶了我吧！”金魔向你求饶\r\n“镇墓玉石在哪？”你问金魔\r\n", 0), 0u);
  EXPECT_NE(say.find("\r\n“把你留在世上"), std::string::npos);
}

TEST_F(MonsterDeathTest, BadIndexesAndKindsAreHarmless) {
  StartMonsterDeath(0);
  StartMonsterDeath(301);
  MonsterInstance& m = Victim(10, 99);  // a flag outside 1..40
  m.Kind = 55;                          // and then no such kind at all
  StartMonsterDeath(7);
  EXPECT_EQ(m.State, ActionState::Dying);
  EXPECT_EQ(G.Player.Ex, 0);
  EXPECT_EQ(CountMessages("游戏已存档"), 0);
}

}  // namespace
