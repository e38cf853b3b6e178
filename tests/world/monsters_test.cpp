// Monsters: the upkeep and the actions of the frame's scan, the strikes on the player,
// the fall of a dead monster and its drops laid around the body.
#include "world/monsters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "item_db.h"
#include "world/ground_items.h"
#include "world/monster_death.h"

namespace {

using itemdb::kHit;
using itemdb::kMiss;
using S = ActionState;
using M = MonsterInstance;

constexpr int W = 1;  // a wolf: 50 HP, strikes 10, sight 3
constexpr int A = 2;  // an archer: 300 HP, shoots 10, sight 5, screen effect 4
constexpr int kAny = -99;

MonsterKind& Kind(int k) { return G.MonsterKinds[static_cast<std::size_t>(k)]; }

class MonstersTest : public itemdb::GameTest {
 protected:
  void SetUp() override {
    GameTest::SetUp();
    Fresh();
  }
  // A fresh state: the player on (10, 10) of a 60 x 60 part, a wolf kind and an archer.
  void Fresh() {
    G = GameState{};
    OnPart(1, 60, 60, 10, 10);  // the view origin is (2, 2): offset -1 is the first column
    G.Player.HP = G.Player.HpMax = 100;
    G.Player.Level = 1;
    for (auto& m : G.Player.M) m = "??0";
    MonsterKind wolf;
    wolf.Wav = "狼";
    wolf.Hp = 50;
    wolf.Dc = wolf.DcMax = 10;
    wolf.Eye = 3;
    wolf.DcSpeed = wolf.StepSpeed = 2;
    wolf.DcSleep = 10;
    wolf.R = 200;
    MonsterKind archer = wolf;
    archer.Hp = 300;
    archer.Eye = 5;
    archer.ActType = 4;
    G.MonsterKinds = {MonsterKind{}, wolf, archer};
    G.MonsterKindCount = 2;
  }

  // Monster n of kind k at offset (i, j) of the view origin, seen the player just now.
  M& Put(int n, int k, int i, int j, S state, int tick, int dir = DirWest) {
    M& m = G.Monsters[static_cast<std::size_t>(n)];
    m = M{};
    m.X = G.ViewX + i;
    m.Y = G.ViewY + j;
    m.Kind = k;
    m.HP = Kind(k).Hp;
    m.State = state;
    m.Tick = tick;
    m.Direction = dir;
    m.LastTick = clock.clock.Now();
    SetGridMonster(m.X, m.Y, n);
    return m;
  }
  void Frames(int n) {
    for (int f = 0; f < n; ++f) UpdateMonsters();
  }
  void Script(const std::vector<double>& us) {
    for (double u : us) draws.Push(u);
  }
  bool Played(const std::string& file) const {
    return std::any_of(sound.calls.begin(), sound.calls.end(),
                       [&](const std::string& c) { return c.find(file) != std::string::npos; });
  }
  static std::string Text() { return G.FloatingTexts[1].Age > 0 ? G.FloatingTexts[1].Text : "-"; }

