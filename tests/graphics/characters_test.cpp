// The figures of the scene: the player's layers, monsters, the companion and the screen
// animations, on the headless device with the sample packs.
#include <gtest/gtest.h>

#include <map>

#include "graphics/characters.h"
#include "graphics/effects.h"
#include "graphics/scene_fixture.h"
#include "platform/sound.h"

namespace {

using scenetest::Picture;
using scenetest::Recorder;
using scenetest::SceneTest;
using scenetest::Screen;

plat::Texture Body() { return Gfx.BodyTex[static_cast<std::size_t>(G.Player.FrameNo)]; }
plat::Texture Weapon() { return Gfx.WeaponTex[static_cast<std::size_t>(G.Player.FrameNo)]; }
plat::Texture Head() { return Gfx.HeadTex[static_cast<std::size_t>(G.Player.FrameNo)]; }

class CharactersTest : public SceneTest {
 protected:
  // Runs one drawing routine alone with the recorder on.
  template <typename F>
  void Record(F draw) {
    rec.events.clear();
    Gfx.Recorder = &rec;
    draw();
    Gfx.Recorder = nullptr;
  }
};

// ---------------------------------------------------------------------------------
// The player

// What the game screen must show of the player: every pixel a layer covers fully, in
// drawing order over the screen without the player; pixels a layer covers partly are
// left open.
struct Expected {
  std::map<std::pair<int, int>, std::optional<plat::Color>> pixels;
  void Paint(const Picture& pic, FrameOffset o) {
    ASSERT_GT(pic.w, 0);
    for (int y = 0; y < pic.h; ++y) {
      for (int x = 0; x < pic.w; ++x) {
        const std::pair<int, int> at{336 + o.X + x, 224 + o.Y + y};
        if (pic.Solid(x, y)) {
          const plat::Color c = pic.At(x, y);
          pixels[at] = plat::Color{c.r, c.g, c.b, 255};
        } else if (pic.Visible(x, y)) {
          pixels[at] = std::nullopt;
        }
      }
    }
  }
};

void CheckPlayerPixels(const Screen& shown, const Screen& without, const Expected& want, int& solid) {
  solid = 0;
  for (int y = 150; y < 300; ++y) {
    for (int x = 260; x < 420; ++x) {
      const auto it = want.pixels.find({x, y});
      if (it == want.pixels.end()) {
        ASSERT_EQ(shown.At(x, y), without.At(x, y)) << "nothing of the player belongs at " << x << "," << y;
      } else if (it->second) {
        ASSERT_EQ(shown.At(x, y), *it->second) << "at " << x << "," << y;
        ++solid;
      }
    }
  }
}

TEST_F(CharactersTest, PlayerLayersStandAtTheAnchorWithTheirOffsets) {
  struct Case {
    int direction;
    bool weaponBehind;
  };
  for (const Case c : {Case{DirSouth, false}, Case{DirNorth, true}, Case{DirWest, true}, Case{DirEast, false}}) {
    Face(c.direction);
    const int f = G.Player.FrameNo;
    const Picture body = scenetest::PackPicture("\\date\\rpg\\1", f);
    const Picture head = scenetest::PackPicture("\\date\\rpg\\Head", f);
    const Picture weapon = scenetest::PackPicture("\\date\\Weapon\\1", f);
    Expected want;
    if (c.weaponBehind) want.Paint(weapon, Looks.WeaponZb[static_cast<std::size_t>(f)]);
    want.Paint(body, Looks.BodyZb[static_cast<std::size_t>(f)]);
    want.Paint(head, HeadOffset(f));
    if (!c.weaponBehind) want.Paint(weapon, Looks.WeaponZb[static_cast<std::size_t>(f)]);

    G.Player.TintA = 0;  // the same frame without the player
    const Screen without = Shot();
    G.Player.TintA = 255;
    const Screen shown = Shot();
    int solid = 0;
    CheckPlayerPixels(shown, without, want, solid);
    EXPECT_GT(solid, 200) << "facing " << c.direction;
  }
}

TEST_F(CharactersTest, WeaponGoesBehindTheBodyFacingNorthAndWest) {
  for (int d = 0; d < 8; ++d) {
    Face(d);
    Record([] { DrawPlayer(); });
    const long body = rec.FindSprite(Body());
    const long head = rec.FindSprite(Head());
    const long weapon = rec.FindSprite(Weapon());
    ASSERT_GE(body, 0);
    ASSERT_GE(head, 0);
    ASSERT_GE(weapon, 0);
    EXPECT_EQ(rec.CountSprites(Weapon()), 1);
    EXPECT_LT(body, head);
    if (d == 0 || d >= 5) {
      EXPECT_LT(weapon, body) << d;
    } else {
      EXPECT_GT(weapon, head) << d;
    }
  }
}

TEST_F(CharactersTest, TintHeadlessAndIdAndTheTransformedFigure) {
  G.Player.TintR = 80;
  G.Player.TintG = 255;
  G.Player.TintB = 80;
  G.Player.TintA = 255;
  G.ShowPlayerId = 1;
  Record([] { DrawPlayer(); });
  EXPECT_EQ(rec[rec.FindSprite(Body())].Colour, (plat::Color{80, 255, 80, 255}));
  EXPECT_EQ(rec[rec.FindSprite(Weapon())].Colour, (plat::Color{80, 255, 80, 255}));
  const long id = rec.FindText("阿明");
  ASSERT_GE(id, 0);
  EXPECT_EQ(rec[id].X, 336.0f);
  EXPECT_EQ(rec[id].Y, 207.0f);
  EXPECT_EQ(rec[id].Colour, (plat::Color{80, 255, 80, 255}));

  // McMax 0 (while transformed the stats say so): no head.
  G.Player.McMax = 0;
  Record([] { DrawPlayer(); });
  EXPECT_LT(rec.FindSprite(Head()), 0);
  EXPECT_GE(rec.FindSprite(Body()), 0);

  // A spirit form: body alone, no weapon, no name.
  LoadBodyFrames(103);
  EXPECT_EQ(G.BodyNo, 103);
  Record([] { DrawPlayer(); });
  EXPECT_EQ(rec.events.size(), 1u);
  EXPECT_EQ(rec[0].Tex, Body());
  const FrameOffset o = Looks.BodyZb[static_cast<std::size_t>(G.Player.FrameNo)];
  EXPECT_EQ(rec[0].X, 336.0f + o.X);
  EXPECT_EQ(rec[0].Y, 224.0f + o.Y);
}

TEST_F(CharactersTest, NeighboursComeOverThePlayerWalkingDiagonallyDown) {
  AddKind(1, 1, "鸡");
  AddMonster(1, 1, 8, 7);
  AddMonster(2, 1, 6, 7);
  G.Monsters[2].Frame = 18;
  for (ActionState s : {ActionState::Walk, ActionState::Run}) {
    for (int d : {DirSouthEast, DirSouthWest}) {
      G.Player.ActState = s;
      Face(d);
      Record([] { DrawPlayer(); });
      const long last = std::max({rec.FindSprite(Body()), rec.FindSprite(Head()), rec.FindSprite(Weapon())});
      const long right = rec.FindSprite(Gfx.MonsterTex(1, 17));
      const long left = rec.FindSprite(Gfx.MonsterTex(1, 18));
      EXPECT_GT(right, last);
      EXPECT_GT(left, right);
    }
  }
  // Standing, or walking another way: the player alone.
  G.Player.ActState = ActionState::Stand;
  Record([] { DrawPlayer(); });
  EXPECT_LT(rec.FindSprite(Gfx.MonsterTex(1, 17)), 0);
  G.Player.ActState = ActionState::Walk;
  Face(DirSouth);
  Record([] { DrawPlayer(); });
  EXPECT_LT(rec.FindSprite(Gfx.MonsterTex(1, 17)), 0);
}

TEST_F(CharactersTest, DeadPlayerIsDrawnWhiteWithoutName) {
  G.Player.TintR = 10;
  G.ShowPlayerId = 1;
  Face(DirEast);
  G.Player.FrameNo = 248 + 4 * DirEast + 4;
  Record([] { DrawDeadPlayer(); });
  ASSERT_EQ(rec.events.size(), 3u);
  EXPECT_EQ(rec[0].Tex, Body());
  EXPECT_EQ(rec[1].Tex, Head());
  EXPECT_EQ(rec[2].Tex, Weapon());
  for (const auto& e : rec.events) EXPECT_EQ(e.Colour, plat::Color::White());

  G.Player.Items[1].Pic2 = 0;  // no weapon worn
  LoadLookFrames();
  Record([] { DrawDeadPlayer(); });
  EXPECT_EQ(rec.events.size(), 2u);
}

TEST_F(CharactersTest, FrameNumbersOutsideTheSetDrawNothing) {
  for (int f : {0, -3, 281, 100000}) {
    G.Player.FrameNo = f;
    Record([] {
      DrawPlayer();
      DrawDeadPlayer();
    });
    EXPECT_TRUE(rec.events.empty()) << f;
  }
}

// ---------------------------------------------------------------------------------
// Monsters

TEST_F(CharactersTest, MonsterFrameSlidesWithItsPixelOffsetInItsTint) {
  AddKind(1, 2, "羊", 60);
  MonsterInstance& m = AddMonster(5, 1, 10, 9);
  m.Frame = 40;
  m.PixelX = -18;
  m.PixelY = 8;
  m.R = 80;
  m.G = 255;
  m.B = 80;
  m.A = 255;
  G.ScrollX = 3;
  G.ScrollY = -2;
  Record([] { DrawMonster(10, 9); });
  ASSERT_EQ(rec.events.size(), 1u);  // no name, no bar
  const FrameOffset o = MonsterOffset(2, 40);
  EXPECT_EQ(rec[0].Tex, Gfx.MonsterTex(2, 40));
  EXPECT_EQ(rec[0].X, 48.0f * 10 + 3 - 18 + o.X);
  EXPECT_EQ(rec[0].Y, 32.0f * 9 - 2 + 8 + o.Y);
  EXPECT_EQ(rec[0].Colour, (plat::Color{80, 255, 80, 255}));

  // Nothing on a cell without a monster or with a monster of no kind.
  Record([] { DrawMonster(11, 9); });
  EXPECT_TRUE(rec.events.empty());
  m.Kind = 44;
  Record([] { DrawMonster(10, 9); });
  EXPECT_TRUE(rec.events.empty());
}

TEST_F(CharactersTest, MonsterNameUnderThePointerButNotWhileMoving) {
  AddKind(1, 1, "鸡");
  AddMonster(1, 1, 4, 6);
  AddMonster(2, 1, 9, 6);
  AddMonster(3, 1, 9, 5);  // the cell above monster 2 is taken
  auto named = [this](int c, int r) {
    Record([c, r] { DrawMonster(c, r); });
    return rec.FindText("鸡") >= 0;
  };
  G.MouseCellX = 4;
  G.MouseCellY = 6;
  EXPECT_TRUE(named(4, 6));
  const long t = rec.FindText("鸡");
  EXPECT_EQ(rec[t].X, 48.0f * 4);
  EXPECT_EQ(rec[t].Y, 32.0f * 6);
  G.MouseCellY = 5;  // the free cell above
  EXPECT_TRUE(named(4, 6));
  G.MouseCellY = 7;  // the cell below
  EXPECT_FALSE(named(4, 6));
  G.MouseCellX = 9;
  G.MouseCellY = 5;  // above monster 2, but on monster 3
  EXPECT_FALSE(named(9, 6));
  EXPECT_TRUE(named(9, 5));
  G.Monsters[3].State = ActionState::Move;
  EXPECT_FALSE(named(9, 5));

  // A pointer cell beyond the view is held to its edge.
  AddMonster(4, 1, 14, 13);
  G.MouseCellX = 999;
  G.MouseCellY = 77;
  EXPECT_TRUE(named(14, 13));
  G.MouseCellX = -5;
  G.MouseCellY = -1;
  EXPECT_FALSE(named(14, 13));
}

TEST_F(CharactersTest, MonsterHealthBarsAndDeathBurst) {
  AddKind(1, 1, "鸡", 80);
  MonsterInstance& m = AddMonster(1, 1, 5, 5);
  m.HP = 20;
  m.PixelX = 6;
  G.ShowAllMonHp = 1;
  Record([] { DrawMonster(5, 5); });
  const long frame = rec.FindSprite(Gfx.MonHpFrameTex);
  const long fill = rec.FindSprite(Gfx.MonHpFillTex);
  ASSERT_GE(frame, 0);
  ASSERT_GT(fill, frame);
  EXPECT_EQ(rec[frame].X, 48.0f * 5 + 6 + 5);
  EXPECT_EQ(rec[frame].Y, 32.0f * 5 - 50);
  EXPECT_EQ(rec[fill].Src, (plat::Rect{0, 0, 10, 3}));  // a quarter of 38, rounded to even

  // Over its kind's health the bar is full and no more; a kind of 0 health shows none.
  m.HP = 1000;
  Record([] { DrawMonster(5, 5); });
  EXPECT_EQ(rec[rec.FindSprite(Gfx.MonHpFillTex)].Src, (plat::Rect{0, 0, 38, 3}));
  G.MonsterKinds[1].Hp = 0;
  Record([] { DrawMonster(5, 5); });
  EXPECT_LT(rec.FindSprite(Gfx.MonHpFillTex), 0);
  EXPECT_GE(rec.FindSprite(Gfx.MonHpFrameTex), 0);

  // Dying, steps 2 to 9 show burst pictures 1 to 8 of the kind's type.
  G.ShowAllMonHp = 0;
  m.State = ActionState::Dying;
  for (int step = 1; step <= 10; ++step) {
    m.Step = step;
    Record([] { DrawMonster(5, 5); });
    if (step >= 2 && step <= 9) {
      const long burst = rec.FindSprite(Gfx.DeadTex(1, step - 1));
      ASSERT_GE(burst, 0) << step;
      EXPECT_EQ(rec[burst].X, 48.0f * 5 - 30);
      EXPECT_EQ(rec[burst].Y, 32.0f * 5 - 90);
    } else {
      EXPECT_EQ(rec.events.size(), 1u) << step;
    }
  }
  G.MonsterKinds[1].Type = 0;
  m.Step = 4;
  Record([] { DrawMonster(5, 5); });
  EXPECT_EQ(rec.events.size(), 1u);
  G.MonsterKinds[1].Type = 9;  // no such burst
  Record([] { DrawMonster(5, 5); });
  EXPECT_EQ(rec.events.size(), 1u);
}

// ---------------------------------------------------------------------------------
// The companion

TEST_F(CharactersTest, SpiritIsDrawnAtItsCellAndGlowsWhileCasting) {
  SpiritRecord& s = G.Spirit;
  s.Level = 1;
  s.X = G.ViewX + 4;
  s.Y = G.ViewY + 6;
  s.Frame = 83;
  s.PixelX = 12;
  s.PixelY = -4;
  G.ScrollX = 6;
  Record([] { DrawSpirit(); });
  ASSERT_EQ(rec.events.size(), 1u);
  const FrameOffset o = MonsterOffset(83, 83);
  const float x = 4 * 48 + o.X + 12 + 6;
  const float y = 6 * 32 + o.Y - 4;
  EXPECT_EQ(rec[0].Tex, Gfx.MonsterTex(83, 83));
  EXPECT_EQ(rec[0].X, x);
  EXPECT_EQ(rec[0].Y, y);

  s.State = SpiritState::Magic;
  for (auto [anim, alpha] : {std::pair{5, 100}, std::pair{8, 160}, std::pair{9, 255}, std::pair{28, 255}}) {
    s.Anim = anim;
    Record([] { DrawSpirit(); });
    ASSERT_EQ(rec.events.size(), 2u);
    EXPECT_EQ(rec[1].Tex, Gfx.SpiritGlowTex);
    EXPECT_EQ(rec[1].X, x + 15);
    EXPECT_EQ(rec[1].Y, y - 50);
    EXPECT_EQ(rec[1].Colour.a, alpha) << anim;
  }
}

TEST_F(CharactersTest, SpiritShowsOnlyWithLevelAndMagicPoints) {
  G.Spirit.Level = 2;
  G.Spirit.X = G.ViewX + 3;
  G.Spirit.Y = G.ViewY + 3;
  G.Spirit.Frame = 1;
  Frame();
  EXPECT_GE(rec.FindSprite(Gfx.MonsterTex(83, 1)), 0);
  G.Player.Mp = 0;
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.MonsterTex(83, 1)), 0);
  G.Player.Mp = 5;
  G.Spirit.Level = 0;
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.MonsterTex(83, 1)), 0);
}

