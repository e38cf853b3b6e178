// One frame of the game screen: its steps, the floor, the scenery passes, NPCs,
// ground items, the head-up display and the texts over the world.
#include <gtest/gtest.h>

#include <climits>

#include "graphics/characters.h"
#include "graphics/effects.h"
#include "graphics/hud.h"
#include "graphics/scene_fixture.h"
#include "platform/input.h"

namespace {

using scenetest::Recorder;
using scenetest::SceneTest;
using scenetest::Screen;
using Event = Recorder::Event;

bool Is(const Event& e, FrameStep s) { return e.Step == s; }

plat::Texture Fj(int set, int n) { return Gfx.FjTex[static_cast<std::size_t>(set)][static_cast<std::size_t>(n)]; }
plat::Texture Body() { return Gfx.BodyTex[static_cast<std::size_t>(G.Player.FrameNo)]; }

// ---------------------------------------------------------------------------------
// The frame's steps

TEST_F(SceneTest, OneFrameRunsItsStepsInOrderAndPresentsOnce) {
  Frame();
  ASSERT_FALSE(rec.events.empty());
  EXPECT_EQ(presents, 1);
  EXPECT_TRUE(Is(rec.events.front(), FrameStep::BeginScene));

  const long floorCopy = rec.Find([](const Event& e) { return Is(e, FrameStep::FloorCopy); });
  const long spriteBegin = rec.Find([](const Event& e) { return Is(e, FrameStep::SpriteBegin); });
  const long fontBegin = rec.Find([](const Event& e) { return Is(e, FrameStep::FontBegin); });
  const long fontEnd = rec.Find([](const Event& e) { return Is(e, FrameStep::FontEnd); });
  const long spriteEnd = rec.Find([](const Event& e) { return Is(e, FrameStep::SpriteEnd); });
  const long present = rec.Find([](const Event& e) { return Is(e, FrameStep::Present); });
  const long end = rec.Find([](const Event& e) { return Is(e, FrameStep::EndScene); });
  ASSERT_GT(floorCopy, 0);
  EXPECT_EQ(spriteBegin, floorCopy + 1);
  EXPECT_EQ(fontBegin, spriteBegin + 1);
  EXPECT_LT(fontBegin, fontEnd);
  EXPECT_EQ(spriteEnd, fontEnd + 1);
  EXPECT_EQ(present, spriteEnd + 1);  // present before the scene's end
  EXPECT_EQ(end, present + 1);
  EXPECT_EQ(end + 1, static_cast<long>(rec.events.size()));

  // Every floor tile comes before the copy; every sprite and text between the brackets.
  for (long i = 0; i < static_cast<long>(rec.events.size()); ++i) {
    const Event& e = rec[i];
    if (Is(e, FrameStep::FloorTile)) {
      EXPECT_LT(i, floorCopy);
    }
    if (Is(e, FrameStep::Sprite) || Is(e, FrameStep::Text)) {
      EXPECT_GT(i, fontBegin);
      EXPECT_LT(i, fontEnd);
    }
  }
  // 15 x 14 cells of floor; the player's body; the panel before the bars.
  EXPECT_EQ(std::count_if(rec.events.begin(), rec.events.end(), [](const Event& e) { return Is(e, FrameStep::FloorTile); }),
            15 * 14);
  EXPECT_GE(rec.FindSprite(Body()), 0);
  EXPECT_LT(rec.FindSprite(Gfx.HudFrameTex), rec.FindSprite(Gfx.HpBarTex));
}

TEST_F(SceneTest, FloorTilesAreCopiedScrolledAndEmptyFloorsAreBlack) {
  const scenetest::Picture tile = scenetest::PackPicture("\\date\\floor", 9);
  ASSERT_EQ(tile.w, 48);
  ASSERT_EQ(tile.h, 32);
  // Half a cell to the left and up: one more column and row come in on the far side.
  G.ScrollX = -24;
  G.ScrollY = -16;
  G.DrawColLast = 15;
  G.DrawRowLast = 14;
  const Screen s = Shot();
  // A corner of the screen with nothing but floor on it.
  for (int y = 300; y < 448; y += 3) {
    for (int x = 440; x < 720; x += 5) {
      const plat::Color want = tile.At((x + 24) % 48, (y + 16) % 32);
      ASSERT_EQ(s.At(x, y), (plat::Color{want.r, want.g, want.b, 255})) << x << "," << y;
    }
  }

  // A cell whose floor field is empty is black, scrolled like its neighbours; it does
  // not keep the tile drawn there before.
  MakePart(30, 30, "5");
  SetCellField(1, MapX(12), MapY(11), 1, "");
  const scenetest::Picture road = scenetest::PackPicture("\\date\\floor", 5);
  const Screen t = Shot();
  const int cx = 48 * 12 - 24, cy = 32 * 11 - 16;
  EXPECT_NE(s.At(cx + 10, cy + 10), plat::Color::Black());  // floor 9 before
  for (int y = cy; y < cy + 32; y += 3) {
    for (int x = cx; x < cx + 48; x += 3) ASSERT_EQ(t.At(x, y), plat::Color::Black()) << x << "," << y;
  }
  const plat::Color r = road.At(10, 10);
  EXPECT_EQ(t.At(cx + 48 + 10, cy + 10), (plat::Color{r.r, r.g, r.b, 255}));  // its neighbour is road now
  EXPECT_EQ(t.At(cx - 1, cy + 10), (plat::Color{road.At(47, 10).r, road.At(47, 10).g, road.At(47, 10).b, 255}));
}

TEST_F(SceneTest, CellsWithoutAFloorAreBlackAfterAnotherPart) {
  // A large part of grass fills the whole view first.
  const Screen grass = Shot();
  // Then a part of 8 x 6 cells of road, seen from over its top-left corner: view
  // columns 3..10 and rows 3..8 lie in it.
  MakePart(8, 6, "5");
  G.ViewX = -3;
  G.ViewY = -2;
  SetCellField(1, MapX(4), MapY(3), 1, "");
  SetCellField(1, MapX(3), MapY(6), 1, "999");  // names no floor tile
  const scenetest::Picture road = scenetest::PackPicture("\\date\\floor", 5);
  const Screen s = Shot();

  struct Case {
    const char* what;
    int c, r;
    bool isRoad;
  };
  const Case cases[] = {
      {"right of the part", 12, 4, false}, {"below the part", 5, 11, false},
      {"far corner", 13, 12, false},       {"left of the grid", 0, 4, false},
      {"empty floor field", 4, 3, false},  {"floor naming no tile", 3, 6, false},
      {"road inside", 9, 4, true},         {"road at the corner", 3, 3, true},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.what);
    const int x0 = 48 * k.c, y0 = 32 * k.r;
    EXPECT_NE(grass.At(x0 + 5, y0 + 5), plat::Color::Black());  // drawn over before
    for (int y = y0; y < y0 + 32; y += 3) {
      for (int x = x0; x < x0 + 48; x += 3) {
        const plat::Color r = road.At(x - x0, y - y0);
        const plat::Color want = k.isRoad ? plat::Color{r.r, r.g, r.b, 255} : plat::Color::Black();
        ASSERT_EQ(s.At(x, y), want) << x << "," << y;
      }
    }
  }
  // Blank cells are recorded as such, tiles only where there is a floor.
  const auto count = [this](FrameStep step) {
    return std::count_if(rec.events.begin(), rec.events.end(), [step](const Event& e) { return Is(e, step); });
  };
  EXPECT_EQ(count(FrameStep::FloorTile), 8 * 6 - 2);
  EXPECT_EQ(count(FrameStep::FloorBlank), 15 * 14 - (8 * 6 - 2));
}

