// The player's frame: walking and running, portals, melee swings with their hit and
// on-hit effects, casts, the hit and death animations, regeneration and the potion
// pools, poison, paralysis, invisibility, the cheat locks and picking up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "common/game_state.h"
#include "platform/forms.h"
#include "platform/input.h"
#include "platform/paths.h"
#include "platform/sound.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "world/ground_items.h"
#include "world/player.h"

namespace {

using testsupport::ScriptedDraws;

ItemRecord& Slot(int i) { return G.Player.Items[static_cast<std::size_t>(i)]; }
MonsterInstance& Mon(int n) { return G.Monsters[static_cast<std::size_t>(n)]; }

ItemRecord Item(const std::string& name, int type = 0, int weight = 0) {
  ItemRecord r;
  r.Name = name;
  r.Type = type;
  r.Weight = weight;
  return r;
}

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFolder_ = plat::ProgramFolder();
    plat::SetProgramFolder(dir.path());
    G = GameState{};
    plat::Application::Get().Reset();
    plat::ResetKeyStates();
    ui::BuildMainWindow();
    plat::SetSoundDevice(&sound);

    G.MainMap = 1;
    G.SubMap = 1;
    SetPartSize(1, 60, 60);
    SetPartSize(2, 50, 50);
    G.ViewX = 20;  // the player stands on (28, 28)
    G.ViewY = 20;
    G.DrawColLast = 14;
    G.DrawRowLast = 13;

    PlayerRecord& p = G.Player;
    p.HP = 100;
    p.HpMax = 100;
    p.Mp = 50;
    p.MpMax = 50;
    p.Dc = 10;
    p.DcMax = 20;
    p.McMax = 5;
    p.Acc = 5;
    p.DcSpeed = 5;
    p.Luck = 2;
    p.Level = 10;
    p.Heavy = 100;
    p.ActState = ActionState::Stand;
    p.Direction = DirSouth;
    p.TintR = p.TintG = p.TintB = p.TintA = 255;
    Slot(1) = Item("木剑", 20);
    Slot(1).Pic2 = 2;
    Slot(1).Ex = 4000;

    G.RegenInterval = 8000;
    G.RegenTick = fake.clock.Now();
    G.PotionTick = fake.clock.Now();
  }
  void TearDown() override {
    plat::SetSoundDevice(nullptr);
    plat::ResetKeyStates();
    plat::Application::Get().Reset();
    G = GameState{};
    plat::SetProgramFolder(savedFolder_);
  }

  static void Frames(int n) {
    for (int i = 0; i < n; ++i) UpdatePlayer();
  }
  // The number of sounds played whose file name holds `name`.
  int Count(std::string_view name) const {
    return static_cast<int>(std::count_if(sound.calls.begin(), sound.calls.end(), [&](const std::string& c) {
      return (c.rfind("wave ", 0) == 0 || c.rfind("open ", 0) == 0) && c.find(name) != std::string::npos;
    }));
  }
  static int AddKind(const std::string& name, int nb, int df, int dfMax) {
    MonsterKind k;
    k.MonName = name;
    k.Hp = 100;
    k.Nb = nb;
    k.Df = df;
    k.DfMax = dfMax;
    G.MonsterKinds.push_back(k);
    G.MonsterKindCount = static_cast<std::int32_t>(G.MonsterKinds.size()) - 1;
    return G.MonsterKindCount;
  }
  static void PlaceMonster(int n, int kind, int x, int y, int hp) {
    MonsterInstance& m = Mon(n);
    m.X = x;
    m.Y = y;
    m.Kind = kind;
    m.HP = hp;
    m.State = ActionState::Stand;
    SetGridMonster(x, y, n);
  }
  static const FloatingText* FindText(const std::string& text) {
    for (const FloatingText& t : G.FloatingTexts)
      if (t.Age > 0 && t.Text == text) return &t;
    return nullptr;
  }
  static int CountTexts() {
    return static_cast<int>(
        std::count_if(G.FloatingTexts.begin(), G.FloatingTexts.end(), [](const FloatingText& t) { return t.Age > 0; }));
  }
  static int CountMessages(const std::string& text) {
    return static_cast<int>(std::count_if(G.SysMessages.begin(), G.SysMessages.end(),
                                          [&](const SysMessage& m) { return m.Life > 0 && m.Text == text; }));
  }
  // Left button on view cell (x, y) for one frame, then released.
  static void ClickOnce(int x, int y) {
    G.MouseCellX = x;
    G.MouseCellY = y;
    G.MouseLeftDown = 1;
    UpdatePlayer();
    G.MouseLeftDown = 0;
  }

  testsupport::ScopedFakeClock fake;
  testsupport::TempDir dir;
  plat::RecordingSound sound;
  plat::fs::path savedFolder_;
};

// ---------------------------------------------------------------------------------
// Walking, running and the view

TEST_F(PlayerTest, AWalkTakes24FramesAndScrollsOneCell) {
  G.SoundOn = 1;
  SetCellField(1, 29, 28, 1, "150");  // brick under the next cell
  ClickOnce(8, 7);                    // k = 0: the cell step
  EXPECT_EQ(G.Player.ActState, ActionState::Walk);
  EXPECT_EQ(G.Player.Direction, DirEast);
  EXPECT_EQ(G.ViewX, 21);
  EXPECT_EQ(G.ScrollX, 42);  // 48 less two walking steps
  EXPECT_EQ(G.ScrollY, 0);
  EXPECT_EQ(G.DrawColFirst, -1);
  EXPECT_EQ(G.DrawColLast, 14);
  EXPECT_EQ(G.DrawRowFirst, 0);
  EXPECT_EQ(G.DrawRowLast, 13);
  EXPECT_EQ(G.Player.FrameNo, 32 + 2 * 6 + 1);

  Frames(22);  // k = 1..22
  EXPECT_EQ(G.Player.ActState, ActionState::Walk);
  EXPECT_EQ(G.ScrollX, 0);
  Frames(1);  // k = 23: the step ends
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.Player.ActCounter, 0);
  EXPECT_EQ(G.Player.ActStep, 0);
  EXPECT_EQ(G.Player.FrameNo, 32 + 2 * 6 + 6);
  EXPECT_EQ(G.ViewX, 21);
  EXPECT_EQ(ui::Form1.Iminimap->Left, (2 - 21) * 75);
  EXPECT_EQ(ui::Form1.Iminimap->Top, (2 - 20) * 75);
  EXPECT_EQ(Count("砖地.wav"), 2);  // footsteps at k = 8 and 19
  // The draw range stays until the next step.
  Frames(5);
  EXPECT_EQ(G.DrawColFirst, -1);
}

