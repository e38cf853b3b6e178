// The equipment-set aura: which worn names complete a set, its colour, and the pulsing
// picture behind the player.
#include <gtest/gtest.h>

#include "graphics/aura.h"
#include "graphics/scene_fixture.h"
#include "platform/files.h"

namespace {

void Wear(int slot, const std::string& name) { G.Player.Items[static_cast<std::size_t>(slot)].Name = name; }

void WearSet(const std::string& prefix, std::initializer_list<int> slots) {
  for (int s : slots) Wear(s, prefix + "饰品" + std::to_string(s));
}

class EquipSetTest : public ::testing::Test {
 protected:
  void SetUp() override { G = GameState{}; }
  void TearDown() override { G = GameState{}; }
};

TEST_F(EquipSetTest, FourMatchingItemsInTheRightSlotsCompleteTheSet) {
  WearSet("魔血", {2, 4, 7, 9});
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 5);
  EXPECT_EQ(G.AuraR, 255);
  EXPECT_EQ(G.AuraG, 0);
  EXPECT_EQ(G.AuraB, 0);

  G = GameState{};
  WearSet("魔血", {2, 4, 6, 8});
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 5);

  // Slots 2, 4, 6 and 7: no item of slot 8 or 9 matches.
  G = GameState{};
  WearSet("魔血", {2, 4, 6, 7});
  Wear(8, "法神之戒");
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 0);
  // Nor 2, 4, 8, 9 without 6 or 7.
  G = GameState{};
  WearSet("魔血", {2, 4, 8, 9});
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 0);
}

TEST_F(EquipSetTest, EveryListedPrefixHasItsColourAndOthersAreWhite) {
  struct Case {
    const char* prefix;
    int r, g, b;
  };
  const Case cases[] = {
      {"剧毒", 0, 255, 0},   {"魔血", 255, 0, 0},    {"圣战", 255, 100, 100}, {"法神", 100, 100, 255},
      {"狂战", 255, 0, 0},   {"圣尊", 0, 255, 0},    {"魔神", 0, 0, 255},     {"死神", 0, 0, 0},
      {"皇族", 255, 50, 0},  {"精忠", 50, 255, 0},   {"魔术", 0, 50, 255},    {"无名", 255, 255, 255},
      {"AB", 255, 255, 255},
  };
  for (const Case& c : cases) {
    G = GameState{};
    G.AuraB = 77;  // what an earlier check left: the two sets without blue do not keep it
    WearSet(c.prefix, {2, 4, 6, 8});
    CheckEquipSet();
    EXPECT_EQ(G.AuraLevel, 5) << c.prefix;
    EXPECT_EQ(G.AuraR, c.r) << c.prefix;
    EXPECT_EQ(G.AuraG, c.g) << c.prefix;
    EXPECT_EQ(G.AuraB, c.b) << c.prefix;
  }
}

TEST_F(EquipSetTest, LeadingSlotsDecideWhetherTheColourChanges) {
  G.AuraR = 1;
  G.AuraG = 2;
  G.AuraB = 3;
  G.AuraLevel = 5;
  // Slot 2 empty: no aura whatever the others hold, the colour as it was.
  WearSet("魔神", {4, 6, 7, 8, 9});
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 0);
  EXPECT_EQ(G.AuraR, 1);
  EXPECT_EQ(G.AuraB, 3);
  // Slots 2 and 4 differ: the same.
  Wear(2, "剧毒项链");
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 0);
  EXPECT_EQ(G.AuraG, 2);
  // Slots 2 and 4 match without a complete set: no aura, but the colour has switched.
  G = GameState{};
  WearSet("法神", {2, 4});
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 0);
  EXPECT_EQ(G.AuraR, 100);
  EXPECT_EQ(G.AuraB, 255);
  // Completing it, then taking one item off again.
  WearSet("法神", {7, 8});
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 5);
  G.Player.Items[8] = ItemRecord{};
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 0);
}

