// The skills in progress: paying for casts and what a failed payment does to the rest
// of the pass, each kind's strikes, areas and timing, the shield's bonus, the cold
// wind's flag, the hell fire's waves, the travelling rock and gale rush, and the lock.
#include "world/skills.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "graphics/resources.h"
#include "graphics/effects.h"
#include "platform/clock.h"
#include "platform/sound.h"
#include "support/test_support.h"
#include "world/item_db.h"

namespace {

MonsterInstance& Mon(int n) { return G.Monsters[static_cast<std::size_t>(n)]; }
SkillEffect& Slot(int i) { return G.SkillEffects[static_cast<std::size_t>(i)]; }

constexpr int kView = 20;  // the player stands on (28, 28)
constexpr int kPlayer = kView + 8;
constexpr std::int32_t kTough = 1'000'000;

class SkillsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    G = GameState{};
    plat::SetSoundDevice(&sound);
    for (auto& loaded : Gfx.SkillLoaded) loaded = 1;  // no pictures needed
    G.SubMap = 1;
    SetPartSize(1, 60, 60);
    G.ViewX = G.ViewY = kView;
    G.Player.HP = G.Player.HpMax = 100;
    G.Player.ActState = ActionState::Attack;
    G.MonsterKinds.resize(2);
    G.MonsterKindCount = 1;
    for (int k = 1; k <= 20; ++k) G.Player.M[static_cast<std::size_t>(k)] = "s1";
    Constant(0.0);
  }
  void TearDown() override {
    plat::SetRandomSource({});
    plat::SetSoundDevice(nullptr);
    for (auto& loaded : Gfx.SkillLoaded) loaded = 0;
    G = GameState{};
  }
  static void Constant(double u) {
    plat::SetRandomSource([u] { return u; });
  }
  static void Level(int k, int level) { G.Player.M[static_cast<std::size_t>(k)] = "s" + std::to_string(level); }
  static void PlaceMonster(int n, int x, int y, std::int32_t hp = kTough) {
    Mon(n).X = x;
    Mon(n).Y = y;
    Mon(n).HP = hp;
    Mon(n).Kind = 1;
    SetGridMonster(x, y, n);
    G.MonsterCount = std::max(G.MonsterCount, n);
  }
  static std::int32_t Lost(int n) { return kTough - Mon(n).HP; }
  static bool AnyEntry() {
    for (int i = 1; i <= kMaxSkillEffects; ++i)
      if (Slot(i).Kind != 0) return true;
    return false;
  }
  // Runs both routines a frame at a time; the number of frames until the list is empty.
  static int RunAll(int limit = 5000) {
    int frames = 0;
    while (AnyEntry() && frames < limit) {
      RunAreaSkills();
      RunSkills();
      ++frames;
    }
    return frames;
  }

  plat::RecordingSound sound;
};

// ---- paying

struct PayCase {
  int kind;
  std::int32_t cost;
  bool endsPass;  // a failed payment stops the later slots for this frame
  std::int32_t p1;
};

TEST_F(SkillsTest, ACastPaysExactlyItsCostAndOnePointShortDropsIt) {
  const std::vector<PayCase> cases = {
      {5, 2, true, 0},   {7, 10, true, 0},   {10, 80, true, 0},    {11, 2, true, 0},  {13, 5, true, 0},
      {12, 4, false, 4}, {14, 12, false, 5}, {15, 100, false, 20}, {8, 10, false, 0},
  };
  for (const PayCase& c : cases) {
    for (const bool enough : {true, false}) {
      SCOPED_TRACE(::testing::Message() << "kind " << c.kind << (enough ? " paid" : " short"));
      G.SkillEffects = {};
      G.ColdWindActive = 0;
      G.Player.Mp = enough ? c.cost : c.cost - 1;
      AddSkillEffect(c.kind, kPlayer + 2, kPlayer, 2, c.p1);
      // A companion heal (or a shock slash for the area pass) in slot 2 shows whether
      // the pass went on.
      AddSkillEffect(c.kind == 15 ? 4 : 8, 0, 0, 0, 1);
      if (c.kind == 15) RunAreaSkills();
      else RunSkills();
      if (enough) {
        EXPECT_EQ(G.Player.Mp, 0);
        EXPECT_EQ(Slot(1).Kind, c.kind);
        EXPECT_EQ(Slot(2).Frame, 1);
      } else {
        EXPECT_EQ(G.Player.Mp, c.cost - 1);
        EXPECT_EQ(Slot(1).Kind, 0);
        EXPECT_EQ(Slot(2).Frame, c.endsPass ? 0 : 1);
      }
    }
  }
}