TEST_F(PlayerTest, ARunTakes18FramesAndTwoCells) {
  G.SoundOn = 1;
  ClickOnce(12, 10);  // south-east, outside the ring
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
  EXPECT_EQ(G.Player.Direction, DirSouthEast);
  EXPECT_EQ(G.ViewX, 21);
  EXPECT_EQ(G.ViewY, 21);
  EXPECT_EQ(G.ScrollX, 45);
  EXPECT_EQ(G.ScrollY, 30);
  EXPECT_EQ(G.DrawColFirst, -1);
  EXPECT_EQ(G.DrawRowFirst, -1);
  Frames(8);  // k = 8: the second cell
  EXPECT_EQ(G.ViewX, 22);
  EXPECT_EQ(G.ViewY, 22);
  Frames(8);  // k = 16
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
  Frames(1);  // k = 17
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.ScrollX, 0);
  EXPECT_EQ(G.ScrollY, 0);
  EXPECT_EQ(G.Player.FrameNo, 80 + 3 * 6 + 6);
  EXPECT_EQ(Count("走.wav"), 2);  // footsteps at k = 5 and 14 on plain ground
  EXPECT_EQ(ui::Form1.Iminimap->Left, (2 - 22) * 75);
}

TEST_F(PlayerTest, KeysRunAndInputWaitsForTheStepToEnd) {
  plat::SetKeyHeld(68, true);  // D
  UpdatePlayer();
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
  // Another key during the run changes nothing.
  plat::SetKeyHeld(68, false);
  plat::SetKeyHeld(83, true);  // S
  Frames(17);
  EXPECT_EQ(G.ViewX, 22);
  EXPECT_EQ(G.ViewY, 20);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  UpdatePlayer();  // standing again: the held S starts a run south
  EXPECT_EQ(G.Player.Direction, DirSouth);
  EXPECT_EQ(G.ViewY, 21);
}

TEST_F(PlayerTest, TheIdleAnimationLoopsEvery39Frames) {
  G.Player.ActCounter = 0;
  G.Player.ActStep = 0;
  Frames(1);
  EXPECT_EQ(G.Player.FrameNo, 4 * 4 + 1);
  Frames(10);  // k = 10
  EXPECT_EQ(G.Player.FrameNo, 4 * 4 + 2);
  Frames(29);  // k = 39
  EXPECT_EQ(G.Player.FrameNo, 4 * 4 + 4);
  EXPECT_EQ(G.Player.ActCounter, 1);
  Frames(1);
  EXPECT_EQ(G.Player.FrameNo, 4 * 4 + 1);
}

TEST_F(PlayerTest, FootstepsFollowTheFloor) {
  const std::pair<const char*, const char*> cases[] = {
      {"16", "草地"}, {"75", "草地"}, {"105", "走"},  {"110", "走"},   {"113", "草地"}, {"150", "砖地"},
      {"165", "沼地"}, {"166", "走"},  {"202", "水地"}, {"216", "水地"}, {"", "走"},     {"xyz", "走"},
  };
  for (const auto& [tile, name] : cases) {
    SetCellField(1, 28, 28, 1, tile);
    sound.calls.clear();
    PlayFootstep();
    ASSERT_EQ(sound.calls.size(), 1u);
    EXPECT_EQ(Count(std::string(name) + ".wav"), 1) << "tile " << tile << ": " << sound.calls[0];
  }
}

// ---------------------------------------------------------------------------------
// Portals

TEST_F(PlayerTest, AStepOntoAPortalMovesThePlayer) {
  SetCellField(1, 29, 28, 4, "010200300040");
  ClickOnce(8, 7);
  Frames(23);
  EXPECT_EQ(G.SubMap, 2);
  EXPECT_EQ(G.ViewX, 30 - 8);
  EXPECT_EQ(G.ViewY, 40 - 8);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.Player.ActCounter, -1);  // the frame's tail is skipped
  EXPECT_EQ(G.ScreenEffects[1].Kind, 10);
}

TEST_F(PlayerTest, ARunTakesAPortalItPassedOverUnlessItEndsOnOne) {
  SetCellField(1, 29, 28, 4, "010200300040");
  ClickOnce(12, 7);
  Frames(16);
  EXPECT_EQ(G.SubMap, 1);  // not in the middle of the run
  Frames(1);
  EXPECT_EQ(G.SubMap, 2);
  EXPECT_EQ(G.ViewX, 22);
  EXPECT_EQ(G.ViewY, 32);

  // Back on part 1 with a portal under the run's end as well: that one is taken.
  G.SubMap = 1;
  G.ViewX = 20;
  G.ViewY = 20;
  SetCellField(1, 30, 28, 4, "010200100012");
  Frames(1);
  ClickOnce(12, 7);
  Frames(17);
  EXPECT_EQ(G.ViewX, 2);
  EXPECT_EQ(G.ViewY, 4);
}

// ---------------------------------------------------------------------------------
// Melee

