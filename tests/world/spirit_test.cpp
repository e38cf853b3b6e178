// The companion: its decisions in their order (jump, follow, heals, poison search,
// lightning, wander), its three states frame by frame, cast spacing, summoning and
// upkeep through the window, dismissal at 0 MP, and the poison search at a part edge.
#include "world/spirit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "common/game_state.h"
#include "platform/forms.h"
#include "platform/sound.h"
#include "support/test_support.h"
#include "ui/startup.h"
#include "window/form1.h"

namespace {

using testsupport::ScriptedDraws;

MonsterInstance& Mon(int n) { return G.Monsters[static_cast<std::size_t>(n)]; }

// The 144 draws of a poison search (0.5 draws a 1 at the listed cells), then `tail`.
std::vector<double> Search(std::vector<int> hits, std::vector<double> tail, std::vector<double> head = {}) {
  std::vector<double> d = head;
  for (int c = 0; c < 144; ++c) d.push_back(std::count(hits.begin(), hits.end(), c) ? 0.5 : 0.0);
  d.insert(d.end(), tail.begin(), tail.end());
  return d;
}
// The draws of a search that ends at `cell` (drawing a 1 there and at `earlier`), then `tail`.
std::vector<double> Chosen(int cell, std::vector<double> tail, std::vector<int> earlier = {}) {
  std::vector<double> d = Search(earlier, {});
  d.resize(static_cast<std::size_t>(cell) + 1);
  d.back() = 0.5;
  d.insert(d.end(), tail.begin(), tail.end());
  return d;
}
constexpr int kCellA = 14;  // view offset (3, 4): the 15th cell searched
constexpr int kCellB = 84;  // view offset (9, 2)

class SpiritTest : public ::testing::Test {
 protected:
  void SetUp() override {
    G = GameState{};
    sound.calls.clear();
    plat::SetSoundDevice(&sound);
    G.SoundOn = 1;
    G.SubMap = 1;
    SetPartSize(1, 60, 60);
    G.ViewX = G.ViewY = 20;  // view centre (27, 27), player on (28, 28)
    G.Player.HP = G.Player.HpMax = 100;
    G.Player.Mp = 50;
    G.Spirit.Level = 1;
    Place(1, 1);
  }
  void TearDown() override {
    plat::SetSoundDevice(nullptr);
    plat::Application::Get().Reset();
    G = GameState{};
  }
  static void Place(int ox, int oy) {
    G.Spirit.X = G.ViewX + 7 + ox;
    G.Spirit.Y = G.ViewY + 7 + oy;
  }
  static void Frames(int n) {
    for (int i = 0; i < n; ++i) UpdateSpirit();
  }
  static void PlaceMonster(int n, int i, int j, int poison) {
    Mon(n).X = G.ViewX + i;
    Mon(n).Y = G.ViewY + j;
    Mon(n).HP = 10;
    Mon(n).Poison = poison;
    SetGridMonster(G.ViewX + i, G.ViewY + j, n);
    G.MonsterCount = std::max(G.MonsterCount, n);
  }
  int Played(const std::string& name) const {
    return static_cast<int>(std::count_if(sound.calls.begin(), sound.calls.end(), [&](const std::string& c) {
      return c.rfind("open ", 0) == 0 && c.find(name) != std::string::npos;
    }));
  }