// ---------------------------------------------------------------------------------
// Scenery in its passes

TEST_F(SceneTest, SceneryIsDrawnInThePassOfItsCellKind) {
  struct Cell {
    int c, r;
    const char* object;
    const char* kind;
  };
  const Cell cells[] = {
      {3, 3, "10001", "1"},   // ground pass
      {4, 3, "10002", "0-"},  // ground pass
      {7, 6, "10003", "2"},   // among the characters, row above the player: before it
      {7, 8, "10004", "2"},   // row below the player: after it
      {2, 2, "10005", "0"},   // overlay: over every character, even from a row above
      {3, 2, "10006", ""},    // overlay
      {4, 2, "10007", "-x"},  // overlay
      {5, 2, "10008", "N某人1001"},  // an NPC cell: its object is not drawn
      {6, 2, "50009", "0"},   // set 5 does not exist
  };
  for (const Cell& cell : cells) {
    SetCellField(1, MapX(cell.c), MapY(cell.r), 2, cell.object);
    SetCellField(1, MapX(cell.c), MapY(cell.r), 3, cell.kind);
  }
  Frame();
  const long player = rec.FindSprite(Body());
  ASSERT_GE(player, 0);
  const long o1 = rec.FindSprite(Fj(1, 1)), o2 = rec.FindSprite(Fj(1, 2)), o3 = rec.FindSprite(Fj(1, 3)),
             o4 = rec.FindSprite(Fj(1, 4)), o5 = rec.FindSprite(Fj(1, 5)), o6 = rec.FindSprite(Fj(1, 6)),
             o7 = rec.FindSprite(Fj(1, 7));
  for (long o : {o1, o2, o3, o4, o5, o6, o7}) ASSERT_GE(o, 0);
  EXPECT_LT(o1, player);
  EXPECT_LT(o2, player);
  EXPECT_LT(o3, player);
  EXPECT_GT(o4, player);
  EXPECT_GT(o5, o4);
  EXPECT_GT(o6, o4);
  EXPECT_GT(o7, o4);
  EXPECT_LT(rec.FindSprite(Fj(1, 8)), 0);
  // Each at its cell's corner, in the object tint.
  EXPECT_EQ(rec[o4].X, 48.0f * 7);
  EXPECT_EQ(rec[o4].Y, 32.0f * 8);
  EXPECT_EQ(rec[o4].Colour, plat::Color::White());
  // Set 5 exists nowhere and the NPC cell's object is not drawn: seven pictures in all.
  long scenery = 0;
  for (const Event& e : rec.events) {
    if (!Is(e, FrameStep::Sprite)) continue;
    for (int set = 1; set <= 4; ++set) {
      for (const plat::Texture& t : Gfx.FjTex[static_cast<std::size_t>(set)]) scenery += (t && t == e.Tex) ? 1 : 0;
    }
  }
  EXPECT_EQ(scenery, 7);
}