TEST_F(PlayerTest, ASwingHitsAtItsFifthStepWithTheRulesDamage) {
  G.SoundOn = 1;
  G.AuraLevel = 4;
  G.Player.MaBi = 10;
  const int kind = AddKind("骷髅尸", 2, 3, 5);  // undead
  PlaceMonster(3, kind, 29, 28, 100);
  ScriptedDraws draws({
      0.99, 0.99,  // k = 1: no air slash, no fire sword
      0.0,         // hit: Int(11u) = 0 <= Acc - Nb = 3
      0.2,         // bonus roll: Int(2.2) = 2 < 4
      0.5,         // base: Int(11 x 0.5) + 10 = 15, + Luck 2, + 5 x Luck = 27
      0.5,         // aura: Int(4 x 0.5) = 2
      0.0,         // defence: 0 + 3
      0.05,        // paralysis: Int(5) < 10
      0.5,         // poison: Int(50) < 0 fails
  });
  ClickOnce(8, 7);  // k = 0: the swing starts, step 1
  EXPECT_EQ(G.Player.ActState, ActionState::Attack);
  EXPECT_EQ(G.Player.Direction, DirEast);
  EXPECT_EQ(G.TargetMon, 3);
  EXPECT_EQ(G.TargetTimer, 100);
  EXPECT_EQ(Slot(1).Ex, 4001);
  EXPECT_EQ(G.Player.FrameNo, 128 + 12 + 1);
  Frames(23);  // k = 1..23: steps 2, 3, 4 at 6, 12, 18
  EXPECT_EQ(G.Player.ActStep, 4);
  EXPECT_EQ(Mon(3).HP, 100);
  Frames(1);  // k = 24: the hit
  EXPECT_EQ(G.Player.FrameNo, 128 + 12 + 5);
  EXPECT_EQ(Mon(3).HP, 100 - 28);  // 2 + 27 + weapon level 2 - 3
  EXPECT_EQ(Mon(3).Freeze, 150);
  EXPECT_EQ(Mon(3).State, ActionState::Hit);
  EXPECT_EQ(Mon(3).Poison, 0);
  EXPECT_EQ(G.ScreenEffects[1].Kind, 3);
  EXPECT_EQ(G.ScreenEffects[1].X, 29);
  EXPECT_EQ(G.ScreenEffects[1].Y, 28);
  const FloatingText* t = FindText("28");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->X, 28);  // over view cell (8, 7)
  EXPECT_EQ(t->Y, 27);
  EXPECT_EQ(t->R, 50);
  EXPECT_EQ(t->G, 50);
  EXPECT_EQ(t->B, 255);
  EXPECT_EQ(Count("剑击.wav"), 1);
  Frames(6);  // k = 30: step 6
  EXPECT_EQ(G.Player.ActState, ActionState::Attack);
  Frames(1);  // k = 31 = 56 - 5 x 5: the swing ends
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST_F(PlayerTest, AtFullSpeedTheHitComesAtFourAndTheEndAtSix) {
  G.Player.DcSpeed = 10;
  G.Player.Acc = 0;
  PlaceMonster(3, AddKind("鸡", 10, 0, 0), 29, 28, 100);
  ScriptedDraws draws({0.99, 0.99, 0.5});  // a miss: Int(5.5) = 5 > 0 - 10
  ClickOnce(8, 7);
  Frames(3);  // k = 1..3
  EXPECT_EQ(FindText("MISS"), nullptr);
  Frames(1);  // k = 4
  ASSERT_NE(FindText("MISS"), nullptr);
  EXPECT_EQ(Mon(3).HP, 100);
  EXPECT_EQ(Mon(3).State, ActionState::Stand);
  Frames(1);
  EXPECT_EQ(G.Player.ActState, ActionState::Attack);
  Frames(1);  // k = 6
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST_F(PlayerTest, AttackSpeedOutsideItsRangeKeepsAWorkingSwing) {
  G.Player.DcSpeed = 15;  // a step every frame, the end at 6
  ScriptedDraws fast({0.99, 0.99});
  plat::SetKeyHeld(plat::vk::Shift, true);
  ClickOnce(12, 7);
  plat::SetKeyHeld(plat::vk::Shift, false);
  Frames(6);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);

  G.Player.DcSpeed = -3;  // a step every 14 frames, the end at 71
  ScriptedDraws slow({0.99, 0.99});
  plat::SetKeyHeld(plat::vk::Shift, true);
  ClickOnce(12, 7);
  plat::SetKeyHeld(plat::vk::Shift, false);
  Frames(70);
  EXPECT_EQ(G.Player.ActState, ActionState::Attack);
  Frames(1);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
}

TEST_F(PlayerTest, ShiftSwingsAtNothingWithTheEmptySwingSound) {
  G.SoundOn = 1;
  ScriptedDraws draws({0.99, 0.99});
  plat::SetKeyHeld(plat::vk::Shift, true);
  ClickOnce(12, 7);  // far away: Shift only turns, then swings
  plat::SetKeyHeld(plat::vk::Shift, false);
  EXPECT_EQ(G.Player.ActState, ActionState::Attack);
  EXPECT_EQ(G.Player.Direction, DirEast);
  EXPECT_EQ(G.ViewX, 20);
  Frames(31);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(Count("挥空.wav"), 1);
  EXPECT_EQ(CountTexts(), 0);  // no target, no number
  EXPECT_EQ(Slot(1).Ex, 4001);

  // Bare hands: the bare-hand sound, and an empty weapon slot stays empty.
  Slot(1) = ItemRecord{};
  ScriptedDraws bare({0.99, 0.99});
  plat::SetKeyHeld(plat::vk::Shift, true);
  ClickOnce(12, 7);
  plat::SetKeyHeld(plat::vk::Shift, false);
  Frames(30);
  EXPECT_EQ(Count("徒手.wav"), 1);
  EXPECT_EQ(Slot(1), ItemRecord{});
}