TEST_F(SkillsTest, TheCompanionsHealAndLightningCostNothing) {
  G.Player.Mp = 0;
  AddSkillEffect(8, 0, 0, 0, 1);
  AddSkillEffect(11, kPlayer + 3, kPlayer, 0, 1);
  RunSkills();
  EXPECT_EQ(Slot(1).Kind, 8);
  EXPECT_EQ(Slot(2).Kind, 11);
  EXPECT_EQ(G.HpPool, 0);  // the companion adds its own points
}

TEST_F(SkillsTest, APlayersHealFillsThePool) {
  G.Player.Mp = 10;
  G.Player.Luck = 2;
  G.Player.Items[1].Ex = 4000;  // weapon level 2
  Level(8, 3);
  AddSkillEffect(8, 0, 0, 0, 0);
  EXPECT_EQ(RunAll(), 39);
  EXPECT_EQ(G.HpPool, 20 + 2 + 2 + 18);
}

// ---- the air slash

struct AirCase {
  int direction;
  std::vector<std::array<int, 2>> monsters;  // view offsets (player at 8, 8)
  std::vector<std::int32_t> lost;            // per monster
};

TEST_F(SkillsTest, AnAirSlashStrikesTwoAndThreeCellsAheadWithItsEntryBonus) {
  // roll 10, luck 0, level 1, aura 0, weapon 0: 11 + 3 x entry
  const std::vector<AirCase> cases = {
      {2, {{10, 8}, {11, 8}}, {14, 17}},
      {6, {{6, 8}, {5, 8}}, {17, 14}},  // west: the nearer cell is the second entry
      {6, {{6, 8}}, {17}},
      {0, {{8, 6}, {8, 5}}, {14, 17}},
      {3, {{11, 11}}, {17}},
      {1, {{10, 6}, {11, 5}}, {14, 17}},
      {3, {{10, 10}, {11, 11}}, {14, 17}},
      {4, {{8, 10}, {8, 11}}, {14, 17}},
      {5, {{6, 10}, {5, 11}}, {14, 17}},
      {7, {{6, 6}, {5, 5}}, {14, 17}},
      {2, {{9, 8}}, {0}},  // the cell next to the player is not the slash's
  };
  for (const AirCase& c : cases) {
    SCOPED_TRACE(c.direction);
    G.Grid.assign(G.Grid.size(), kGridFree);
    G.SkillEffects = {};
    G.Player.Dc = G.Player.DcMax = 10;
    G.Player.DcSpeed = 5;
    G.Player.Direction = c.direction;
    G.Player.ActStep = 4;
    G.Player.ActCounter = 12;  // a multiple of 11 - 5
    for (std::size_t i = 0; i < c.monsters.size(); ++i)
      PlaceMonster(static_cast<int>(i) + 1, kView + c.monsters[i][0], kView + c.monsters[i][1]);
    AddSkillEffect(2, 0, 0, 0, 0);
    RunSkills();
    for (std::size_t i = 0; i < c.monsters.size(); ++i) EXPECT_EQ(Lost(static_cast<int>(i) + 1), c.lost[i]);
  }
}

TEST_F(SkillsTest, AnAirSlashStrikesAtEveryHitMomentAndEndsWhenThePlayerStands) {
  G.Player.Dc = G.Player.DcMax = 10;
  G.Player.DcSpeed = 20;  // the period stays 1 frame
  G.Player.Direction = 2;
  G.Player.ActStep = 4;
  G.Player.ActCounter = 7;
  PlaceMonster(1, kView + 10, kView + 8);
  AddSkillEffect(2, 0, 0, 0, 0);
  for (int f = 0; f < 3; ++f) RunSkills();
  EXPECT_EQ(Lost(1), 3 * 14);
  G.Player.ActState = ActionState::Stand;
  RunSkills();
  EXPECT_EQ(Slot(1).Kind, 0);
  EXPECT_EQ(Lost(1), 3 * 14);
}