TEST_F(EquipSetTest, ShortNamesAreTheirOwnPrefix) {
  for (int s : {2, 4, 6, 9}) Wear(s, "玉");
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 5);
  Wear(9, "玉佩");  // "玉佩" begins otherwise than "玉"
  CheckEquipSet();
  EXPECT_EQ(G.AuraLevel, 0);
}

// ---------------------------------------------------------------------------------
// Drawing

using scenetest::SceneTest;

class AuraDrawTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    WearSet("皇族", {2, 4, 6, 8});
    CheckEquipSet();
  }
};

TEST_F(AuraDrawTest, PulsesBehindThePlayerDoubledInItsColour) {
  std::vector<int> alphas;
  for (int i = 0; i < 27; ++i) {
    Frame();
    const long aura = rec.FindSprite(Gfx.AuraTex);
    ASSERT_GE(aura, 0);
    EXPECT_EQ(rec[aura].X, 308.0f);
    EXPECT_EQ(rec[aura].Y, 206.0f);
    EXPECT_EQ(rec[aura].ScaleX, 2.0f);
    EXPECT_EQ(rec[aura].ScaleY, 2.0f);
    EXPECT_EQ(rec[aura].Colour.r, 255);
    EXPECT_EQ(rec[aura].Colour.g, 50);
    EXPECT_EQ(rec[aura].Colour.b, 0);
    alphas.push_back(rec[aura].Colour.a);
    // Behind the player, over the ground; what follows is drawn unscaled.
    const long body = rec.FindSprite(Gfx.BodyTex[static_cast<std::size_t>(G.Player.FrameNo)]);
    EXPECT_LT(aura, body);
    EXPECT_EQ(rec[body].ScaleX, 1.0f);
  }
  // From 0: 255, then down by 10 to 5, then 255 again.
  EXPECT_EQ(alphas[0], 255);
  EXPECT_EQ(alphas[1], 245);
  EXPECT_EQ(alphas[25], 5);
  EXPECT_EQ(alphas[26], 255);
}

TEST_F(AuraDrawTest, ShowsOnScreenAroundThePlayer) {
  G.AuraLevel = 0;
  const scenetest::Screen without = Shot();
  G.AuraLevel = 5;
  G.AuraAlpha = 0;  // the next frame draws it fully opaque
  const scenetest::Screen with = Shot();
  // The doubled picture covers (308, 206) onwards; its corner pixels outside the player.
  const auto bytes = plat::ReadAllBytes(plat::ResolvePath("\\date\\Mgc\\Tz.tga"));
  ASSERT_TRUE(bytes.has_value());
  const scenetest::Picture aura = scenetest::Decode(*bytes);
  ASSERT_GT(aura.w, 0);
  int changed = 0;
  for (int y = 206; y < 206 + 2 * aura.h; ++y) {
    for (int x = 308; x < 308 + 2 * aura.w; ++x) changed += with.At(x, y) != without.At(x, y) ? 1 : 0;
  }
  EXPECT_GT(changed, 50);
  // Nothing beyond the doubled picture changed.
  for (int x = 308 + 2 * aura.w; x < 720; x += 7) EXPECT_EQ(with.At(x, 240), without.At(x, 240)) << x;
}

TEST_F(AuraDrawTest, NoAuraBelowLevelTwoOrForACheatAccount) {
  G.AuraAlpha = 100;
  G.AuraLevel = 1;
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.AuraTex), 0);
  EXPECT_EQ(G.AuraAlpha, 100);
  G.AuraLevel = 5;
  G.CheatMode = 1;
  Frame();
  EXPECT_LT(rec.FindSprite(Gfx.AuraTex), 0);
  EXPECT_EQ(G.AuraAlpha, 100);
  G.CheatMode = 0;
  Frame();
  EXPECT_EQ(G.AuraAlpha, 90);
}

}  // namespace