  testsupport::ScopedFakeClock fake;
  plat::RecordingSound sound;
};

struct DecisionCase {
  const char* name;
  int level, hp, ox, oy, dir0;
  int poisonA, poisonB;  // -1: no such monster
  std::int64_t sinceCast;
  std::vector<double> draws;
  SpiritState state;
  int dir, x, y;  // facing and offset from the view centre after the frame
  int pool, wantA, wantB, skillKind, screenKind;
};

TEST_F(SpiritTest, EachDecisionInItsOrder) {
  constexpr auto Idle = SpiritState::Idle, Move = SpiritState::Move, Cast = SpiritState::Magic;
  constexpr int kMax = std::numeric_limits<std::int32_t>::max();
  const std::vector<DecisionCase> cases{
      {"far east: jump, then one step on", 1, 100, 10, 0, 2, -1, -1, 9000, {}, Move, 2, 2, 1, 0, -1, -1, 0, 10},
      {"far north: jump", 1, 100, 0, -8, 4, -1, -1, 9000, {}, Move, 4, 1, 2, 0, -1, -1, 0, 10},
      {"east of the box: back west", 1, 100, 9, 1, 0, -1, -1, 9000, {}, Move, 6, 8, 1, 0, -1, -1, 0, 0},
      {"north-west: back south-east", 1, 100, -7, -5, 0, -1, -1, 9000, {}, Move, 3, -6, -4, 0, -1, -1, 0, 0},
      {"south-east: back north-west", 1, 100, 7, 6, 0, -1, -1, 9000, {}, Move, 7, 6, 5, 0, -1, -1, 0, 0},
      {"south-west: back north-east", 1, 100, -7, 6, 0, -1, -1, 9000, {}, Move, 1, -6, 5, 0, -1, -1, 0, 0},
      {"north-east: back south-west", 1, 100, 7, -5, 0, -1, -1, 9000, {}, Move, 5, 6, -4, 0, -1, -1, 0, 0},
      {"south: back north", 1, 100, 1, 6, 2, -1, -1, 9000, {}, Move, 0, 1, 5, 0, -1, -1, 0, 0},
      {"box edge south-east stays", 1, 100, 6, 5, 2, -1, -1, 9000, Search({}, {0.0}), Idle, 2, 6, 5, 0, -1, -1, 0, 0},
      {"box edge north-west stays", 1, 100, -6, -4, 2, -1, -1, 9000, Search({}, {0.0}), Idle, 2, -6, -4, 0, -1, -1, 0, 0},
      {"great heal", 3, 14, 1, 1, 2, -1, -1, 9000, {0.3}, Cast, 2, 1, 1, 30, -1, -1, 8, 0},
      {"great heal missed, small heal", 3, 14, 1, 1, 2, -1, -1, 9000, {0.34, 0.3}, Cast, 2, 1, 1, 2, -1, -1, 8, 0},
      {"15% exactly: small heal only", 3, 15, 1, 1, 2, -1, -1, 9000, {0.37}, Cast, 2, 1, 1, 2, -1, -1, 8, 0},
      {"small heal missed: search", 3, 49, 1, 1, 2, -1, -1, 9000, Search({}, {0.0}, {0.375}), Idle, 2, 1, 1, 0, -1, -1, 0, 0},
      {"level 2 never heals", 2, 1, 1, 1, 2, -1, -1, 9000, Search({}, {0.0}), Idle, 2, 1, 1, 0, -1, -1, 0, 0},
      {"poisons a dying monster", 1, 100, 1, 1, 2, 0, -1, 9000, Chosen(kCellA, {0.5}), Cast, 2, 1, 1, 0, 800, -1, 0, 5},
      {"level 1 passes a poisoned one", 1, 100, 1, 1, 2, 10, 0, 9000, Chosen(kCellB, {0.0}, {kCellA}), Cast, 2, 1, 1, 0, 10, 650, 0, 5},
      {"level 2 strikes a poisoned one", 2, 100, 1, 1, 2, 10, 0, 9000, Chosen(kCellA, {}), Cast, 2, 1, 1, 0, 10, 0, 11, 0},
      {"1500 ms after a cast: too soon", 1, 100, 1, 1, 2, 0, -1, 1500, Search({kCellA}, {0.0}), Idle, 2, 1, 1, 0, 0, -1, 0, 0},
      {"a 1 on an empty cell", 1, 100, 1, 1, 2, 0, -1, 9000, Search({0}, {0.0}), Idle, 2, 1, 1, 0, 0, -1, 0, 0},
      {"huge level: poison saturates", 100'000'000, 100, 1, 1, 2, 0, -1, 9000, Chosen(kCellA, {0.5}), Cast, 2, 1, 1, 0, kMax, -1, 0, 5},
      {"wander 1..4 turns", 1, 100, 1, 1, 2, -1, -1, 9000, Search({}, {0.12, 0.9}), Idle, 7, 1, 1, 0, -1, -1, 0, 0},
      {"wander 5..7 steps", 1, 100, 1, 1, 2, -1, -1, 9000, Search({}, {0.6}), Move, 2, 2, 1, 0, -1, -1, 0, 0},
      {"wander 8 rests", 1, 100, 1, 1, 2, -1, -1, 9000, Search({}, {0.95}), Idle, 2, 1, 1, 0, -1, -1, 0, 0},
  };
  for (const DecisionCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    G.Spirit.Level = c.level;
    G.Player.HP = c.hp;
    G.Spirit.Direction = c.dir0;
    G.Spirit.LastTick = fake.clock.Now() - c.sinceCast;
    Place(c.ox, c.oy);
    if (c.poisonA >= 0) PlaceMonster(1, 3, 4, c.poisonA);
    if (c.poisonB >= 0) PlaceMonster(2, 9, 2, c.poisonB);
    Mon(1).HP = 0;
    Mon(1).State = ActionState::Dying;
    ScriptedDraws draws(c.draws);
    UpdateSpirit();
    EXPECT_EQ(draws.Left(), 0u);
    EXPECT_EQ(G.Spirit.State, c.state);
    EXPECT_EQ(G.Spirit.Direction, c.dir);
    EXPECT_EQ(G.Spirit.X - (G.ViewX + 7), c.x);
    EXPECT_EQ(G.Spirit.Y - (G.ViewY + 7), c.y);
    EXPECT_EQ(G.HpPool, c.pool);
    if (c.poisonA >= 0) { EXPECT_EQ(Mon(1).Poison, c.wantA); }
    if (c.poisonB >= 0) { EXPECT_EQ(Mon(2).Poison, c.wantB); }
    EXPECT_EQ(G.SkillEffects[1].Kind, c.skillKind);
    if (c.skillKind != 0) { EXPECT_EQ(G.SkillEffects[1].P1, 1); }  // the spirit's: free
    if (c.skillKind == 11) { EXPECT_EQ(G.SkillEffects[1].X, G.ViewX + 3); }
    EXPECT_EQ(G.ScreenEffects[1].Kind, c.screenKind);
    if (c.screenKind == 5) { EXPECT_EQ(G.ScreenEffects[1].Y, c.wantB >= 0 ? G.ViewY + 2 : G.ViewY + 4); }
    if (c.pool > 0) { EXPECT_EQ(G.FloatingTexts[1].Text, std::to_string(c.pool)); }
    EXPECT_EQ(Played("精灵.wav"), c.state == Cast ? 1 : 0);
    TearDown();
  }
}

TEST_F(SpiritTest, AStepAnIdleCycleAndACastRunFrameByFrame) {
  G.Spirit.Direction = DirSouthEast;
  G.Spirit.State = SpiritState::Move;
  G.Spirit.Anim = 0;
  Frames(1);  // into (29, 29), the picture starting back at (28, 28)
  EXPECT_EQ(G.Spirit.X, 29);
  EXPECT_EQ(G.Spirit.PixelX, -42);
  EXPECT_EQ(G.Spirit.PixelY, -28);
  EXPECT_EQ(G.Spirit.Frame, 33 + 3 * 6);
  Frames(9);
  EXPECT_EQ(G.Spirit.Frame, 32 + 3 * 6 + 6);
  EXPECT_EQ(G.Spirit.PixelX, -6);  // two pixel steps at the sixth
  Frames(1);
  EXPECT_EQ(G.Spirit.State, SpiritState::Idle);
  EXPECT_EQ(G.Spirit.PixelX, 0);

  {
    ScriptedDraws draws(Search({}, {0.0}));  // the next idle cycle decides once, at its first frame
    Frames(1);
    EXPECT_EQ(G.Spirit.Frame, 3 * 4 + 1);
    Frames(42);
    EXPECT_EQ(G.Spirit.Frame, 3 * 4 + 4);
    EXPECT_EQ(G.Spirit.Anim, 0);
  }
  ScriptedDraws draws(Chosen(kCellA, {0.0}));
  PlaceMonster(1, 3, 4, 0);
  Frames(1);
  EXPECT_EQ(G.Spirit.State, SpiritState::Magic);
  EXPECT_EQ(G.Spirit.LastTick, fake.clock.Now());
  EXPECT_EQ(G.Spirit.Frame, 81 + 3 * 6);
  Frames(27);
  EXPECT_EQ(G.Spirit.Frame, 80 + 3 * 6 + 6);
  Frames(1);
  EXPECT_EQ(G.Spirit.State, SpiritState::Idle);
  EXPECT_EQ(Played("下毒.wav"), 1);
}

TEST_F(SpiritTest, CastsBeginMoreThan1500MsApart) {
  G.Spirit.Level = 3;
  G.Player.HP = 10;
  {
    ScriptedDraws draws({0.0});
    Frames(29);  // the great heal and its cast
  }
  EXPECT_EQ(G.HpPool, 30);
  const std::int64_t began = G.Spirit.LastTick;
  fake.clock.Advance(began + 1500 - fake.clock.Now());
  {
    ScriptedDraws draws(Search({}, {0.0}, {0.0, 0.0}));  // both heals drawn, neither may cast
    Frames(43);
  }
  EXPECT_EQ(G.HpPool, 30);
  fake.clock.Advance(1);
  ScriptedDraws draws({0.0});
  Frames(1);
  EXPECT_EQ(G.HpPool, 60);
}

TEST_F(SpiritTest, SummonedByItsKeyKeptByUpkeepAndDismissedAtZeroMagic) {
  ui::BuildMainWindow();
  ui::AttachStartupHandlers();
  G.Spirit = SpiritRecord{};  // as at program start: far away at (0, 0)
  G.Player.M[9] = "F12";
  G.Player.Mp = 2;
  int f1 = 112;
  ui::Form1.Form->KeyDown(f1, 0);
  EXPECT_EQ(G.Spirit.Level, 2);
  Frames(1);
  EXPECT_EQ(G.Spirit.X, 28);  // jumped onto the player, stepped north
  EXPECT_EQ(G.Spirit.Y, 27);

  G.Player.HP = 0;  // frozen while the player is dead
  Frames(5);
  EXPECT_EQ(G.Spirit.Anim, 1);
  G.Player.HP = 100;

  auto& app = plat::Application::Get();
  app.DoEvents();
  for (int i = 0; i < 3; ++i) {
    fake.clock.Advance(2500);
    app.DoEvents();
  }
  EXPECT_EQ(G.Player.Mp, 0);
  EXPECT_EQ(G.Spirit.Level, 2);  // the upkeep never dismisses
  Frames(1);
  EXPECT_EQ(G.Spirit.Level, 0);
  EXPECT_EQ(G.Spirit.Anim, 1);
}

TEST_F(SpiritTest, ThePoisonSearchAtAPartEdgeFindsNothingOffThePart) {
  struct EdgeCase {
    const char* name;
    int view, size;
  };
  for (const EdgeCase& c : {EdgeCase{"top-left corner", -7, 5}, EdgeCase{"bottom-right corner", 192, 200}}) {
    SCOPED_TRACE(c.name);
    SetUp();
    SetPartSize(1, 200, 200);
    SetGridMonster(6, 6, 1);  // left in the grid, outside the part once it shrinks
    SetPartSize(1, c.size, c.size);
    if (c.size == 5) {
      SetGridText(2, 2, "M0000");  // marks naming no monster
      SetGridText(3, 3, "M0301");
      SetGridText(4, 4, "Mx");
    }
    G.ViewX = G.ViewY = c.view;
    Place(1, 1);
    // Every cell draws a 1, yet none is chosen: the search, a wander turn and its facing.
    ScriptedDraws draws(std::vector<double>(146, 0.5));
    UpdateSpirit();
    EXPECT_EQ(draws.Left(), 0u);
    EXPECT_EQ(G.Spirit.Direction, 4);
    EXPECT_EQ(Mon(1).Poison, 0);
    EXPECT_EQ(G.ScreenEffects[1].Kind, 0);
    TearDown();
  }
}

}  // namespace