TEST_F(SceneTest, AnObjectInFrontCoversThePlayerOnScreen) {
  // A big object drawn from the row above the player reaches down over the player's
  // cell: as kind "2" of a row above it is under the player, as "0" over it.
  SetCellField(1, MapX(6), MapY(5), 2, "10001");
  SetCellField(1, MapX(6), MapY(5), 3, "2");
  const scenetest::Picture obj = scenetest::PackPicture("\\date\\fj\\1", 1);
  ASSERT_GT(obj.w, 96);
  ASSERT_GT(obj.h, 96);
  const Screen under = Shot();
  SetCellField(1, MapX(6), MapY(5), 3, "0");
  const Screen over = Shot();
  // The player's body pixels inside the object's picture area: with kind "0" the object's
  // solid pixels win.
  int checked = 0;
  for (int y = 205; y < 250; ++y) {
    for (int x = 320; x < 380; ++x) {
      const int ox = x - 48 * 6, oy = y - 32 * 5;
      if (ox < 0 || oy < 0 || ox >= obj.w || oy >= obj.h || !obj.Solid(ox, oy)) continue;
      const plat::Color o = obj.At(ox, oy);
      EXPECT_EQ(over.At(x, y), (plat::Color{o.r, o.g, o.b, 255}));
      if (under.At(x, y) != over.At(x, y)) ++checked;  // the player shows through under it
    }
  }
  EXPECT_GT(checked, 0);
}

// ---------------------------------------------------------------------------------
// NPCs, monsters and the player in the character pass

TEST_F(SceneTest, NpcsAreDrawnWithTheirNamesAndPose) {
  G.NpcAnimFrame = 2;
  SetCellField(1, MapX(3), MapY(4), 3, "N村长5012");
  SetCellField(1, MapX(5), MapY(4), 3, "*隐士1001");  // hidden: never drawn
  SetCellField(1, MapX(6), MapY(4), 3, "N12");       // too short to be an entry
  Frame();
  const long npc = rec.FindSprite(Gfx.NpcTex(12, 7));
  ASSERT_GE(npc, 0);
  const FrameOffset o = NpcOffset(12, 7);
  EXPECT_EQ(rec[npc].X, 48.0f * 3 + o.X);
  EXPECT_EQ(rec[npc].Y, 32.0f * 4 + o.Y);
  EXPECT_EQ(rec[npc].Colour, plat::Color::White());
  const long name = rec.FindText("村长");
  ASSERT_GT(name, npc);
  EXPECT_EQ(rec[name].X, 48.0f * 3);
  EXPECT_EQ(rec[name].Y, 32.0f * 4);
  EXPECT_EQ(rec[name].Colour, plat::Color::White());
  EXPECT_LT(rec.FindText("隐士"), 0);
  EXPECT_LT(rec.FindSprite(Gfx.NpcTex(1, 3)), 0);

  // The pointer on the NPC or on the cell above it lightens it.
  G.MouseCellX = 3;
  G.MouseCellY = 3;
  Frame();
  EXPECT_EQ(rec[rec.FindSprite(Gfx.NpcTex(12, 7))].Colour, plat::Color::White(200));
  G.MouseCellY = 2;
  Frame();
  EXPECT_EQ(rec[rec.FindSprite(Gfx.NpcTex(12, 7))].Colour, plat::Color::White());
}