// ---------------------------------------------------------------------------------
// Screen animations

// The picture of set `kind` drawn at each count until the slot is freed.
std::vector<int> RunToEnd(int slot, int kind, const std::function<void()>& draw, Recorder& rec) {
  std::vector<int> pictures;
  for (int guard = 0; guard < 2000 && G.ScreenEffects[static_cast<std::size_t>(slot)].Kind != 0; ++guard) {
    rec.events.clear();
    Gfx.Recorder = &rec;
    draw();
    Gfx.Recorder = nullptr;
    int shown = -1;
    for (int p = 1; p <= kEffectFrameLast; ++p) {
      if (rec.FindSprite(Gfx.EffectTex(kind, p)) >= 0) shown = p;
    }
    pictures.push_back(shown);
  }
  return pictures;
}

std::vector<int> Runs(const std::vector<int>& pictures) {
  std::vector<int> runs;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    if (i == 0 || pictures[i] != pictures[i - 1]) runs.push_back(0);
    ++runs.back();
  }
  return runs;
}

TEST_F(CharactersTest, LevelUpShowsFortySevenFrames) {
  AddScreenEffect(1, 0, 0, 0);
  Record([] { DrawScreenEffects(); });
  ASSERT_EQ(rec.events.size(), 1u);
  EXPECT_EQ(rec[0].X, 320.0f);
  EXPECT_EQ(rec[0].Y, 120.0f);
  const std::vector<int> pictures = RunToEnd(1, 1, [] { DrawScreenEffects(); }, rec);
  ASSERT_EQ(pictures.size() + 1, 47u);
  EXPECT_EQ(Runs(pictures), (std::vector<int>{4, 6, 6, 6, 6, 6, 6, 6}));  // the first count ran above
  EXPECT_EQ(pictures.back(), 8);
}