TEST_F(PlayerTest, AHitOfNoDamageStillTakesOne) {
  G.Player.Dc = 1;
  G.Player.DcMax = 1;
  G.Player.Luck = 0;
  Slot(1).Ex = 0;
  PlaceMonster(3, AddKind("铁甲", 0, 50, 50), 29, 28, 100);
  ScriptedDraws draws({0.99, 0.99, 0.0, 0.99, 0.5, 0.5, 0.5, 0.99, 0.99});
  ClickOnce(8, 7);
  Frames(24);
  EXPECT_EQ(Mon(3).HP, 99);
  EXPECT_NE(FindText("1"), nullptr);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST_F(PlayerTest, TheFireSwordAlwaysHitsAndReplacesTheBase) {
  G.SoundOn = 1;
  G.AlwaysFireSword = 1;
  G.Player.Acc = 0;
  G.Player.DcMax = 25;
  G.Player.M[3] = "F12";  // fire sword level 2
  PlaceMonster(3, AddKind("骷髅尸", 10, 3, 3), 29, 28, 100);
  ScriptedDraws draws({
      0.0,   // the air-slash draw is taken but the cheat forbids it
      0.99,  // the fire-sword draw: the cheat arms it anyway
      0.99,  // hit roll: a miss, but the fire sword hits
      0.0,   // bonus roll: would add Luck
      0.99,  // base: replaced by Int(1.3 x 25) = 32
      0.0,   // aura 0
      0.0,   // defence 3
      0.99, 0.99,
  });
  ClickOnce(8, 7);
  Frames(1);
  EXPECT_EQ(G.SkillEffects[1].Kind, 3);
  EXPECT_EQ(G.FireSwordArmed, 1);
  Frames(11);  // k = 12: step 3
  EXPECT_EQ(Count("会心一击.wav"), 1);
  Frames(12);  // k = 24: the hit
  EXPECT_EQ(Mon(3).HP, 100 - (32 + 2 - 3));
  EXPECT_EQ(G.FireSwordArmed, 0);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST_F(PlayerTest, TheAirSlashIsRolledFromItsLevelAndAlwaysHits) {
  G.Player.Acc = 0;
  G.Player.M[2] = "F23";
  PlaceMonster(3, AddKind("鸡", 10, 0, 0), 29, 28, 100);
  ScriptedDraws draws({0.3, 0.99, 0.99, 0.0, 0.0, 0.0, 0.99, 0.99});
  ClickOnce(8, 7);
  Frames(1);  // Int(9 x 0.3) = 2 < 3: armed, and no fire-sword draw
  EXPECT_EQ(G.SkillEffects[1].Kind, 2);
  EXPECT_EQ(G.AirSlashArmed, 1);
  Frames(23);
  EXPECT_EQ(Mon(3).HP, 100 - (10 + 2));  // base Dc 10 + weapon level 2, no defence
  EXPECT_EQ(G.AirSlashArmed, 0);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST_F(PlayerTest, AnArmedShockSlashCostsFourAndLeavesTheDamageToItsEffect) {
  G.ShockSlashOn = 1;
  G.Player.Mp = 10;
  PlaceMonster(3, AddKind("鸡", 0, 0, 0), 29, 28, 100);
  ScriptedDraws none;  // no draw at all
  ClickOnce(8, 7);
  Frames(18);  // k = 18: step 4
  EXPECT_EQ(G.Player.Mp, 6);
  EXPECT_EQ(G.SkillEffects[1].Kind, 4);
  Frames(6);  // k = 24: the hit does nothing itself
  EXPECT_EQ(Mon(3).HP, 100);
  EXPECT_EQ(CountTexts(), 0);
  Frames(7);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.ShockSlashArmed, 0);
  // Below 4 magic points the swing is not armed.
  G.Player.Mp = 3;
  ScriptedDraws rolls({0.99, 0.99});
  plat::SetKeyHeld(plat::vk::Shift, true);
  ClickOnce(12, 7);
  Frames(1);
  EXPECT_EQ(G.ShockSlashArmed, 0);
  EXPECT_EQ(rolls.Left(), 0u);
}

TEST_F(PlayerTest, LifeDrainAndPoisonOnAHit) {
  G.Player.XiHP = 3;
  G.Player.zd = 50;
  G.Player.Luck = 4;
  PlaceMonster(3, AddKind("鸡", 0, 0, 0), 29, 28, 500);
  ScriptedDraws draws({
      0.99, 0.99,              // no skills
      0.0, 0.99, 0.0, 0.0, 0.0,  // hit, no bonus, base 10, no aura, no defence
      0.99,                    // no paralysis
      0.1, 0.5,                // drain: Int(0.6) = 0 < 3; 1 + Int(5 x 0.5) = 3 points
      0.1, 0.5,                // poison: Int(10) < 50; Int(150) + 600 + 200
  });
  ClickOnce(8, 7);
  Frames(24);
  EXPECT_EQ(Mon(3).HP, 500 - 12);
  EXPECT_EQ(G.HpPool, 3);
  EXPECT_EQ(Mon(3).Poison, 950);
  EXPECT_EQ(G.Player.TintR, 255);
  EXPECT_EQ(G.Player.TintG, 100);
  EXPECT_EQ(G.Player.TintB, 100);
  Frames(6);  // the drain tint lasts while the swing does
  EXPECT_EQ(G.Player.TintB, 100);
  Frames(1);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.Player.TintG, 255);
  EXPECT_EQ(G.Player.TintB, 255);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST_F(PlayerTest, AKillingBlowSetsZeroAndRollsNoEffects) {
  G.Player.MaBi = 100;
  G.Player.XiHP = 6;
  G.Player.zd = 100;
  PlaceMonster(3, AddKind("鸡", 0, 0, 0), 29, 28, 5);
  ScriptedDraws draws({0.99, 0.99, 0.0, 0.99, 0.0, 0.0, 0.0});
  ClickOnce(8, 7);
  Frames(24);
  EXPECT_EQ(Mon(3).HP, 0);
  EXPECT_EQ(Mon(3).Freeze, 0);
  EXPECT_EQ(Mon(3).Poison, 0);
  EXPECT_EQ(Mon(3).State, ActionState::Stand);
  EXPECT_EQ(G.HpPool, 0);
  EXPECT_NE(FindText("12"), nullptr);
  EXPECT_EQ(draws.Left(), 0u);
}

TEST_F(PlayerTest, ADeadMonsterIsTargetedButNotSwungAt) {
  PlaceMonster(3, AddKind("鸡", 0, 0, 0), 29, 28, 0);
  plat::SetKeyHeld(plat::vk::Shift, true);
  ClickOnce(8, 7);
  EXPECT_EQ(G.TargetMon, 3);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(Slot(1).Ex, 4000);
}

TEST_F(PlayerTest, AMonsterBelowThePointedCellIsTheTarget) {
  PlaceMonster(4, AddKind("鸡", 0, 0, 0), 27, 28, 50);  // west of the player
  ClickOnce(6, 6);  // the pointer is one row above it
  EXPECT_EQ(G.TargetMon, 4);
  EXPECT_EQ(G.Player.Direction, DirWest);
  EXPECT_EQ(G.Player.ActState, ActionState::Attack);
  // Outside the block of columns 6..8 and rows 5..8 nothing is targeted.
  G = GameState{};
  G.SubMap = 1;
  SetPartSize(1, 60, 60);
  G.ViewX = 20;
  G.ViewY = 20;
  G.Player.HP = 10;
  G.Player.HpMax = 10;
  G.RegenInterval = 8000;
  G.RegenTick = G.PotionTick = fake.clock.Now();
  PlaceMonster(4, AddKind("鸡", 0, 0, 0), 27, 30, 50);
  ClickOnce(6, 9);
  EXPECT_EQ(G.TargetMon, 0);
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
}

TEST_F(PlayerTest, ALightningWeaponStrikesTheCellAhead) {
  G.WeaponNo = 47;
  ScriptedDraws draws({0.99, 0.99});
  plat::SetKeyHeld(plat::vk::Shift, true);
  ClickOnce(7, 12);  // south
  Frames(24);
  EXPECT_EQ(G.SkillEffects[1].Kind, 11);
  EXPECT_EQ(G.SkillEffects[1].X, 28);
  EXPECT_EQ(G.SkillEffects[1].Y, 29);
  EXPECT_EQ(G.SkillEffects[1].P1, 2);
}

TEST_F(PlayerTest, ASwingEndsInvisibility) {
  G.Player.InvisTime = 500;
  ScriptedDraws draws({0.99, 0.99});
  plat::SetKeyHeld(plat::vk::Shift, true);
  ClickOnce(12, 7);
  EXPECT_EQ(G.Player.InvisTime, 0);
  Frames(1);
  EXPECT_EQ(G.Player.TintA, 255);
}

// ---------------------------------------------------------------------------------
// Casting

TEST_F(PlayerTest, ACastNeedsTheButtonASpellMagicAndItsSpacing) {
  G.Player.NowMc = 11;
  G.MouseCellX = 10;
  G.MouseCellY = 3;
  G.MouseRightDown = 1;
  G.Player.LastCastTick = fake.clock.Now() - 1500;
  UpdatePlayer();
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  G.Player.McMax = 0;  // transformed
  fake.clock.Advance(1);
  UpdatePlayer();
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  G.Player.McMax = 5;
  G.Player.NowMc = 0;
  UpdatePlayer();
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  G.Player.NowMc = 11;
  G.MouseLeftDown = 1;  // both buttons: the right one casts
  UpdatePlayer();
  EXPECT_EQ(G.Player.ActState, ActionState::Magic);
  EXPECT_EQ(G.Player.Direction, DirNorthEast);
  EXPECT_EQ(G.CastX, 31);
  EXPECT_EQ(G.CastY, 24);
  EXPECT_EQ(G.Player.LastCastTick, fake.clock.Now());
  EXPECT_EQ(G.Player.ActCounter, 2);
  EXPECT_EQ(G.Player.FrameNo, 177 + 6);
  EXPECT_EQ(Slot(1).Ex, 4001);
}

TEST_F(PlayerTest, TheSpellStartsAtTheThirdStepAndTheCastEndsAt23) {
  G.Player.NowMc = 11;
  G.MouseCellX = 10;
  G.MouseCellY = 3;
  G.MouseRightDown = 1;
  UpdatePlayer();  // k = 1
  G.MouseRightDown = 0;
  Frames(6);  // k = 7
  EXPECT_EQ(G.SkillEffects[1].Kind, 0);
  Frames(1);  // k = 8
  EXPECT_EQ(G.SkillEffects[1].Kind, 11);
  EXPECT_EQ(G.SkillEffects[1].X, 31);
  EXPECT_EQ(G.SkillEffects[1].Y, 24);
  EXPECT_EQ(G.SkillEffects[1].P1, 0);
  Frames(14);  // k = 22
  EXPECT_EQ(G.Player.ActState, ActionState::Magic);
  Frames(1);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.SkillEffects[2].Kind, 0);  // one effect per cast
}

TEST_F(PlayerTest, EachSpellAddsItsEffect) {
  struct Case {
    int mc, kind, x, y, p2, p1;
  };
  const Case cases[] = {
      {5, 5, 31, 24, 0, 0},  {7, 7, 0, 0, 0, 0},   {8, 8, 0, 0, 0, 0},   {10, 10, 0, 0, 0, 0},
      {12, 12, 28, 28, 1, 4}, {13, 13, 31, 24, 0, 0}, {14, 14, 28, 28, 1, 5}, {15, 15, 0, 0, 0, 20},
      {1, 0, 0, 0, 0, 0},    {6, 0, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    G.SkillEffects = {};
    G.Player.NowMc = c.mc;
    G.Player.LastCastTick = 0;
    G.MouseCellX = 10;
    G.MouseCellY = 3;
    G.MouseRightDown = 1;
    UpdatePlayer();
    G.MouseRightDown = 0;
    Frames(22);
    ASSERT_EQ(G.Player.ActState, ActionState::Stand) << c.mc;
    EXPECT_EQ(G.SkillEffects[1].Kind, c.kind) << c.mc;
    EXPECT_EQ(G.SkillEffects[1].X, c.x) << c.mc;
    EXPECT_EQ(G.SkillEffects[1].Y, c.y) << c.mc;
    EXPECT_EQ(G.SkillEffects[1].P2, c.p2) << c.mc;
    EXPECT_EQ(G.SkillEffects[1].P1, c.p1) << c.mc;
  }
}

TEST_F(PlayerTest, TheShockSlashSpellSwitchesOnAndOff) {
  G.Player.NowMc = 4;
  for (const char* expected : {"震气斩开启", "震气斩关闭"}) {
    G.Player.LastCastTick = 0;
    G.MouseRightDown = 1;
    UpdatePlayer();
    G.MouseRightDown = 0;
    Frames(22);
    EXPECT_EQ(CountMessages(expected), 1);
  }
  EXPECT_EQ(G.ShockSlashOn, 0);
  EXPECT_EQ(G.SysMessages[1].R, 255);
  EXPECT_EQ(G.SysMessages[1].G, 255);
  EXPECT_EQ(G.SysMessages[1].B, 0);
}

TEST_F(PlayerTest, ACastAimsAtAMonsterBelowThePointerAndLocksIt) {
  G.Player.NowMc = 11;
  G.MagicLock = 1;
  PlaceMonster(9, AddKind("鸡", 0, 0, 0), 31, 25, 40);
  G.MouseCellX = 10;
  G.MouseCellY = 3;
  G.MouseRightDown = 1;
  UpdatePlayer();
  EXPECT_EQ(G.CastX, 31);
  EXPECT_EQ(G.CastY, 25);
  EXPECT_EQ(G.LockedMon, 9);
}

TEST_F(PlayerTest, ALockedMonsterIsFollowedWhileInViewAndDroppedOtherwise) {
  G.Player.NowMc = 13;
  G.MagicLock = 1;
  G.LockedMon = 9;
  PlaceMonster(9, AddKind("鸡", 0, 0, 0), 35, 30, 40);
  G.MouseCellX = 1;
  G.MouseCellY = 1;
  G.MouseRightDown = 1;
  UpdatePlayer();
  EXPECT_EQ(G.CastX, 35);
  EXPECT_EQ(G.CastY, 30);
  EXPECT_EQ(G.LockedMon, 9);

  Frames(22);
  Mon(9).X = 36;  // one column past the view's right edge
  fake.clock.Advance(2000);
  UpdatePlayer();
  EXPECT_EQ(G.LockedMon, 0);
  EXPECT_EQ(G.CastX, 22);
  EXPECT_EQ(G.CastY, 22);
}

TEST_F(PlayerTest, OnlyAWeaponThatHasExperienceGainsItByCasting) {
  G.Player.NowMc = 7;
  Slot(1).Ex = 0;
  G.MouseRightDown = 1;
  UpdatePlayer();
  EXPECT_EQ(Slot(1).Ex, 0);
  Frames(22);
  Slot(1).Ex = 10000;
  fake.clock.Advance(2000);
  UpdatePlayer();
  EXPECT_EQ(G.Player.ActState, ActionState::Magic);
  EXPECT_EQ(Slot(1).Ex, 10000);
}

// ---------------------------------------------------------------------------------
// Hit and death

TEST_F(PlayerTest, TheHitAnimationLastsNineFrames) {
  G.SoundOn = 1;
  G.Player.Direction = DirWest;
  G.Player.ActState = ActionState::Hit;  // as a monster's strike sets it
  G.Player.ActCounter = 0;
  Frames(2);  // k = 0, 1
  EXPECT_EQ(G.Player.FrameNo, 225 + 6 * 3);
  EXPECT_EQ(Count("被攻击.wav"), 1);
  Frames(7);  // k = 8
  EXPECT_EQ(G.Player.FrameNo, 224 + 6 * 3 + 3);
  EXPECT_EQ(G.Player.ActState, ActionState::Hit);
  Frames(1);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
}

TEST_F(PlayerTest, DeathOpensTheDeathPanelAndMayDropBagItems) {
  ui::Form1.Psys1->Visible = true;
  ui::Form1.Psys2->Visible = true;
  G.Player.Ex = 201;  // above Int(10 x 10 x 8 x 0.25) = 200
  G.Player.HP = 0;
  G.Player.Direction = DirNorth;
  Slot(21) = Item("金创药小", 2);
  Slot(22) = Item("任务信", 99);  // never dropped, never rolled
  Slot(23) = Item("铁剑", 20);
  ScriptedDraws draws({0.0, 0.5});  // slot 21 falls (Int(0) = 0), slot 23 stays
  UpdatePlayer();
  EXPECT_EQ(draws.Left(), 0u);
  EXPECT_EQ(G.Player.ActState, ActionState::Dying);
  EXPECT_EQ(G.Player.ActCounter, 1);
  EXPECT_TRUE(Slot(21).Name.empty());
  EXPECT_EQ(Slot(22).Name, "任务信");
  EXPECT_EQ(Slot(23).Name, "铁剑");
  EXPECT_EQ(G.GroundItemCount, 1);
  EXPECT_EQ(G.GroundItems[1].Name, "金创药小");
  EXPECT_EQ(CountMessages("你死了！"), 1);
  EXPECT_EQ(G.SysMessages[1].R, 255);
  EXPECT_EQ(G.SysMessages[1].G, 255);
  EXPECT_EQ(G.SysMessages[1].B, 0);
  EXPECT_FALSE(ui::Form1.Psys1->Visible);
  EXPECT_FALSE(ui::Form1.Psys2->Visible);
  EXPECT_TRUE(ui::Form1.PDead->Visible);
  EXPECT_TRUE(ui::Form1.Label11->Visible);
  EXPECT_EQ(G.ShowAllItemNames, 1);

  G.ScrollX = 30;
  ui::Form1.Psys2->Visible = true;
  UpdatePlayer();  // k = 1
  EXPECT_EQ(G.Player.FrameNo, 249);
  EXPECT_EQ(G.FlashMode, 3);
  EXPECT_EQ(G.FlashB, 255);
  EXPECT_EQ(G.FlashR, 0);
  EXPECT_EQ(G.FlashAlpha, 80);
  EXPECT_EQ(G.ScrollX, 0);
  EXPECT_FALSE(ui::Form1.Psys2->Visible);
  Frames(13);  // k = 14
  EXPECT_EQ(G.Player.ActState, ActionState::Dying);
  EXPECT_EQ(G.Player.FrameNo, 252);
  Frames(1);  // k = 15
  EXPECT_EQ(G.Player.ActState, ActionState::Dead);
  const std::int32_t counter = G.Player.ActCounter;
  Frames(50);  // nothing runs until a revival
  EXPECT_EQ(G.Player.ActState, ActionState::Dead);
  EXPECT_EQ(G.Player.ActCounter, counter);
  EXPECT_EQ(CountMessages("你死了！"), 1);
  EXPECT_EQ(G.FlashMode, 3);
}

TEST_F(PlayerTest, ReviveHereIsOfferedOnlyAboveAQuarterOfTheLoss) {
  ui::Form1.Label11->Visible = true;
  G.Player.Ex = 200;
  G.Player.HP = 0;
  UpdatePlayer();
  EXPECT_TRUE(ui::Form1.PDead->Visible);
  EXPECT_FALSE(ui::Form1.Label11->Visible);
}

TEST_F(PlayerTest, TheCheatLocksKeepPointsFullButDoNotRevive) {
  G.HpLock = 1;
  G.MpLock = 1;
  G.Player.HP = 10;
  G.Player.Mp = 0;
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 100);
  EXPECT_EQ(G.Player.Mp, 50);
  G.Player.HP = 0;
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 0);
  EXPECT_EQ(G.Player.ActState, ActionState::Dying);
}