TEST_F(SceneTest, NpcNameIsDrawnOnScreen) {
  const Screen before = Shot();
  SetCellField(1, MapX(10), MapY(10), 3, "N村长1001");
  const Screen after = Shot();
  // Text pixels right of the cell's corner, above the NPC's picture area.
  int changed = 0;
  for (int y = 320; y < 334; ++y) {
    for (int x = 480; x < 505; ++x) changed += before.At(x, y) != after.At(x, y) ? 1 : 0;
  }
  EXPECT_GT(changed, 10);
}

TEST_F(SceneTest, ThePlayerStaysInFrontOfAnNpcOrMonsterOnItsRight) {
  SetCellField(1, MapX(8), MapY(7), 3, "N药师1002");
  Frame();
  const long first = rec.FindSprite(Body());
  const long npc = rec.FindSprite(Gfx.NpcTex(2, 1));
  const long again = rec.FindSprite(Body(), npc);
  EXPECT_LT(first, npc);
  EXPECT_GT(again, npc);

  SetCellField(1, MapX(8), MapY(7), 3, "");
  AddKind(1, 1, "鸡");
  AddMonster(1, 1, 8, 7);
  Frame();
  const long mon = rec.FindSprite(Gfx.MonsterTex(1, 17));
  ASSERT_GE(mon, 0);
  EXPECT_GT(rec.FindSprite(Body(), mon), mon);
  // Not while the player is dead: the dead figure comes once, before the characters.
  G.Player.HP = 0;
  Frame();
  EXPECT_EQ(rec.CountSprites(Body()), 1);
  EXPECT_LT(rec.FindSprite(Body()), rec.FindSprite(Gfx.MonsterTex(1, 17)));
}

TEST_F(SceneTest, CorpsesLieInTheGroundPassInTheirKindsTint) {
  AddKind(2, 3, "狼");
  G.MonsterKinds[2].R = 200;
  G.MonsterKinds[2].G = 100;
  G.MonsterKinds[2].B = 50;
  G.MonsterKinds[2].A = 180;
  MonsterInstance& m = AddMonster(4, 2, 9, 9);
  m.Frame = 140;
  SetGridFree(m.X, m.Y);
  SetDeadGridAt(m.X, m.Y, 4);
  SetDeadGridAt(MapX(2), MapY(2), 999);  // no such monster: nothing
  Frame();
  const long corpse = rec.FindSprite(Gfx.MonsterTex(3, 140));
  ASSERT_GE(corpse, 0);
  EXPECT_LT(corpse, rec.FindSprite(Body()));
  const FrameOffset o = MonsterOffset(3, 140);
  EXPECT_EQ(rec[corpse].X, 48.0f * 9 + o.X);
  EXPECT_EQ(rec[corpse].Y, 32.0f * 9 + o.Y);
  EXPECT_EQ(rec[corpse].Colour, (plat::Color{200, 100, 50, 180}));
}

// ---------------------------------------------------------------------------------
// Ground items

class GroundItemTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    Lay(1, 10, 10, "金币100", 3, 0);
    Lay(2, 11, 10, "?神剑", 5, 2);
  }
  void TearDown() override {
    plat::ResetKeyStates();
    SceneTest::TearDown();
  }
  void Lay(int i, int c, int r, const std::string& name, int pic, int jp) {
    ItemRecord& it = G.GroundItems[static_cast<std::size_t>(i)];
    it.Name = name;
    it.Pic1 = pic;
    it.JP = jp;
    SetItemGridAt(MapX(c), MapY(r), i);
    G.GroundItemCount = std::max(G.GroundItemCount, i);
  }
};

TEST_F(GroundItemTest, IconsLieOnTheGroundAndNamesShowOnlyWithTabOrTheOption) {
  Frame();
  const long icon = rec.FindSprite(Gfx.ItemTex[3]);
  ASSERT_GE(icon, 0);
  EXPECT_EQ(rec[icon].X, 48.0f * 10 + 10);
  EXPECT_EQ(rec[icon].Y, 32.0f * 10 + 10);
  EXPECT_LT(icon, rec.FindSprite(Body()));
  EXPECT_LT(rec.FindText("金币100"), 0);

  plat::SetKeyHeld(plat::vk::Tab, true);
  Frame();
  const long gold = rec.FindText("金币100");
  ASSERT_GE(gold, 0);
  EXPECT_GT(gold, rec.FindSprite(Body()));
  EXPECT_EQ(rec[gold].X, 48.0f * 10 + 10);
  EXPECT_EQ(rec[gold].Y, 32.0f * 10);
  EXPECT_EQ(rec[gold].Colour, (plat::Color{255, 255, 0, 255}));  // plain: yellow
  const long sword = rec.FindText("?神剑");
  ASSERT_GE(sword, 0);
  EXPECT_EQ(rec[sword].Colour, (plat::Color{255, 0, 0, 255}));  // with bonus points: red

  plat::SetKeyHeld(plat::vk::Tab, false);
  G.ShowAllItemNames = 1;
  Frame();
  EXPECT_GE(rec.FindText("金币100"), 0);
}