TEST_F(CharactersTest, CastFlashOverThePlayer) {
  AddScreenEffect(2, 0, 0, 0);
  AddScreenEffect(2, 0, 0, 0);
  Record([] { DrawScreenEffects(); });
  EXPECT_TRUE(rec.events.empty());  // kind 2 is the cast flash's own
  EXPECT_EQ(G.ScreenEffects[1].Frame, 0);
  Record([] { DrawCastEffect(); });
  ASSERT_EQ(rec.events.size(), 2u);
  EXPECT_EQ(rec[0].X, 308.0f);
  EXPECT_EQ(rec[0].Y, 200.0f);
  const std::vector<int> pictures = RunToEnd(1, 2, [] { DrawCastEffect(); }, rec);
  EXPECT_EQ(pictures.size() + 1, 23u);
  EXPECT_EQ(Runs(pictures), (std::vector<int>{2, 4, 4, 4, 4, 4}));
  EXPECT_EQ(G.ScreenEffects[2].Kind, 0);
}

TEST_F(CharactersTest, CellAnimationsAndTheirLifetimes) {
  struct Case {
    int kind, dx, dy, counts;
  };
  G.ScrollX = 5;
  G.ScrollY = -7;
  for (const Case c : {Case{4, -60, -80, 23}, Case{5, -80, -90, 20}, Case{6, -75, -120, 23}, Case{7, -85, -130, 23},
                       Case{9, -88, -112, 29}}) {
    G.ScreenEffects = {};
    AddScreenEffect(c.kind, G.ViewX + 2, G.ViewY + 3, 0);
    Record([] { DrawScreenEffects(); });
    ASSERT_EQ(rec.events.size(), 1u) << c.kind;
    EXPECT_EQ(rec[0].X, 2 * 48 + 5 + c.dx);
    EXPECT_EQ(rec[0].Y, 3 * 32 - 7 + c.dy);
    const std::vector<int> pictures = RunToEnd(1, c.kind, [] { DrawScreenEffects(); }, rec);
    EXPECT_EQ(static_cast<int>(pictures.size()) + 1, c.counts) << c.kind;
    for (int p : pictures) EXPECT_GE(p, 1) << c.kind;  // every count shows a picture of the set
  }
  // Kind 9 cycles through its six pictures.
  G.ScreenEffects = {};
  AddScreenEffect(9, 1, 1, 0);
  const std::vector<int> nine = RunToEnd(1, 9, [] { DrawScreenEffects(); }, rec);
  EXPECT_EQ(nine[16], 6);
  EXPECT_EQ(nine[17], 1);  // count 18: (18 / 3) mod 6 = 0

  // The teleport sits on the screen by its cell alone, no view, no scroll.
  G.ScreenEffects = {};
  AddScreenEffect(10, 9, 9, 0);
  Record([] { DrawScreenEffects(); });
  ASSERT_EQ(rec.events.size(), 1u);
  EXPECT_EQ(rec[0].X, 48.0f * 9 - 56);
  EXPECT_EQ(rec[0].Y, 32.0f * 9 - 122);
  EXPECT_EQ(RunToEnd(1, 10, [] { DrawScreenEffects(); }, rec).size() + 1, 20u);
}

