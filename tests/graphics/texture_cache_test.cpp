// The texture caches: loaded flags, bounds, the low-memory flush and the map-load reset.
#include <gtest/gtest.h>

#include "graphics/graphics_fixture.h"
#include "graphics/pictures.h"
#include "graphics/test_pictures.h"
#include "graphics/texture_cache.h"

namespace {

class CacheTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    testpics::WriteBytes(dir / "date/Item/1.bmp", testpics::Numbered(1));
    StartDevice();
  }

  int MonsterLoadedCount() const {
    int n = 0;
    for (auto f : Gfx.MonsterLoaded.All()) n += f;
    return n;
  }
  int FjLoadedCount() const {
    int n = 0;
    for (int set = 1; set <= kFjSetCount; ++set) {
      for (auto f : Gfx.FjLoaded[static_cast<std::size_t>(set)]) n += f;
    }
    return n;
  }
};

TEST_F(CacheTest, AnNpcFrameLoadsOnceAndAlone) {
  testpics::WriteNumberedPack(dir / "date/NPC/5", 12);
  const plat::Texture first = NpcTexture(5, 3);
  ASSERT_TRUE(first);
  EXPECT_EQ(NpcTexture(5, 3), first);  // the second draw finds it loaded
  EXPECT_EQ(Gfx.NpcLoaded(5, 3), 1);
  EXPECT_EQ(Gfx.NpcLoaded(5, 1), 0);
  EXPECT_EQ(Gfx.NpcLoaded(5, 2), 0);
  EXPECT_EQ(Gfx.NpcLoaded(5, 4), 0);

  // Picture 3 of the pack: its colour tells it apart from picture 4.
  BeginScene();
  Gfx.Device->DrawSprite(first, std::nullopt, 0, 0);
  EXPECT_EQ(Gfx.Device->ReadPixel(1, 1), (plat::Color{23, 10, 77, 255}));
}

TEST_F(CacheTest, NumbersOutsideTheBoundsDrawNothingAndLoadNothing) {
  // No file is touched: a load would end the program for want of the pack.
  EXPECT_FALSE(NpcTexture(54, 1));
  EXPECT_FALSE(NpcTexture(-1, 1));
  EXPECT_FALSE(NpcTexture(1, 13));
  EXPECT_FALSE(MonsterTexture(120, 1));
  EXPECT_FALSE(MonsterTexture(1, 209));
  EXPECT_FALSE(MonsterTexture(-5, -5));
  EXPECT_FALSE(FjTexture(5, 1));
  EXPECT_FALSE(FjTexture(0, 1));
  EXPECT_FALSE(FjTexture(1, 674));
  EXPECT_FALSE(FjTexture(4, 5552));
  EXPECT_FALSE(FloorTile(221));
  // Pack pictures start at 1: a 0 from the data draws nothing instead of ending the game.
  EXPECT_FALSE(FloorTile(0));
  EXPECT_FALSE(NpcTexture(1, 0));
  EXPECT_FALSE(FjTexture(1, 0));
  EXPECT_FALSE(MonsterTexture(1, 0));
  EXPECT_FALSE(FloorTile(-1));
  EXPECT_FALSE(ItemTexture(441));
  EXPECT_FALSE(DeadTexture(4, 1));
  EXPECT_FALSE(DeadTexture(1, 9));
  EXPECT_FALSE(EffectTexture(11, 1));
  EXPECT_FALSE(SkillTexture(21, 1));
  EXPECT_FALSE(DigitTexture(11));
  EXPECT_FALSE(HeadTexture(281));
  EXPECT_EQ(NpcOffset(54, 1), FrameOffset{});
  EXPECT_EQ(MonsterOffset(1, 209), FrameOffset{});
  EXPECT_EQ(HeadOffset(0), FrameOffset{});
  G.Player.FrameNo = 281;
  EXPECT_FALSE(BodyTexture());
  EXPECT_FALSE(WeaponTexture());
  G.Player.FrameNo = 0;
  EXPECT_FALSE(BodyTexture());

  LoadFjTex(5, 3);
  LoadMonsterTex(120, 0);
  LoadNpcTex(0, 13);
  LoadItemTex(-1);
  EXPECT_EQ(G.MonsterTexCount, 0);
  EXPECT_EQ(FjLoadedCount(), 0);
  EXPECT_TRUE(Shown().empty());
}

TEST_F(CacheTest, LowMemoryModeDropsMonstersAndMapObjectsAtThe142ndFrame) {
  testpics::WriteNumberedPack(dir / "date/Mon/9", 150, 1, 1);
  testpics::WriteNumberedPack(dir / "date/fj/2", 3);
  G.LowMemoryMode = 2;
  ASSERT_TRUE(FjTexture(2, 3));
  for (int f = 1; f <= 141; ++f) ASSERT_TRUE(MonsterTexture(9, f)) << f;
  EXPECT_EQ(G.MonsterTexCount, 141);
  EXPECT_EQ(MonsterLoadedCount(), 141);
  EXPECT_EQ(FjLoadedCount(), 1);

  ASSERT_TRUE(MonsterTexture(9, 142));
  EXPECT_EQ(G.MonsterTexCount, 1);
  EXPECT_EQ(MonsterLoadedCount(), 1);
  EXPECT_EQ(Gfx.MonsterLoaded(9, 142), 1);
  EXPECT_FALSE(Gfx.MonsterTex(9, 1));
  EXPECT_EQ(FjLoadedCount(), 0);
  EXPECT_FALSE(Gfx.FjTex[2][3]);
  // The map object loads again on its next draw.
  EXPECT_TRUE(FjTexture(2, 3));
}