TEST_F(GroundItemTest, StaleCellsAreClearedAndShowNothing) {
  G.GroundItems[1].Pic1 = 0;                 // the record was taken away
  SetItemGridAt(MapX(4), MapY(4), 77);       // no such record
  SetItemGridAt(MapX(5), MapY(4), -3);
  G.ShowAllItemNames = 1;
  Frame();
  EXPECT_EQ(ItemGridAt(MapX(10), MapY(10)), 0);
  EXPECT_EQ(ItemGridAt(MapX(4), MapY(4)), 0);
  EXPECT_EQ(ItemGridAt(MapX(5), MapY(4)), 0);
  EXPECT_LT(rec.FindText("金币100"), 0);
  EXPECT_GE(rec.FindText("?神剑"), 0);
  // An icon number beyond the icons draws nothing but keeps the item.
  G.GroundItems[2].Pic1 = 9999;
  Frame();
  EXPECT_EQ(ItemGridAt(MapX(11), MapY(10)), 2);
  EXPECT_GE(rec.FindText("?神剑"), 0);
}

// ---------------------------------------------------------------------------------
// The view over the edge of the part

TEST_F(SceneTest, CellsOutsideThePartDrawNothingAndRangesAreHeld) {
  G.ViewX = -5;  // the left five columns and the top three rows lie outside
  G.ViewY = -3;
  SetCellField(1, 1, 1, 3, "N村长1001");
  AddKind(1, 1, "鸡");
  AddMonster(1, 1, 6, 4);
  G.MouseCellX = 999;  // the pointer is held inside the view
  G.MouseCellY = -50;
  Frame();
  EXPECT_EQ(std::count_if(rec.events.begin(), rec.events.end(), [](const Event& e) { return Is(e, FrameStep::FloorTile); }),
            (15 - 5) * (14 - 3));
  EXPECT_GE(rec.FindText("村长"), 0);
  EXPECT_GE(rec.FindSprite(Gfx.MonsterTex(1, 17)), 0);

  // Draw ranges far off the view are held to the surface's margin.
  G.DrawColFirst = INT_MIN;
  G.DrawColLast = INT_MAX;
  G.DrawRowFirst = -1000000;
  G.DrawRowLast = 1000000;
  G.ViewX = 0;
  G.ViewY = 0;
  Frame();
  EXPECT_EQ(std::count_if(rec.events.begin(), rec.events.end(), [](const Event& e) { return Is(e, FrameStep::FloorTile); }),
            17 * 16);  // columns 0..16 and rows 0..15 lie in the part (cells 1..17, 1..16)
}

// ---------------------------------------------------------------------------------
// The head-up display

TEST(HudBars, WidthsStayInsideTheirPictures) {
  EXPECT_EQ(BarWidth(0, 100), 0);
  EXPECT_EQ(BarWidth(50, 100), 50);
  EXPECT_EQ(BarWidth(100, 100), 100);
  EXPECT_EQ(BarWidth(1, 3), 33);
  EXPECT_EQ(BarWidth(2, 3), 67);
  EXPECT_EQ(BarWidth(150, 100), 100);
  EXPECT_EQ(BarWidth(-5, 100), 0);
  EXPECT_EQ(BarWidth(5, 0), 0);
  EXPECT_EQ(BarWidth(5, -10), 0);
  EXPECT_EQ(BarWidth(INT_MAX, 1), 100);
  EXPECT_EQ(BarWidth(INT_MIN, INT_MAX), 0);

  // The orb: Ex of Level² × 10 fills it (top 0), nothing leaves it empty (top 39).
  EXPECT_EQ(ExpFillTop(0, 1), 39);
  EXPECT_EQ(ExpFillTop(10, 1), 0);
  EXPECT_EQ(ExpFillTop(5, 1), 20);   // 19.5 rounds to even
  EXPECT_EQ(ExpFillTop(100, 1), 0);  // over the level's need: full, no further
  EXPECT_EQ(ExpFillTop(-40, 3), 39);
  EXPECT_EQ(ExpFillTop(50, 0), 39);  // level 0: no division by zero, empty
  EXPECT_EQ(ExpFillTop(INT_MAX, INT_MAX), 39);
}