TEST_F(CharactersTest, ParalysisPictureTurnsEveryFiveCounts) {
  AddScreenEffect(3, G.ViewX + 7, G.ViewY + 7, 0);
  const std::vector<int> pictures = RunToEnd(1, 3, [] { DrawScreenEffects(); }, rec);
  ASSERT_EQ(pictures.size(), 101u);
  EXPECT_EQ(pictures[0], 1);
  EXPECT_EQ(pictures[3], 1);
  EXPECT_EQ(pictures[4], 2);   // count 5
  EXPECT_EQ(pictures[14], 4);  // count 15
  EXPECT_EQ(pictures[19], 1);  // count 20: back to the first
}

TEST_F(CharactersTest, TransformationTakesTheFormAndGivesItBack) {
  PlayerRecord& p = G.Player;
  p.Dc = 3;
  p.DcMax = 7;
  p.Mc = 1;
  p.Df = 2;
  p.Nb = 1;
  p.DcSpeed = 9;
  p.Luck = 4;
  const PlayerRecord before = p;
  AddScreenEffect(8, 0, 0, 6);
  for (int i = 0; i < 11; ++i) DrawScreenEffects();
  EXPECT_EQ(G.BodyNo, 1);
  DrawScreenEffects();  // count 12
  EXPECT_EQ(G.BodyNo, 106);
  EXPECT_EQ(p.McMax, 0);
  EXPECT_EQ(p.Mc, 0);
  EXPECT_EQ(p.Dc, 30);
  EXPECT_EQ(p.DcMax, 70);
  EXPECT_EQ(p.Df, 15);
  EXPECT_EQ(p.DfMax, 20);
  EXPECT_EQ(p.Mf, 10);
  EXPECT_EQ(p.MfMax, 15);
  EXPECT_EQ(p.Acc, 10);
  EXPECT_EQ(p.Nb, 2);
  EXPECT_EQ(p.MaBi, 3);
  EXPECT_EQ(p.DcSpeed, 5);
  EXPECT_EQ(p.Luck, 4);
  EXPECT_EQ(G.PlayerBackup.DcMax, 7);
  EXPECT_EQ(G.PlayerBackup.McMax, 2);

  // The animation shows until count 23; then the slot stays, silent, while the form lasts.
  for (int i = 13; i <= 900; ++i) {
    Record([] { DrawScreenEffects(); });
    EXPECT_EQ(rec.events.empty(), i >= 24) << i;
  }
  EXPECT_EQ(G.ScreenEffects[1].Kind, 8);
  EXPECT_EQ(G.BodyNo, 106);
  DrawScreenEffects();  // count 901: starts over
  EXPECT_EQ(G.ScreenEffects[1].Frame, 0);
  for (int i = 1; i <= 11; ++i) DrawScreenEffects();
  EXPECT_EQ(G.BodyNo, 106);
  DrawScreenEffects();  // count 12 again, 901 counts after the change: the form ends
  EXPECT_EQ(G.BodyNo, 1);
  EXPECT_EQ(G.ScreenEffects[1].P, 0);
  EXPECT_EQ(p.Dc, before.Dc);
  EXPECT_EQ(p.DcMax, before.DcMax);
  EXPECT_EQ(p.Mc, before.Mc);
  EXPECT_EQ(p.McMax, before.McMax);
  EXPECT_EQ(p.Nb, before.Nb);
  EXPECT_EQ(p.DcSpeed, before.DcSpeed);
  for (int i = 13; i <= 22; ++i) DrawScreenEffects();
  EXPECT_EQ(G.ScreenEffects[1].Kind, 8);
  DrawScreenEffects();  // count 23
  EXPECT_EQ(G.ScreenEffects[1].Kind, 0);
}