// A slash in progress goes on while the player has any life left: at 1 HP the air slash
// strikes and the fire sword burns on, at 0 both end.
TEST_F(SkillsTest, AnAirSlashOrAFireSwordGoesOnAtOneHpAndEndsAtNone) {
  G.Player.Dc = G.Player.DcMax = 10;
  G.Player.DcSpeed = 20;  // the period stays 1 frame
  G.Player.Direction = 2;
  G.Player.ActStep = 4;
  for (const int kind : {2, 3}) {
    for (const std::int32_t hp : {1, 0}) {
      SCOPED_TRACE(::testing::Message() << "kind " << kind << ", HP " << hp);
      G.SkillEffects = {};
      G.Player.HP = hp;
      G.Player.ActCounter = 7;
      PlaceMonster(1, kView + 10, kView + 8);
      AddSkillEffect(kind, 0, 0, 0, 0);
      RunSkills();
      EXPECT_EQ(Slot(1).Kind, hp > 0 ? kind : 0);
      EXPECT_EQ(Lost(1), kind == 2 && hp > 0 ? 14 : 0);
    }
  }
}

// ---- the shock slash and the hell fire

TEST_F(SkillsTest, AShockSlashStrikesTheEightCellsAroundOnceAtItsEighthFrame) {
  G.Player.Dc = G.Player.DcMax = 5;
  G.Player.Luck = 1;
  Level(4, 2);
  PlaceMonster(1, kPlayer, kPlayer - 1);
  PlaceMonster(2, kPlayer - 1, kPlayer - 1);
  PlaceMonster(3, kPlayer + 2, kPlayer);  // outside the ring
  AddSkillEffect(4, 0, 0, 0, 0);
  for (int f = 1; f <= 7; ++f) RunAreaSkills();
  EXPECT_EQ(Lost(1), 0);
  EXPECT_EQ(RunAll(), 8);
  EXPECT_EQ(Lost(1), 10);
  EXPECT_EQ(Lost(2), 10);
  EXPECT_EQ(Lost(3), 0);
}

TEST_F(SkillsTest, AHellFireCastStrikesTheBlockTwelveTimes28Or29FramesApart) {
  G.Player.Mp = 100;
  G.Player.Mc = 30;
  G.Player.McMax = 30;
  Level(15, 2);
  G.MonsterKinds[1].mf = G.MonsterKinds[1].MfMax = 4;
  PlaceMonster(1, kView + 6, kView + 10);  // a corner of the 5 x 5 block
  PlaceMonster(2, kView + 11, kView + 8);  // just outside it
  AddSkillEffect(15, 0, 0, 0, 20);
  std::vector<int> strikes;
  for (int f = 1; f <= 600 && AnyEntry(); ++f) {
    const std::int32_t before = Mon(1).HP;
    RunAreaSkills();
    if (Mon(1).HP != before) {
      EXPECT_EQ(before - Mon(1).HP, 30 + 10 - 4);
      strikes.push_back(f);
    }
  }
  ASSERT_EQ(strikes.size(), 12u);
  for (std::size_t i = 1; i < strikes.size(); ++i) {
    const int gap = strikes[i] - strikes[i - 1];
    EXPECT_TRUE(gap == 28 || gap == 29) << gap;
  }
  EXPECT_EQ(Lost(2), 0);
  EXPECT_EQ(G.Player.Mp, 0);  // only the cast pays
}

// ---- the shield and the cold wind

TEST_F(SkillsTest, AShieldGivesItsBonusAndTakesOffExactlyThatAtItsEnd) {
  G.Player.Mp = 10;
  G.Player.DfMax = 7;
  G.Player.MfMax = 5;
  Level(7, 1);
  AddSkillEffect(7, 0, 0, 0, 0);
  RunSkills();
  EXPECT_EQ(G.Player.DfMax, 10);
  EXPECT_EQ(G.Player.MfMax, 6);
  EXPECT_EQ(Slot(1).P2, 1);  // the level its bonus came from
  Level(7, 2);               // raised while up: lasts as level 2, gives back level 1's bonus
  const int frames = 1 + RunAll();
  EXPECT_EQ(frames, 3 * 600 + 1);
  EXPECT_EQ(G.Player.DfMax, 7);
  EXPECT_EQ(G.Player.MfMax, 5);
}