TEST_F(CacheTest, WithoutLowMemoryModeTheMonsterCacheGrows) {
  testpics::WriteNumberedPack(dir / "date/Mon/9", 150, 1, 1);
  G.LowMemoryMode = 1;
  for (int f = 1; f <= 150; ++f) ASSERT_TRUE(MonsterTexture(9, f));
  EXPECT_EQ(G.MonsterTexCount, 150);
  EXPECT_EQ(MonsterLoadedCount(), 150);
}

TEST_F(CacheTest, SetsWithoutPicturesAreOnlyMarked) {
  LoadSkillTex(6);
  LoadSkillTex(14);
  LoadSkillTex(0);
  EXPECT_EQ(Gfx.SkillLoaded[6], 1);
  EXPECT_EQ(Gfx.SkillLoaded[14], 1);
  EXPECT_EQ(Gfx.SkillLoaded[0], 1);
  LoadEffectTex(0);
  EXPECT_EQ(Gfx.EffectLoaded[0], 1);
  EXPECT_TRUE(Shown().empty());
}

TEST_F(CacheTest, SkillFramesTakeTheirOffsetsRoundedDown) {
  std::string xy;
  for (int i = 1; i <= 10; ++i) xy += std::to_string(i) + ".7, -" + std::to_string(i) + ".2\r\n";
  testpics::WriteText(dir / "date/mgc/5/xy.txt", xy);
  for (int i = 1; i <= 10; ++i) testpics::WriteBytes(dir / "date/mgc/5" / (std::to_string(i) + ".tga"), testpics::Numbered(i));
  EXPECT_TRUE(SkillTexture(5, 10));
  EXPECT_EQ(Gfx.SkillLoaded[5], 1);
  EXPECT_EQ(SkillOffset(5, 1), (FrameOffset{1, -2}));
  EXPECT_EQ(SkillOffset(5, 10), (FrameOffset{10, -11}));
  EXPECT_FALSE(SkillTexture(5, 11));  // set 5 has ten frames
}

TEST_F(CacheTest, AShortXyFileEndsTheProgramNamingIt) {
  testpics::WriteText(dir / "date/mgc/7/xy.txt", "1,2,3,4,5,6,7,8,9,10,11");  // 11 of 12 values
  for (int i = 1; i <= 6; ++i) testpics::WriteBytes(dir / "date/mgc/7" / (std::to_string(i) + ".tga"), testpics::Numbered(i));
  EXPECT_THROW(LoadSkillTex(7), plat::ProgramEnded);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_NE(Shown()[0].text.find("\\date\\mgc\\7\\xy.txt"), std::string::npos);
}

TEST_F(CacheTest, AMissingCorpseFrameEndsTheProgramNamingIt) {
  for (int i = 1; i <= 7; ++i) testpics::WriteBytes(dir / "date/Dead/2" / (std::to_string(i) + ".tga"), testpics::Numbered(i));
  EXPECT_THROW(DeadTexture(2, 1), plat::ProgramEnded);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_NE(Shown()[0].text.find("\\date\\Dead\\2\\8.tga"), std::string::npos);
}

TEST_F(CacheTest, AMapLoadEmptiesTheMapSetsButKeepsSkillsAndIcons) {
  for (int i = 1; i <= 8; ++i) testpics::WriteBytes(dir / "date/Dead/1" / (std::to_string(i) + ".tga"), testpics::Numbered(i));
  for (int i = 1; i <= 3; ++i) testpics::WriteBytes(dir / "date/mgc/10" / (std::to_string(i) + ".tga"), testpics::Numbered(i));
  testpics::WriteNumberedPack(dir / "date/floor", 4);
  testpics::WriteNumberedPack(dir / "date/NPC/1", 2);
  testpics::WriteNumberedPack(dir / "date/Mon/1", 2);

  // Item icons are found under the working folder.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  ASSERT_TRUE(ItemTexture(1));
  std::filesystem::current_path(cwd);

  ASSERT_TRUE(DeadTexture(1, 8));
  ASSERT_TRUE(SkillTexture(10, 3));
  ASSERT_TRUE(FloorTile(4));
  ASSERT_TRUE(NpcTexture(1, 2));
  ASSERT_TRUE(MonsterTexture(1, 1));
  EXPECT_EQ(Gfx.Device->SurfaceSize(Gfx.FloorSurf[4]), (plat::Size{48, 32}));

  EmptyMapTextureSets();
  EXPECT_EQ(Gfx.DeadLoaded[1], 0);
  EXPECT_EQ(Gfx.FloorLoaded[4], 0);
  EXPECT_EQ(Gfx.NpcLoaded(1, 2), 0);
  EXPECT_EQ(MonsterLoadedCount(), 0);
  EXPECT_EQ(G.MonsterTexCount, 0);
  EXPECT_EQ(Gfx.SkillLoaded[10], 1);
  EXPECT_TRUE(Gfx.SkillTex(10, 3));
  EXPECT_EQ(Gfx.ItemLoaded[1], 1);
  // The corpse frames load again on their next draw.
  EXPECT_TRUE(DeadTexture(1, 1));
}

TEST_F(CacheTest, BodyAndWeaponFramesComeFromTheirLooks) {
  testpics::WriteNumberedPack(dir / "date/Rpg/3", 30);
  testpics::WriteNumberedPack(dir / "date/weapon/4", 30);
  G.BodyNo = 3;
  G.WeaponNo = 4;
  G.Player.FrameNo = 30;
  ASSERT_TRUE(BodyTexture());
  ASSERT_TRUE(WeaponTexture());
  EXPECT_EQ(Gfx.BodyLoaded[30], 1);
  EXPECT_EQ(Gfx.WeaponLoaded[30], 1);
  EmptyBodyTex();
  EXPECT_EQ(Gfx.BodyLoaded[30], 0);
  EXPECT_EQ(Gfx.WeaponLoaded[30], 1);
}

}  // namespace