TEST_F(CharactersTest, AnUnknownFormChangesNothing) {
  const PlayerRecord before = G.Player;
  AddScreenEffect(8, 0, 0, 9);
  for (int i = 0; i < 23; ++i) DrawScreenEffects();
  EXPECT_EQ(G.ScreenEffects[1].Kind, 0);
  EXPECT_EQ(G.BodyNo, 1);
  EXPECT_EQ(G.Player.McMax, before.McMax);
  EXPECT_EQ(G.Player.Dc, before.Dc);
}

TEST_F(CharactersTest, LevelUpAndTransformationSoundsWithTheSoundOption) {
  struct Installed : plat::RecordingSound {
    Installed() { plat::SetSoundDevice(this); }
    ~Installed() override { plat::SetSoundDevice(nullptr); }
  } sound;
  auto opened = [&sound](const std::string& name) {
    return std::count_if(sound.calls.begin(), sound.calls.end(), [&name](const std::string& c) {
      return c.rfind("open ", 0) == 0 && c.find(name) != std::string::npos;
    });
  };
  G.SoundOn = 1;
  AddScreenEffect(1, 0, 0, 0);
  AddScreenEffect(8, 0, 0, 2);
  DrawScreenEffects();
  EXPECT_EQ(opened("升级.wav"), 1);
  EXPECT_EQ(opened("变身.wav"), 0);
  DrawScreenEffects();  // count 2
  EXPECT_EQ(opened("变身.wav"), 1);
  for (int i = 3; i <= 903; ++i) DrawScreenEffects();  // over the wrap at 901 to count 2 again
  EXPECT_EQ(opened("升级.wav"), 1);
  EXPECT_EQ(opened("变身.wav"), 2);

  G.SoundOn = 0;
  G.ScreenEffects = {};
  sound.calls.clear();
  AddScreenEffect(1, 0, 0, 0);
  AddScreenEffect(8, 0, 0, 0);
  for (int i = 0; i < 3; ++i) DrawScreenEffects();
  EXPECT_TRUE(sound.calls.empty());
}

TEST(PadName, RightAlignsToFourCharacters) {
  EXPECT_EQ(PadName("鸡"), "   鸡");
  EXPECT_EQ(PadName("半兽人"), " 半兽人");
  EXPECT_EQ(PadName("骷髅战士"), "骷髅战士");
  EXPECT_EQ(PadName("骷髅王战士"), "骷髅王战士");
  EXPECT_EQ(PadName(""), "    ");
}

}  // namespace