// ---------------------------------------------------------------------------------
// Upkeep

TEST_F(PlayerTest, RegenerationComesAfterItsInterval) {
  G.RegenInterval = 5000;
  G.Player.HP = 90;
  G.Player.Mp = 50;  // full
  fake.clock.Advance(5000);
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 90);
  fake.clock.Advance(1);
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 91);
  EXPECT_EQ(G.Player.Mp, 50);
  const FloatingText* t = FindText("1");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->X, 27);
  EXPECT_EQ(t->Y, 27);
  EXPECT_EQ(t->R, 255);
  EXPECT_EQ(t->G, 255);
  EXPECT_EQ(t->B, 255);
  EXPECT_EQ(G.RegenTick, fake.clock.Now());
  // The next one counts from this tick.
  fake.clock.Advance(5000);
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 91);
}

TEST_F(PlayerTest, RegenerationAtFullHealthShowsNothing) {
  G.RegenInterval = 3500;
  fake.clock.Advance(3501);
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 100);
  EXPECT_EQ(CountTexts(), 0);
  // A dead character does not regenerate.
  G = GameState{};
  G.Player.HpMax = 10;
  G.Player.ActState = ActionState::Dead;
  fake.clock.Advance(10000);
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 0);
}

TEST_F(PlayerTest, PoolsPourOnePointPerTick) {
  G.Player.HP = 97;
  G.Player.Mp = 49;
  G.HpPool = 5;
  G.MpPool = 4;
  fake.clock.Advance(31);
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 97);
  fake.clock.Advance(1);
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 98);
  EXPECT_EQ(G.HpPool, 4);
  EXPECT_EQ(G.Player.Mp, 50);
  EXPECT_EQ(G.MpPool, 3);
  for (int i = 0; i < 2; ++i) {
    fake.clock.Advance(32);
    UpdatePlayer();
  }
  EXPECT_EQ(G.Player.HP, 100);
  EXPECT_EQ(G.HpPool, 2);
  EXPECT_EQ(G.MpPool, 0);  // full: the rest is dropped at the next tick
  fake.clock.Advance(32);
  UpdatePlayer();
  EXPECT_EQ(G.HpPool, 0);
  EXPECT_EQ(G.Player.HP, 100);
}