TEST_F(SkillsTest, AColdWindSetsTheFlagForItsLengthEvenWithSoundOff) {
  struct Case {
    int level;
    int sound;
    int frames;
  };
  for (const Case& c : std::vector<Case>{{1, 0, 901}, {3, 1, 1501}}) {
    SCOPED_TRACE(c.level);
    sound.calls.clear();
    G.SoundOn = c.sound;
    G.Player.Mp = 80;
    Level(10, c.level);
    Constant(0.5);
    AddSkillEffect(10, 0, 0, 0, 0);
    RunSkills();
    EXPECT_EQ(G.ColdWindActive, 1);
    EXPECT_EQ(1 + RunAll(), c.frames);
    EXPECT_EQ(G.ColdWindActive, 0);
    if (c.sound == 0) EXPECT_TRUE(sound.calls.empty());
    else EXPECT_FALSE(sound.calls.empty());
  }
}

TEST_F(SkillsTest, WindFlakesFallAndDriftAndComeBackOnlyByChance) {
  G.WindParticles[0] = {100, 50, 1};
  G.WindParticles[1] = {100, 401, 2};  // below the line
  G.Player.Mp = 80;
  AddSkillEffect(10, 0, 0, 0, 0);
  plat::SetRandomSource([] { return 0.5; });  // no return, drift left 7
  RunSkills();
  EXPECT_EQ(G.WindParticles[0].X, 93);
  EXPECT_EQ(G.WindParticles[0].Y, 60);
  EXPECT_EQ(G.WindParticles[1].Y, 411);
  Constant(0.0);  // u1 x 30 < 1: it starts again at the top
  RunSkills();
  EXPECT_EQ(G.WindParticles[1].Y, 1);
  EXPECT_EQ(G.WindParticles[1].X, 10);
  EXPECT_EQ(G.WindParticles[1].Kind, 1);
}

// ---- the travelling skills

TEST_F(SkillsTest, ARockHopsFiveCellsAndStrikesEachCellTwice) {
  G.Player.Mp = 4;
  G.Player.Mc = G.Player.McMax = 0;
  Level(12, 2);  // with no magic, d = 2 x level - 2 = 2
  for (int k = 0; k <= 5; ++k) PlaceMonster(k + 1, kPlayer + k, kPlayer);
  AddSkillEffect(12, kPlayer, kPlayer, 2, 4);
  const int frames = RunAll();
  // Five hops of eight frames from an empty list: the rock alternates between slots 1
  // and 2, and each hop into slot 2 starts in the pass that ended the hop before it
  // (passes 1-8, 8-15, 16-23, 23-30, 31-38).
  EXPECT_EQ(frames, 38);
  for (int k = 0; k <= 4; ++k) EXPECT_EQ(Lost(k + 1), 2 * 2) << k;
  EXPECT_EQ(Lost(6), 0);
}

TEST_F(SkillsTest, ARockLeavingThePartStopsStrikingButKeepsItsLifetime) {
  G.Player.Mp = 4;
  AddSkillEffect(12, 59, kPlayer, 2, 4);  // 59, 60, then off the 60-cell part
  const int frames = RunAll();
  // Five hops of eight frames from an empty list: the rock alternates between slots 1
  // and 2, and each hop into slot 2 starts in the pass that ended the hop before it
  // (passes 1-8, 8-15, 16-23, 23-30, 31-38).
  EXPECT_EQ(frames, 38);
}

TEST_F(SkillsTest, AGaleRushStrikesOnlyTheBlocksOfItsEvenHops) {
  // blocks centred 1, 3 and 5 cells ahead; a monster k cells ahead:
  const std::vector<std::array<int, 2>> cases = {{-1, 0}, {0, 1}, {1, 1}, {2, 2}, {4, 2}, {6, 1}, {7, 0}};
  G.Player.Mc = G.Player.McMax = 5;
  for (const auto& c : cases) {
    SCOPED_TRACE(c[0]);
    G.Grid.assign(G.Grid.size(), kGridFree);
    G.Player.Mp = 12;
    PlaceMonster(1, kPlayer + c[0], kPlayer + 1);
    AddSkillEffect(14, kPlayer, kPlayer, 2, 5);
    RunAll();
    EXPECT_EQ(Lost(1), c[1] * 5);
  }
}