TEST_F(SceneTest, HpAndMpBarsShowTheirShareAndNumbers) {
  struct Case {
    std::int32_t hp, max;
    int width;
  };
  for (const Case c : {Case{0, 100, 0}, Case{50, 100, 50}, Case{100, 100, 100}, Case{250, 100, 100},
                       Case{-7, 100, 0}, Case{30, 0, 0}}) {
    G.Player.HP = c.hp;
    G.Player.HpMax = c.max;
    G.Player.Mp = c.hp;
    G.Player.MpMax = c.max;
    Frame();
    const std::string text = std::to_string(c.hp) + "/" + std::to_string(c.max);
    for (plat::Texture bar : {Gfx.HpBarTex, Gfx.MpBarTex}) {
      const long i = rec.FindSprite(bar);
      if (c.width == 0) {
        EXPECT_LT(i, 0) << c.hp << "/" << c.max;
        continue;
      }
      ASSERT_GE(i, 0) << c.hp << "/" << c.max;
      EXPECT_EQ(rec[i].Src, (plat::Rect{0, 0, c.width, 10}));
      EXPECT_EQ(rec[i].X, 75.0f);
      EXPECT_EQ(rec[i].Y, bar == Gfx.HpBarTex ? 27.0f : 43.0f);
    }
    const long hpText = rec.FindText(text);
    ASSERT_GE(hpText, 0) << text;
    EXPECT_EQ(rec[hpText].X, 103.0f);
    EXPECT_EQ(rec[hpText].Y, 26.0f);
    EXPECT_EQ(rec[hpText].Colour, (plat::Color{0, 0, 255, 255}));
    const long mpText = rec.FindText(text, hpText);
    ASSERT_GE(mpText, 0);
    EXPECT_EQ(rec[mpText].Y, 42.0f);
    EXPECT_EQ(rec[mpText].Colour, (plat::Color{255, 0, 0, 255}));
  }
}

TEST_F(SceneTest, HpBarPixelsEndWhereItsShareEnds) {
  const scenetest::Picture bar = scenetest::PackPicture("\\date\\Game", 11);
  ASSERT_EQ(bar.w, 100);
  // The bar's right end, right of its numbers.
  auto rightEnd = [](const Screen& s, const Screen& empty) {
    int last = -1;
    for (int x = 160; x < 200; ++x) {
      for (int y = 27; y < 37; ++y) {
        if (s.At(x, y) != empty.At(x, y)) last = x;
      }
    }
    return last;
  };
  G.Player.HP = 0;
  const Screen empty = Shot();
  G.Player.HP = 100;
  const Screen full = Shot();
  G.Player.HP = 400;  // four times the maximum: no wider than full
  const Screen over = Shot();
  G.Player.HP = 90;
  const Screen part = Shot();
  int lastColumn = -1;
  for (int x = 0; x < bar.w; ++x) {
    for (int y = 0; y < bar.h; ++y) lastColumn = bar.Visible(x, y) ? x : lastColumn;
  }
  EXPECT_EQ(rightEnd(full, empty), 75 + lastColumn);
  EXPECT_EQ(rightEnd(over, empty), 75 + lastColumn);
  EXPECT_EQ(rightEnd(part, empty), 75 + 89);
}

TEST_F(SceneTest, ExperienceOrbFillsFromTheBottom) {
  struct Case {
    std::int32_t ex, level;
    int top;
  };
  for (const Case c : {Case{0, 2, 39}, Case{20, 2, 20}, Case{40, 2, 0}, Case{900, 2, 0}, Case{-5, 2, 39},
                       Case{10, 0, 39}}) {
    G.Player.Ex = c.ex;
    G.Player.Level = c.level;
    Frame();
    const long orb = rec.FindSprite(Gfx.ExpOrbTex);
    if (c.top == 39) {
      EXPECT_LT(orb, 0) << c.ex << " at level " << c.level;
      continue;
    }
    ASSERT_GE(orb, 0);
    EXPECT_EQ(rec[orb].Src, (plat::Rect{0, c.top, 39, 39 - c.top}));
    EXPECT_EQ(rec[orb].X, 20.0f);
    EXPECT_NEAR(rec[orb].Y, 20.0f + c.top, 0.51f);
    EXPECT_GT(orb, rec.FindSprite(Gfx.HudFrameTex));
  }
}

TEST_F(SceneTest, CheatAccountsHaveNoPanelButKeepTheBars) {
  G.Player.Ex = 5;
  G.CheatMode = 1;
  G.Fps = 31;
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.HudFrameTex), 0);
  EXPECT_LT(rec.FindSprite(Gfx.ExpOrbTex), 0);
  EXPECT_GE(rec.FindSprite(Gfx.HpBarTex), 0);
  EXPECT_GE(rec.FindSprite(Gfx.MpBarTex), 0);
  const long fps = rec.FindText("31");
  ASSERT_GE(fps, 0);
  EXPECT_EQ(rec[fps].X, 8.0f);
  EXPECT_EQ(rec[fps].Colour, (plat::Color{255, 0, 0, 255}));
}