TEST_F(PlayerTest, PoolsNeverOverflow) {
  AddHpPool(std::numeric_limits<std::int32_t>::max());
  AddHpPool(std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(G.HpPool, std::numeric_limits<std::int32_t>::max());
  AddMpPool(-5);
  EXPECT_EQ(G.MpPool, 0);
  // A life-draining hit on a full pool keeps it at the top.
  G.Player.XiHP = 6;
  G.Player.Luck = 1000;
  PlaceMonster(3, AddKind("鸡", 0, 0, 0), 29, 28, 500);
  ScriptedDraws draws({0.99, 0.99, 0.0, 0.99, 0.0, 0.0, 0.0, 0.99, 0.0, 0.99, 0.99});
  ClickOnce(8, 7);
  Frames(24);
  EXPECT_EQ(G.HpPool, std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(draws.Left(), 0u);
}

TEST_F(PlayerTest, PoisonCountsDownTintsAndHurtsEverySixtyFrames) {
  G.Player.HP = 50;
  G.Player.PoisonTime = 3;
  UpdatePlayer();
  EXPECT_EQ(G.Player.PoisonTime, 2);
  EXPECT_EQ(G.Player.TintR, 50);
  EXPECT_EQ(G.Player.TintG, 255);
  EXPECT_EQ(G.Player.TintB, 50);
  EXPECT_EQ(G.FlashMode, 2);
  EXPECT_EQ(G.FlashG, 255);
  EXPECT_EQ(G.Player.HP, 50);
  ScriptedDraws draws({0.2});  // 10u = 2 < 5: one point
  Frames(2);                   // reaches 0: a multiple of 60
  EXPECT_EQ(G.Player.HP, 49);
  const FloatingText* t = FindText("1");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->R, 255);
  EXPECT_EQ(t->G, 255);
  EXPECT_EQ(t->B, 0);
  EXPECT_EQ(G.Player.TintG, 255);  // healthy again
  EXPECT_EQ(G.Player.TintR, 255);
  UpdatePlayer();
  EXPECT_EQ(G.FlashMode, 0);
  EXPECT_EQ(draws.Left(), 0u);

  // Two points: 10u = 5 fails the first test, 10u = 5.9 passes the second.
  G.Player.PoisonTime = 121;
  ScriptedDraws two({0.5, 0.59});
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 47);
  EXPECT_EQ(G.Player.PoisonTime, 120);
}