TEST_F(SkillsTest, AWhirlwindStrikesItsThreeByThreeBlockOnce) {
  G.Player.Mp = 5;
  G.Player.Mc = G.Player.McMax = 9;
  Level(13, 1);
  PlaceMonster(1, 41, 39);
  PlaceMonster(2, 39, 41);
  PlaceMonster(3, 42, 40);
  AddSkillEffect(13, 40, 40, 0, 0);
  EXPECT_EQ(RunAll(), 23);
  EXPECT_EQ(Lost(1), 9);
  EXPECT_EQ(Lost(2), 9);
  EXPECT_EQ(Lost(3), 0);
}

// ---- the lightning and its lock

TEST_F(SkillsTest, LightningStrikesALiveLockElsewhereAndShowsTheNumberOnTheAimedCell) {
  struct Case {
    const char* what;
    std::int32_t lockHp;
    bool offGrid;
    int lockIndex;
    bool lockStruck;
  };
  const std::vector<Case> cases = {
      {"live lock", kTough, false, 1, true},
      {"dead lock", 0, false, 1, false},
      {"lock off the grid", kTough, true, 1, false},
      {"lock past the count", kTough, false, 9, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    G.MagicLock = 1;
    G.Player.Mc = G.Player.McMax = 7;
    G.Player.Mp = 2;
    PlaceMonster(1, 40, 40, c.lockHp);
    if (c.offGrid) SetGridFree(40, 40);
    PlaceMonster(2, 30, 30);  // on the aimed cell
    G.LockedMon = c.lockIndex;
    AddSkillEffect(11, 30, 30, 0, 0);
    RunAll();
    const std::int32_t d = 7 + 3 - 3;
    EXPECT_EQ(c.lockHp - Mon(1).HP, c.lockStruck ? d : 0);
    EXPECT_EQ(Lost(2), c.lockStruck ? 0 : d);
    EXPECT_EQ(G.FloatingTexts[1].X, 29);
    EXPECT_EQ(G.FloatingTexts[1].Y, 29);
    if (!c.lockStruck) {
      EXPECT_EQ(G.LockedMon, 2);  // the aimed monster takes the lock
    }
  }
}

TEST_F(SkillsTest, TheCompanionsLightningDealsItsOwnFixedAmount) {
  G.Spirit.Level = 3;
  G.Player.Mc = G.Player.McMax = 50;
  G.MonsterKinds[1].mf = G.MonsterKinds[1].MfMax = 10;
  PlaceMonster(1, 30, 30);
  AddSkillEffect(11, 30, 30, 0, 1);
  RunAll();
  EXPECT_EQ(Lost(1), 45 - 10);
}

TEST_F(SkillsTest, AStrikeToZeroLeavesTheDeathToTheMonsterUpdate) {
  G.Player.Mp = 2;
  G.Player.Mc = G.Player.McMax = 50;
  PlaceMonster(1, 30, 30, 20);
  AddSkillEffect(11, 30, 30, 0, 0);
  RunAll();
  EXPECT_EQ(Mon(1).HP, 0);
  EXPECT_EQ(Mon(1).WasHit, 0);
}

// ---- corpse alchemy

class AlchemyTest : public itemdb::GameTest {
 protected:
  void SetUp() override {
    itemdb::GameTest::SetUp();
    for (auto& loaded : Gfx.SkillLoaded) loaded = 1;
    std::vector<itemdb::ItemRow> rows;
    for (const char* name : {"魔法药小", "金创药小", "金创药中", "魔法药中", "神水", "酒花玉露", "凝神玉露", "金创药大",
                             "魔法药大", "天仙玉露", "热血之源", "自然之源", "强效金创药", "强效魔法药", "热血震怒",
                             "自然震怒"}) {
      itemdb::ItemRow r;
      r.Name = name;
      r.Type = 5;
      rows.push_back(r);
    }
    UseItems(rows);
    OnPart(1, 60, 60, 28, 28);
    G.MonsterKinds.resize(2);
    G.MonsterKindCount = 1;
    G.Monsters[1].Kind = 1;
  }
  void TearDown() override {
    for (auto& loaded : Gfx.SkillLoaded) loaded = 0;
    itemdb::GameTest::TearDown();
  }
  // The draws in order, then 0.5 for anything the gift itself draws.
  static void Draws(std::vector<double> d) {
    auto queue = std::make_shared<std::vector<double>>(std::move(d));
    plat::SetRandomSource([queue] {
      if (queue->empty()) return 0.5;
      const double u = queue->front();
      queue->erase(queue->begin());
      return u;
    });
  }
};

TEST_F(AlchemyTest, TheCorpsesKindPicksTheBandAndTheRowsAreTriedFromTheTop) {
  struct Case {
    std::int32_t hp;
    int level;
    std::vector<double> draws;  // the success draw, then the rows' tests
    const char* item;           // "" for a failed alchemy
  };
  const std::vector<Case> cases = {
      {99, 1, {0.0, 0.0}, "魔法药小"},
      {99, 1, {0.0, 0.9}, "金创药小"},
      {100, 1, {0.0, 0.0}, "金创药中"},
      {300, 1, {0.0, 0.9, 0.9, 0.9, 0.9}, "凝神玉露"},
      {301, 1, {0.0, 0.0}, "金创药大"},
      {500, 1, {0.0, 0.9, 0.9, 0.0}, "天仙玉露"},
      {501, 1, {0.0, 0.9, 0.9, 0.9}, "自然震怒"},
      {501, 1, {0.149, 0.0}, "强效金创药"},  // 1.49 rounds to 1
      {501, 1, {0.15}, ""},                  // 1.5 rounds to 2, above the level
      {501, 3, {0.349, 0.0}, "强效金创药"},
      {501, 3, {0.35}, ""},  // 3.5 rounds to 4
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.hp << " " << c.item);
    G.SkillEffects = {};
    G.SysMessages = {};
    G.Player.Items[21] = ItemRecord{};
    G.MonsterKinds[1].Hp = c.hp;
    G.Player.M[5] = "s" + std::to_string(c.level);
    G.Player.Mp = 2;
    SetDeadGridAt(30, 30, 1);
    Draws(c.draws);
    AddSkillEffect(5, 30, 30, 0, 0);
    for (int f = 0; f < 29; ++f) RunSkills();
    EXPECT_EQ(Slot(1).Kind, 0);
    EXPECT_EQ(DeadGridAt(30, 30), 0);  // used up either way
    const std::string item = c.item;
    if (item.empty()) {
      EXPECT_EQ(MessageCount(), 0);
      EXPECT_TRUE(G.Player.Items[21].Name.empty());
    } else {
      EXPECT_NE(Message(item + " 练成"), nullptr);
      EXPECT_EQ(G.Player.Items[21].Name, item);
    }
  }
}