// ---------------------------------------------------------------------------------
// Texts over the world

TEST_F(SceneTest, FloatingNumbersRiseFadeAndEnd) {
  G.ShowDamage = 1;
  FloatingText& hit = G.FloatingTexts[1];
  hit = FloatingText{G.ViewX + 7, G.ViewY + 7, 255, 50, 50, "125", 1};
  FloatingText& miss = G.FloatingTexts[2];
  miss = FloatingText{G.ViewX + 3, G.ViewY + 4, 255, 50, 50, "MISS", 97};
  G.ScrollX = 6;
  Frame();
  EXPECT_EQ(hit.Age, 3);
  // Three digits 10 pixels apart from 10 pixels right of the base.
  const long d1 = rec.FindSprite(Gfx.DigitTex[1]);
  const long d2 = rec.FindSprite(Gfx.DigitTex[2], d1);
  const long d5 = rec.FindSprite(Gfx.DigitTex[5], d2);
  ASSERT_GE(d1, 0);
  ASSERT_GE(d2, 0);
  ASSERT_GE(d5, 0);
  EXPECT_EQ(rec[d1].X, 7 * 48 + 6 + 10.0f);
  EXPECT_EQ(rec[d2].X, 7 * 48 + 6 + 20.0f);
  EXPECT_EQ(rec[d5].X, 7 * 48 + 6 + 30.0f);
  EXPECT_EQ(rec[d1].Y, 7 * 32 - 3.0f);
  EXPECT_EQ(rec[d1].Colour, (plat::Color{255, 50, 50, 255}));
  // "MISS" is one picture at the base, white; at 99 it is still opaque.
  const long m = rec.FindSprite(Gfx.DigitTex[10]);
  ASSERT_GE(m, 0);
  EXPECT_EQ(rec.CountSprites(Gfx.DigitTex[10]), 1);
  EXPECT_EQ(rec[m].X, 3 * 48 + 6.0f);
  EXPECT_EQ(rec[m].Y, 4 * 32 - 99.0f);
  EXPECT_EQ(rec[m].Colour, plat::Color::White());
  // Fading from 101: 245, then down by 20 a frame to 45 at 121, then freed.
  std::vector<int> alphas;
  while (miss.Age != 0) {
    Frame();
    alphas.push_back(rec[rec.FindSprite(Gfx.DigitTex[10])].Colour.a);
  }
  EXPECT_EQ(alphas, (std::vector<int>{245, 225, 205, 185, 165, 145, 125, 105, 85, 65, 45}));
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.DigitTex[10]), 0);
}

TEST_F(SceneTest, FloatingTextsWaitWhileDamageNumbersAreOff) {
  G.ShowDamage = 0;
  G.FloatingTexts[4] = FloatingText{1, 1, 0, 255, 0, "8", 1};
  Frame();
  Frame();
  EXPECT_EQ(G.FloatingTexts[4].Age, 1);
  EXPECT_LT(rec.FindSprite(Gfx.DigitTex[8]), 0);
  // A text that is not a number shows digit 0 for each character; far ages free it.
  G.ShowDamage = 1;
  G.FloatingTexts[4] = FloatingText{1, 1, 0, 255, 0, "x治", INT_MAX - 1};
  Frame();
  EXPECT_EQ(rec.CountSprites(Gfx.DigitTex[0]), 2);
  EXPECT_EQ(G.FloatingTexts[4].Age, 0);
}

TEST_F(SceneTest, LocationAndSystemMessages) {
  G.SysMessages[1] = SysMessage{0, 255, 255, "精灵召唤", 50};
  G.SysMessages[3] = SysMessage{255, 20, 20, "等级不够", 10};
  G.SysMessages[2] = SysMessage{1, 2, 3, "旧消息", 0};
  Frame();
  const long where = rec.FindText("村庄 (12,12)");
  ASSERT_GE(where, 0);
  EXPECT_EQ(rec[where].X, 14.0f);
  EXPECT_EQ(rec[where].Y, 384.0f);
  const long m1 = rec.FindText("精灵召唤");
  const long m3 = rec.FindText("等级不够");
  ASSERT_GE(m1, 0);
  ASSERT_GT(m3, m1);
  EXPECT_EQ(rec[m1].Y, 76.0f);
  EXPECT_EQ(rec[m3].Y, 108.0f);
  EXPECT_EQ(rec[m3].X, 15.0f);
  EXPECT_EQ(rec[m3].Colour, (plat::Color{255, 20, 20, 255}));
  EXPECT_LT(rec.FindText("旧消息"), 0);

  G.SubMap = 77;  // no such part: the numbers alone
  Frame();
  EXPECT_GE(rec.FindText(" (12,12)"), 0);
}