  testsupport::ScopedFakeClock clock;
  testsupport::ScriptedDraws draws;
};

// One monster run some frames from a given state: what it becomes.
TEST_F(MonstersTest, TheUpkeepAndTheActionStates) {
  struct Row {
    const char* what;
    int kind, i, j;
    S state;
    int tick, dir;
    std::vector<double> draws;
    int frames;
    S wantState;
    int wantDir, wantTick, wantHp, wantDx;
    void (*setup)(M&) = nullptr;
  };
  const Row rows[] = {
      {"wander: a turn", W, 0, 0, S::Stand, 0, 6, {0.35, 0.9}, 1, S::Stand, 7, 1, 50, 0},
      {"wander: a step", W, 0, 0, S::Stand, 0, 6, {0.65}, 1, S::Move, 6, 1, 50, -1},
      {"sight at tick 20, then a step", W, 11, 8, S::Stand, 19, 0, {}, 1, S::Move, 6, 0, 50, 0},
      {"out of sight", W, 12, 8, S::Stand, 19, 0, {}, 1, S::Stand, 0, 20, 50, 0},
      {"invisible player", W, 11, 8, S::Stand, 19, 0, {}, 1, S::Stand, 0, 20, 50, 0,
       [](M&) { G.Player.InvisTime = 9; }},
      {"archer shoots on sight", A, 13, 8, S::Stand, 0, 0, {}, 1, S::Attack, 0, 1, 300, 0},
      {"chase: faces from the east", W, 9, 7, S::Chase, 3, 0, {}, 1, S::Attack, 5, 0, 50, 0},
      {"chase: faces from the south-west", W, 7, 9, S::Chase, 3, 0, {}, 1, S::Attack, 1, 0, 50, 0},
      {"chase: faces from beside", W, 9, 8, S::Chase, 3, 0, {}, 1, S::Attack, 6, 0, 50, 0},
      {"chase: faces from below", W, 8, 9, S::Chase, 3, 2, {}, 1, S::Attack, 0, 0, 50, 0},
      {"chase: steps south-west", W, 12, 3, S::Chase, 3, 0, {}, 1, S::Move, 5, 0, 50, 0},
      {"chase: steps east", W, 2, 8, S::Chase, 3, 0, {}, 1, S::Move, 2, 0, 50, 0},
      {"give up after 40 s, HP capped", W, 15, 8, S::Chase, 3, 0, {}, 1, S::Stand, 0, 4, 50, 0,
       [](M& m) { m.LastTick -= 40001, m.HP = 10; }},
      {"give up: 100 HP back", A, 15, 8, S::Chase, 3, 0, {}, 1, S::Stand, 0, 4, 110, 0,
       [](M& m) { m.LastTick -= 40001, m.HP = 10; }},
      {"40 s exactly: still after them", W, 15, 8, S::Chase, 3, 0, {}, 1, S::Move, 6, 0, 10, 0,
       [](M& m) { m.LastTick -= 40000, m.HP = 10; }},
      {"blocked by a wall: d - 1", W, 4, 4, S::Move, 0, 6, {0.5, 0.9}, 1, S::Move, 5, 0, 50, 0,
       [](M& m) { SetGridBlocked(m.X - 1, m.Y); }},
      {"blocked by the edge", W, -1, 8, S::Move, 0, 6, {0.1, 0.1}, 1, S::Move, 7, 0, 50, 0},
      {"rest ends in a chase", W, 0, 0, S::Rest, 10, 2, {0.2}, 1, S::Chase, 2, 0, 50, 0},
      {"rest ends in a step", W, 0, 0, S::Rest, 10, 2, {0.19}, 1, S::Move, 2, 0, 50, 0},
      {"a rest of 1 lasts two frames", W, 0, 0, S::Rest, 0, 2, {}, 1, S::Rest, 2, 1, 50, 0,
       [](M& m) { Kind(m.Kind).DcSleep = 1; }},
      {"a rest of 0 lasts one frame", W, 0, 0, S::Rest, 0, 2, {0.2}, 1, S::Chase, 2, 0, 50, 0,
       [](M& m) { Kind(m.Kind).DcSleep = 0; }},
      {"hit while standing", W, 0, 0, S::Stand, 5, 4, {}, 1, S::Hit, 4, 1, 50, 0, [](M& m) { m.WasHit = 1; }},
      {"hit while swinging", W, 0, 0, S::Attack, 0, 4, {}, 1, S::Attack, 4, 1, 50, 0,
       [](M& m) { m.WasHit = 1; }},
      {"a reel ends in a chase", W, 0, 0, S::Hit, 11, 4, {}, 1, S::Chase, 4, 0, 50, 0},
      {"reels on while the player hides", W, 0, 0, S::Hit, 11, 4, {}, 1, S::Hit, 4, 0, 50, 0,
       [](M&) { G.Player.InvisTime = 9; }},
      {"frozen: sees nothing", W, 10, 8, S::Stand, 0, 0, {}, 3, S::Stand, 0, 3, 50, 0,
       [](M& m) { m.Freeze = 3; }},
      {"frozen: a step is finished", W, 4, 4, S::Move, 0, 6, {}, 11, S::Chase, 6, 0, 50, -1,
       [](M& m) { m.Freeze = 50; }},
      {"step speed below 1 acts as 1", W, 4, 4, S::Move, 0, 6, {}, 5, S::Chase, 6, 0, 50, -1,
       [](M& m) { Kind(m.Kind).StepSpeed = 0; }},
      {"poison: 1", W, 0, 0, S::Stand, 5, 0, {0.1}, 1, S::Stand, 0, 6, 49, 0, [](M& m) { m.Poison = 61; }},
      {"poison: 3", W, 0, 0, S::Stand, 5, 0, {0.5, 0.5, 0.3}, 1, S::Stand, 0, 6, 47, 0,
       [](M& m) { m.Poison = 61; }},
      {"poison: 6", W, 0, 0, S::Stand, 5, 0, {0.5, 0.5, 0.5, 0.5, 0.5}, 1, S::Stand, 0, 6, 44, 0,
       [](M& m) { m.Poison = 61; }},
      {"poison: its last frame hurts", W, 0, 0, S::Stand, 5, 0, {0.1}, 1, S::Stand, 0, 6, 49, 0,
       [](M& m) { m.Poison = 1; }},
      {"poison: between its blows", W, 0, 0, S::Stand, 5, 0, {}, 1, S::Stand, 0, 6, 50, 0,
       [](M& m) { m.Poison = 30; }},
      {"cold wind", W, 15, 17, S::Stand, 9, 0, {}, 1, S::Stand, 0, 10, 35, 0,
       [](M&) { G.ColdWindActive = 1; }},
      {"cold wind: right of its reach", W, 16, 5, S::Stand, 9, 0, {}, 1, S::Stand, 0, 10, 50, 0,
       [](M&) { G.ColdWindActive = 1; }},
      {"cold wind: off its tick", W, 0, 0, S::Stand, 8, 0, {}, 1, S::Stand, 0, 9, 50, 0,
       [](M&) { G.ColdWindActive = 1; }},
      {"struck to nothing: it dies", W, 9, 8, S::Stand, 5, 6, {}, 1, S::Dying, 6, 1, 0, 0,
       [](M& m) { m.HP = 0; }},
      {"a step is finished before death", W, 4, 4, S::Move, 0, 6, {}, 12, S::Dying, 6, 1, 0, -1,
       [](M& m) { m.HP = 0; }},
  };
  for (const Row& r : rows) {
    Fresh();
    G.Player.M[10] = "F23";  // cold wind at level 3: 15 a blow
    M& m = Put(1, r.kind, r.i, r.j, r.state, r.tick, r.dir);
    if (r.setup) r.setup(m);
    Script(r.draws);
    Frames(r.frames);
    EXPECT_EQ(draws.Left(), 0u) << r.what;
    EXPECT_EQ(m.State, r.wantState) << r.what;
    EXPECT_EQ(m.Direction, r.wantDir) << r.what;
    EXPECT_EQ(m.Tick, r.wantTick) << r.what;
    EXPECT_EQ(m.HP, r.wantHp) << r.what;
    EXPECT_EQ(m.X, G.ViewX + r.i + r.wantDx) << r.what;
    EXPECT_EQ(GridMonster(m.X, m.Y), 1) << r.what;
    if (m.Poison > 0) {
      EXPECT_EQ(m.G, 255) << r.what;  // poisoned monsters look green
    }
  }
}

TEST_F(MonstersTest, AStepMovesTheCellAtOnceAndTheSpriteAfterIt) {
  M& m = Put(1, W, 4, 4, S::Move, 0, DirWest);
  m.LastTick = 0;  // it never saw the player
  const int want[][3] = {{1, 42, 69}, {2, 36, 70}, {3, 36, 70}, {4, 30, 71}, {8, 18, 73}, {10, 6, 74}};
  for (int tick = 0; const auto& w : want) {
    Frames(w[0] - tick);
    tick = w[0];
    EXPECT_EQ(m.PixelX, w[1]) << tick;
    EXPECT_EQ(m.Frame, w[2]) << tick;
  }
  EXPECT_EQ(GridCode(G.ViewX + 4, G.ViewY + 4), kGridFree);
  Frames(2);  // the step ends in a chase, given up at once: it never saw the player
  EXPECT_EQ(m.PixelX, 0);
  EXPECT_EQ(m.State, S::Stand);

  // Stepping east it lands on a cell later in the scan and runs twice in the frame.
  M& e = Put(2, W, 4, 6, S::Move, 0, DirEast);
  Frames(1);
  EXPECT_EQ(e.Tick, 2);
  EXPECT_EQ(e.PixelX, -36);
}

TEST_F(MonstersTest, AReelShowsAFrameEveryFourTicksAndEndsInAChase) {
  G.SoundOn = 1;
  M& m = Put(1, W, 4, 4, S::Hit, 0, DirWest);
  const int d = DirWest;
  const int want[][2] = {{1, 129 + d * 10}, {3, 129 + d * 10}, {4, 130 + d * 10}, {7, 130 + d * 10}, {8, 131 + d * 10}};
  for (int tick = 0; const auto& w : want) {
    Frames(w[0] - tick);
    tick = w[0];
    EXPECT_EQ(m.Frame, w[1]) << tick;
  }
  EXPECT_TRUE(Played("狼-3.wav"));
  Frames(4);
  EXPECT_EQ(m.State, S::Chase);
}

TEST_F(MonstersTest, ASwingStrikesAtItsThirdStepAndAnArcherShootsFromAfar) {
  G.SoundOn = 1;
  G.Player.Df = G.Player.DfMax = 3;
  M& m = Put(1, W, 9, 8, S::Attack, 0, DirWest);
  Frames(4);
  EXPECT_TRUE(Played("狼-2.wav"));
  EXPECT_EQ(G.Player.HP, 100);
  Script({0.5, kHit, kHit, kMiss, kMiss});
  Frames(2);
  EXPECT_EQ(G.Player.HP, 93);
  EXPECT_EQ(G.Player.ActState, S::Hit);
  EXPECT_EQ(Text(), "7");
  EXPECT_EQ(G.FloatingTexts[1].X, G.ViewX + 7);
  clock.clock.Advance(777);
  Frames(5);  // 6 x 2 - 1 frames
  EXPECT_EQ(m.State, S::Rest);
  EXPECT_EQ(m.LastTick, clock.clock.Now());

  M& a = Put(2, A, 13, 8, S::Chase, 0);
  Kind(A).DcSpeed = 0;  // acts as 1: the strike comes at the third frame
  Frames(1);
  EXPECT_EQ(a.State, S::Attack);
  EXPECT_EQ(G.ScreenEffects[1].Kind, 4);
  EXPECT_EQ(G.ScreenEffects[1].X, G.ViewX + 8);
  Script({kHit, kHit, kMiss, kMiss});
  Frames(2);
  EXPECT_EQ(G.Player.HP, 83);  // the magic defence is 0
}

TEST_F(MonstersTest, AStrikeAndItsPoisonLifeStealAndParalysisRolls) {
  struct Row {
    const char* what;
    int kind, i, nb, shield, mp, zd, xiHp, maBi, luck, monHp;
    std::vector<double> draws;
    int hp, mpAfter, poison, monHpAfter, mbsp;
    const char* text;
  };
  const Row rows[] = {
      {"lands", W, 9, 0, 0, 0, 0, 0, 0, 0, 40, {0.5, kHit, kHit, kMiss, kMiss}, 93, 0, 0, 40, 0, "7"},
      {"dodged", W, 9, 5, 0, 0, 0, 0, 0, 0, 40, {0.2, kMiss, kMiss}, 99, 0, 0, 40, 0, "MISS"},
      {"two cells away", W, 10, 0, 0, 0, 0, 0, 0, 0, 40,
       {0.5, kHit, kHit, kMiss, kMiss}, 93, 0, 0, 40, 0, "7"},
      {"three away: no text", W, 11, 0, 0, 0, 0, 0, 0, 0, 40, {0.5, kMiss, kMiss}, 99, 0, 0, 40, 0, "-"},
      {"shield absorbs", W, 9, 0, 8, 20, 0, 0, 0, 0, 40,
       {0.5, kHit, kHit, kMiss, kMiss}, 100, 13, 0, 40, 0, "0"},
      {"shield overflows", W, 9, 0, 9, 3, 0, 0, 0, 0, 40,
       {0.5, kHit, kHit, kMiss, kMiss}, 96, 0, 0, 40, 0, "4"},
      {"poison", W, 9, 0, 0, 0, 30, 0, 0, 2, 40, {0.5, kHit, kHit, 0.29, 0.5, kMiss}, 93, 0, 850, 40, 0, "7"},
      {"a miss poisons", W, 9, 15, 0, 0, 30, 0, 0, 2, 40, {0.5, 0.0, 0.0, kMiss}, 99, 0, 700, 40, 0, "MISS"},
      {"luck beyond poison", W, 9, 0, 0, 0, 30, 0, 0, 30, 40,
       {0.5, kHit, kHit, 0.0, 0.5, kMiss}, 93, 0, 0, 40, 0, "7"},
      {"steal 1.5 to 2", W, 9, 0, 0, 0, 0, 3, 0, 0, 40,
       {0.5, kHit, kHit, kMiss, 0.2, 0.25, kMiss}, 93, 0, 0, 42, 0, "7"},
      {"steal 2.5 to even", W, 9, 0, 0, 0, 0, 3, 0, 0, 40,
       {0.5, kHit, kHit, kMiss, 0.2, 0.75, kMiss}, 93, 0, 0, 42, 0, "7"},
      {"steal capped", W, 9, 0, 0, 0, 0, 3, 0, 0, 50,
       {0.5, kHit, kHit, kMiss, 0.0, 0.9, kMiss}, 93, 0, 0, 50, 0, "7"},
      {"ranged steal", A, 13, 0, 0, 0, 0, 2, 0, 0, 100,
       {kHit, kHit, kMiss, 0.1, 0.5, kMiss}, 90, 0, 0, 104, 0, "10"},
      {"paralysis", W, 9, 0, 0, 0, 0, 0, 10, 0, 40, {0.5, kHit, kHit, kMiss, 0.05}, 93, 0, 0, 40, 120, "7"},
  };
  for (const Row& r : rows) {
    Fresh();
    PlayerRecord& p = G.Player;
    p.Df = p.DfMax = 3;
    p.Nb = r.nb;
    p.Mp = r.mp;
    p.Luck = r.luck;
    if (r.shield > 0) p.Items[static_cast<std::size_t>(r.shield)].Pic1 = 438;
    Kind(r.kind).zd = r.zd;
    Kind(r.kind).XiHP = r.xiHp;
    Kind(r.kind).MaBi = r.maBi;
    M& m = Put(1, r.kind, r.i, 8, S::Attack, 5);
    m.HP = r.monHp;
    Script(r.draws);
    MonsterStrike(1, r.i, 8);
    EXPECT_EQ(draws.Left(), 0u) << r.what;
    EXPECT_EQ(p.HP, r.hp) << r.what;
    EXPECT_EQ(p.Mp, r.mpAfter) << r.what;
    EXPECT_EQ(p.PoisonTime, r.poison) << r.what;
    EXPECT_EQ(m.HP, r.monHpAfter) << r.what;
    EXPECT_EQ(p.MBSP, r.mbsp) << r.what;
    EXPECT_EQ(G.ScreenEffects[1].Kind, r.mbsp > 0 ? 3 : 0) << r.what;
    EXPECT_EQ(Text(), r.text) << r.what;
    EXPECT_EQ(p.ActState, S::Hit) << r.what;
  }
}

// A strike's attack is drawn from Dc to DcMax and the player's defence from Df to DfMax
// (Mf to MfMax against an archer); what the defence leaves, at least 1, is the damage.
TEST_F(MonstersTest, AStrikeDrawsItsAttackAndTheDefenceFromTheirWholeRanges) {
  struct Row {
    const char* what;
    int kind, i;
    double attackDraw, defenceDraw;
    int damage;
  };
  const Row rows[] = {
      {"lowest attack, lowest defence", W, 9, 0.0, 0.0, 3},      // 4 - 1
      {"middle of both", W, 9, 0.5, 0.5, 5},                     // 8 - 3
      {"top attack, top defence", W, 9, 0.95, 0.9, 7},           // 12 - 5
      {"defence above the attack", W, 9, 0.0, kMiss, 1},         // 4 - 5, at least 1
      {"an archer against magic defence", A, 13, 0.95, 0.9, 6},  // 12 - 6
      {"an archer, low magic defence", A, 13, 0.5, 0.0, 6},      // 8 - 2
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    Fresh();
    PlayerRecord& p = G.Player;
    p.Df = 1;
    p.DfMax = 5;
    p.Mf = 2;
    p.MfMax = 6;
    Kind(r.kind).Dc = 4;
    Kind(r.kind).DcMax = 12;
    Put(1, r.kind, r.i, 8, S::Attack, 5);
    if (r.kind == W) Script({0.5});  // the dodge roll: it lands
    Script({r.attackDraw, r.defenceDraw, kMiss, kMiss});
    MonsterStrike(1, r.i, 8);
    EXPECT_EQ(draws.Left(), 0u);
    EXPECT_EQ(p.HP, 100 - r.damage);
    EXPECT_EQ(Text(), std::to_string(r.damage));
  }
}

TEST_F(MonstersTest, ADeadMonsterFallsCriesDropsAndBecomesACorpse) {
  G.SoundOn = 1;
  Kind(W).Drops[0][0] = "1";
  Kind(W).Drops[1] = {"金币10", "0"};
  M& m = Put(1, W, 5, 5, S::Stand, 5, DirEast);
  m.HP = 0;
  Kind(A).DcSleep = 1000;
  M& later = Put(2, A, 0, 9, S::Rest, 5);  // rests all along, drawing nothing
  for (int tick = 0; const int t : {1, 4, 8, 11, 12, 15}) {
    Frames(t - tick);
    tick = t;
    EXPECT_EQ(m.Frame, 128 + 20 + 1 + t / 4) << t;
    EXPECT_EQ(Played("狼-4.wav"), t >= 12) << t;
  }
  // At tick 16 the gold (always) and no potion; the scan stops after the drops.
  Script({0.5, kMiss, kMiss, kHit});
  const int laterTick = later.Tick;
  Frames(1);
  EXPECT_EQ(G.GroundItems[1].Name, "金币5");
  EXPECT_EQ(ItemGridAt(m.X - 1, m.Y - 1), 1);
  EXPECT_EQ(later.Tick, laterTick);
  Frames(22);
  EXPECT_EQ(m.Frame, 128 + 20 + 10);
  EXPECT_EQ(GridMonster(m.X, m.Y), 1);
  Frames(1);  // tick 39
  EXPECT_EQ(GridCode(m.X, m.Y), kGridFree);
  EXPECT_EQ(DeadGridAt(m.X, m.Y), 1);
  Frames(1);
  EXPECT_EQ(m.Tick, 39);  // a corpse is no longer run
}

TEST_F(MonstersTest, DropsAreRolledFromTheListAndThePotionBands) {
  struct Row {
    int hp;
    std::vector<double> draws;
    std::vector<std::string> names;
  };
  const Row rows[] = {
      {80, {kHit, kMiss}, {"金创药小"}},  {81, {kMiss, kHit}, {"魔法药中"}},
      {150, {kHit, kHit}, {"金创药中", "魔法药中"}}, {151, {}, {}}, {200, {}, {}},
      {201, {0.06, 0.07}, {"金创药大"}},  // one in 15
      {0, {}, {}},
      // The list: a chance of 0 always drops, a chance of 4 drops on a draw below a
      // quarter, a chance that is no number and an empty name take no draw.
      {170, {0.9, 0.3, 0.2}, {"金币10", "铁剑"}},
  };
  for (const Row& r : rows) {
    MonsterKind k;
    k.Hp = r.hp;
    if (r.hp == 170) {
      k.Drops[0][0] = "5";
      k.Drops[1] = {"金币10", "0"};
      k.Drops[2] = {"布衣", "4"};
      k.Drops[3] = {"坏", "x"};
      k.Drops[4] = {"", "1"};
      k.Drops[5] = {"铁剑", "4"};
    }
    Script(r.draws);
    PendingDrops d;
    RollMonsterDrops(k, d);
    EXPECT_EQ(draws.Left(), 0u) << r.hp;
    EXPECT_EQ(std::vector<std::string>(d.Names.begin() + 1, d.Names.begin() + 1 + d.Count), r.names) << r.hp;
  }
  // Thirty entries and both potions: the first thirty are kept.
  MonsterKind k;
  k.Hp = 50;
  k.Drops[0][0] = "30";
  for (int e = 1; e <= 30; ++e) k.Drops[static_cast<std::size_t>(e)] = {"物" + std::to_string(e), "0"};
  Script(std::vector<double>(32, kHit));
  PendingDrops d;
  RollMonsterDrops(k, d);
  EXPECT_EQ(d.Count, 30);
  EXPECT_EQ(d.Names[30], "物30");
}

TEST_F(MonstersTest, DropsRingTheBodyAndSkipCellsThatCannotTakeThem) {
  struct Row {
    const char* what;
    int w, h, bx, by, items;
    std::vector<std::pair<int, int>> cells;
    bool all;
  };
  const Row rows[] = {
      {"top-left corner", 60, 60, 1, 1, 5, {{1, 2}, {2, 3}, {3, 1}, {3, 2}, {3, 3}}, true},
      {"bottom-right corner", 60, 60, 59, 59, 4, {{58, 58}, {58, 59}, {59, 58}, {57, 57}}, true},
      {"too small a part", 3, 3, 1, 1, 5, {{1, 2}, {2, 1}, {2, 2}}, false},
  };
  for (const Row& r : rows) {
    Fresh();
    SetPartSize(1, r.w, r.h);
    if (r.w == 60) {
      SetCellField(1, 2, 1, 2, "树");    // scenery
      SetCellField(1, 2, 2, 3, "N01");  // an NPC
      SetCellField(1, 1, 3, 3, "0");    // a blocked kind
    }
    PendingDrops d;
    d.Count = r.items;
    for (int i = 1; i <= r.items; ++i) d.Names[static_cast<std::size_t>(i)] = "金币10";
    Script(std::vector<double>(r.cells.size(), kHit));
    EXPECT_EQ(PlaceMonsterDrops(r.bx, r.by, d), r.all) << r.what;
    ASSERT_EQ(G.GroundItemCount, static_cast<int>(r.cells.size())) << r.what;
    for (std::size_t i = 0; i < r.cells.size(); ++i) {
      EXPECT_EQ(ItemGridAt(r.cells[i].first, r.cells[i].second), static_cast<int>(i) + 1) << r.what << i;
    }
  }
}

// The end of placing is noticed when a further cell is looked at: a drop on the very last
// cell of ring 10 leaves the monster scan running, one on the last cell of ring 9 ends it.
TEST_F(MonstersTest, TheScanEndsOnlyWhenAFurtherCellIsLookedAt) {
  struct Row {
    int freeX, freeY;
    bool scanEnds;
  };
  for (const Row r : {Row{40, 40, false}, Row{39, 39, true}, Row{40, 39, true}}) {
    SCOPED_TRACE(::testing::Message() << r.freeX << "," << r.freeY);
    Fresh();
    SetPartSize(1, 60, 60);
    for (int x = 20; x <= 40; ++x) {
      for (int y = 20; y <= 40; ++y) {
        if (x != r.freeX || y != r.freeY) SetCellField(1, x, y, 3, "0");
      }
    }
    PendingDrops d;
    d.Count = 1;
    d.Names[1] = "金币10";
    Script({kHit});
    EXPECT_EQ(PlaceMonsterDrops(30, 30, d), r.scanEnds);
    EXPECT_EQ(ItemGridAt(r.freeX, r.freeY), 1);
  }
}

TEST_F(MonstersTest, ADropFromTheTableGetsItsBonusChancesAndAnUnknownNameDropsNothing) {
  itemdb::ItemRow cloth;
  cloth.Name = "布衣";
  cloth.Type = 12;
  cloth.Money = 100;
  UseItems({cloth});
  PendingDrops d;
  d.Count = 2;
  d.Names[1] = "?布衣";  // no such name in the table
  d.Names[2] = "布衣";
  Script(std::vector<double>(12, kMiss));  // six draws of bonus chances for each
  EXPECT_TRUE(PlaceMonsterDrops(10, 10, d));
  EXPECT_EQ(G.GroundItemCount, 1);
  EXPECT_EQ(ItemGridAt(9, 9), 1);  // the first cell went to the second name
  EXPECT_EQ(G.GroundItems[1].Name, "布衣");
  EXPECT_EQ(G.GroundItems[1].Money, 50);
}

}  // namespace