TEST_F(PlayerTest, APoisonTickThatTakesTheLastPointsKillsInTheSameFrame) {
  G.Player.HP = 2;
  G.Player.PoisonTime = 61;
  ScriptedDraws draws({0.9, 0.9});  // three points
  UpdatePlayer();
  EXPECT_EQ(G.Player.HP, 0);
  EXPECT_NE(FindText("3"), nullptr);
  EXPECT_EQ(G.Player.ActState, ActionState::Dying);
  EXPECT_EQ(CountMessages("你死了！"), 1);
}

TEST_F(PlayerTest, LowHealthFlashesRed) {
  G.Player.HP = 10;  // below 11 of 100
  UpdatePlayer();
  EXPECT_EQ(G.FlashMode, 1);
  EXPECT_EQ(G.FlashR, 255);
  EXPECT_EQ(G.FlashG, 0);
  G.Player.HP = 11;
  UpdatePlayer();
  EXPECT_EQ(G.FlashMode, 0);
}

TEST_F(PlayerTest, ParalysisFreezesThePlayer) {
  G.Player.MBSP = 2;
  G.Player.ActCounter = 5;
  G.MouseCellX = 12;
  G.MouseCellY = 7;
  G.MouseLeftDown = 1;
  UpdatePlayer();
  EXPECT_EQ(G.Player.MBSP, 1);
  EXPECT_EQ(G.Player.TintR, 90);
  EXPECT_EQ(G.Player.TintG, 90);
  EXPECT_EQ(G.Player.TintB, 90);
  EXPECT_EQ(G.FlashMode, 0);  // no poison, no flash
  EXPECT_EQ(G.Player.ActCounter, 5);
  EXPECT_EQ(G.Player.ActState, ActionState::Stand);
  EXPECT_EQ(G.ViewX, 20);
  UpdatePlayer();
  EXPECT_EQ(G.Player.MBSP, 0);
  EXPECT_EQ(G.Player.ActCounter, 5);
  UpdatePlayer();  // free again: the held button runs
  EXPECT_EQ(G.Player.TintR, 255);
  EXPECT_EQ(G.Player.ActState, ActionState::Run);
  // Paralysed and poisoned: the grey tint wins, the poison still counts.
  G.Player.MBSP = 1;
  G.Player.PoisonTime = 10;
  UpdatePlayer();
  EXPECT_EQ(G.Player.TintG, 90);
  EXPECT_EQ(G.Player.PoisonTime, 9);
}