TEST_F(SceneTest, TargetBarShowsTheHoveredMonsterAndRunsDown) {
  AddKind(1, 1, "鸡", 80);
  AddMonster(9, 1, 3, 3).HP = 20;
  G.TargetMon = 9;
  G.TargetTimer = 2;
  Frame();
  EXPECT_EQ(G.TargetTimer, 1);
  const long back = rec.FindSprite(Gfx.TargetBarTex);
  ASSERT_GE(back, 0);
  EXPECT_FALSE(rec[back].Src.has_value());
  EXPECT_EQ(rec[back].Colour, (plat::Color{0, 0, 255, 255}));
  EXPECT_EQ(rec[back].X, 240.0f);
  const long fill = rec.FindSprite(Gfx.TargetBarTex, back);
  ASSERT_GE(fill, 0);
  EXPECT_EQ(rec[fill].Src, (plat::Rect{0, 0, 58, 22}));  // 20 / 80 of 230, rounded
  const long name = rec.FindText("   鸡");
  ASSERT_GE(name, 0);
  EXPECT_EQ(rec[name].X, 330.0f);
  Frame();
  EXPECT_EQ(G.TargetTimer, 0);
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.TargetBarTex), 0);

  // With every monster's health shown the bar never shows and the timer stays.
  G.ShowAllMonHp = 1;
  G.TargetTimer = 50;
  Frame();
  EXPECT_EQ(G.TargetTimer, 50);
  EXPECT_LT(rec.FindSprite(Gfx.TargetBarTex), 0);

  // A target that is no monster runs the timer down and draws nothing.
  G.ShowAllMonHp = 0;
  G.TargetMon = 4000;
  Frame();
  EXPECT_EQ(G.TargetTimer, 49);
  EXPECT_LT(rec.FindSprite(Gfx.TargetBarTex), 0);
  // A monster over its kind's health fills the bar and no more; a kind of 0 health none.
  G.TargetMon = 9;
  G.Monsters[9].HP = 500;
  Frame();
  EXPECT_EQ(rec[rec.FindSprite(Gfx.TargetBarTex, rec.FindSprite(Gfx.TargetBarTex))].Src, (plat::Rect{0, 0, 230, 22}));
  G.MonsterKinds[1].Hp = 0;
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.TargetBarTex, rec.FindSprite(Gfx.TargetBarTex)), 0);
}

TEST_F(SceneTest, ColourFlashModes) {
  G.FlashR = 255;
  G.FlashMode = 1;
  G.FlashAlpha = 0;
  std::vector<int> alphas;
  for (int i = 0; i < 25; ++i) {
    Frame();
    const long f = rec.FindSprite(Gfx.FlashTex);
    ASSERT_GE(f, 0);
    EXPECT_EQ(rec[f].ScaleX, 360.0f);
    EXPECT_EQ(rec[f].ScaleY, 220.0f);
    EXPECT_EQ(rec[f].X, 0.0f);
    alphas.push_back(rec[f].Colour.a);
  }
  EXPECT_EQ(alphas.front(), 48);
  EXPECT_EQ(alphas[22], 4);
  EXPECT_EQ(alphas[23], 48);  // below 5: back to 50, less 2
  // Scaling is back to 1 for what follows.
  EXPECT_EQ(Gfx.ScalingX, 1.0f);

  // After death the flash stays at the alpha death gave it.
  G.FlashMode = 3;
  G.FlashR = 0;
  G.FlashB = 255;
  G.FlashAlpha = 80;
  for (int i = 0; i < 3; ++i) {
    Frame();
    EXPECT_EQ(rec[rec.FindSprite(Gfx.FlashTex)].Colour, (plat::Color{0, 0, 255, 80}));
  }
  G.FlashMode = 0;
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.FlashTex), 0);
}

TEST_F(SceneTest, ScreenEffectsAgeInDrawnFramesOnly) {
  AddScreenEffect(4, G.ViewX + 3, G.ViewY + 3, 0);
  AddScreenEffect(2, 0, 0, 0);
  Frame();
  EXPECT_EQ(G.ScreenEffects[1].Frame, 1);
  EXPECT_EQ(G.ScreenEffects[2].Frame, 1);
  // The cast flash is under the characters, the others over them.
  EXPECT_LT(rec.FindSprite(Gfx.EffectTex(2, 1)), rec.FindSprite(Body()));
  EXPECT_GT(rec.FindSprite(Gfx.EffectTex(4, 1)), rec.FindSprite(Body()));
}

}  // namespace