TEST_F(AlchemyTest, APotionWithNoRoomAnywhereIsNotAnnounced) {
  for (const bool groundFree : {false, true}) {
    SCOPED_TRACE(groundFree ? "room on the ground" : "no room at all");
    G.SkillEffects = {};
    G.SysMessages = {};
    FillBag(0);
    // Scenery on every cell the ground search could use, around the player on (28, 28).
    for (int x = 18; x <= 38; ++x) {
      for (int y = 18; y <= 38; ++y) SetCellField(1, x, y, 2, groundFree && x == 27 && y == 27 ? "" : "树");
    }
    G.MonsterKinds[1].Hp = 99;
    G.Player.M[5] = "s3";
    G.Player.Mp = 2;
    SetDeadGridAt(30, 30, 1);
    Draws({0.0, 0.0});
    AddSkillEffect(5, 30, 30, 0, 0);
    for (int f = 0; f < 29; ++f) RunSkills();
    EXPECT_EQ(DeadGridAt(30, 30), 0);  // the corpse is used up either way
    EXPECT_EQ(Message("魔法药小 练成") != nullptr, groundFree);
    EXPECT_EQ(ItemGridAt(27, 27) != 0, groundFree);
  }
}

TEST_F(AlchemyTest, AnEmptyCellCostsItsPointsAndGivesNothing) {
  G.Player.Mp = 3;
  Draws({});
  AddSkillEffect(5, 30, 30, 0, 0);
  for (int f = 0; f < 29; ++f) RunSkills();
  EXPECT_EQ(G.Player.Mp, 1);
  EXPECT_EQ(MessageCount(), 0);
}

}  // namespace