TEST_F(PlayerTest, InvisibilityCountsDownWithAFadedSprite) {
  G.Player.InvisTime = 2;
  UpdatePlayer();
  EXPECT_EQ(G.Player.TintA, 100);
  UpdatePlayer();
  EXPECT_EQ(G.Player.InvisTime, 0);
  EXPECT_EQ(G.Player.TintA, 100);
  UpdatePlayer();
  EXPECT_EQ(G.Player.TintA, 255);
}

// ---------------------------------------------------------------------------------
// Picking up

TEST_F(PlayerTest, GoldIsPickedUpEvenWithAFullBag) {
  for (int s = 21; s <= 56; ++s) Slot(s) = Item("石");
  AddGroundItem(28, 28, Item("金币50"));
  G.Player.Money = 7;
  G.AutoPickUp = 1;
  UpdatePlayer();
  EXPECT_EQ(G.Player.Money, 57);
  EXPECT_EQ(G.GroundItemCount, 0);
  EXPECT_EQ(ItemGridAt(28, 28), 0);
  EXPECT_EQ(CountMessages("金币50"), 1);
  EXPECT_EQ(G.SysMessages[1].G, 255);
  EXPECT_EQ(Count("钱.wav"), 1);  // the coins ring with the sound off

  // Anything else stays on the ground, without a word.
  AddGroundItem(28, 28, Item("铁剑", 20));
  UpdatePlayer();
  EXPECT_EQ(G.GroundItemCount, 1);
  EXPECT_EQ(CountMessages("铁剑"), 0);
}

TEST_F(PlayerTest, AnItemTooHeavyIsLeftWhereItLies) {
  G.Player.Heavy = 10;
  Slot(21) = Item("石", 0, 4);
  AddGroundItem(28, 28, Item("铁甲", 12, 7));
  G.AutoPickUp = 1;
  UpdatePlayer();
  EXPECT_EQ(G.GroundItemCount, 1);
  Slot(21).Weight = 3;  // exactly fits now
  G.SoundOn = 1;
  UpdatePlayer();
  EXPECT_EQ(G.GroundItemCount, 0);
  EXPECT_EQ(Slot(22).Name, "铁甲");
  EXPECT_EQ(Slot(22).X, 0);
  EXPECT_EQ(Count("衣服.wav"), 1);
  EXPECT_EQ(CountMessages("铁甲"), 1);
}

TEST_F(PlayerTest, AClickOnThePlayersOwnCellPicksUp) {
  AddGroundItem(28, 28, Item("铁剑", 20));
  G.SoundOn = 1;
  G.MouseCellX = 7;
  G.MouseCellY = 6;
  G.MouseLeftDown = 1;
  UpdatePlayer();  // the pointer elsewhere: a walk north, nothing taken
  EXPECT_EQ(G.GroundItemCount, 1);
  EXPECT_EQ(G.Player.ActState, ActionState::Walk);
  Frames(23);
  G.ViewY = 20;  // back onto the item
  ClickOnce(7, 7);
  EXPECT_EQ(G.GroundItemCount, 0);
  EXPECT_EQ(Slot(21).Name, "铁剑");
  EXPECT_EQ(Count("武器.wav"), 1);
}

}  // namespace
