// The start-up pictures and tables.
#include <gtest/gtest.h>

#include "graphics/graphics_fixture.h"
#include "graphics/startup_assets.h"
#include "graphics/test_pictures.h"
#include "graphics/texture_cache.h"
#include "window/form1.h"

namespace {

class StartupAssetsTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    testpics::WriteStartupFolder(dir.path());
    ui::BuildMainWindow();
    StartDevice();
  }
  void TearDown() override {
    GraphicsTest::TearDown();
    ui::BuildMainWindow();
  }

  // Draws 26 particles' worth of scripted draws: y, x, kind for each.
  static std::vector<double> ParticleDraws() {
    std::vector<double> d;
    for (int i = 0; i < 26; ++i) {
      const double u = (i % 2 == 0) ? 0.0 : 0.999999;
      d.insert(d.end(), {u, u, u});
    }
    return d;
  }
};

TEST_F(StartupAssetsTest, LoadsEverythingAndShowsTheTitle) {
  testsupport::ScriptedDraws draws(ParticleDraws());
  LoadGraphics();
  EXPECT_EQ(draws.Left(), 0u);
  EXPECT_TRUE(Shown().empty());

  // Heads: pictures and offsets; the tables of NPCs and monsters.
  EXPECT_TRUE(HeadTexture(1));
  EXPECT_TRUE(HeadTexture(280));
  EXPECT_EQ(HeadOffset(1), (FrameOffset{1001, -1}));
  EXPECT_EQ(HeadOffset(280), (FrameOffset{1280, -280}));
  EXPECT_EQ(NpcOffset(1, 1), (FrameOffset{101, -1}));
  EXPECT_EQ(NpcOffset(53, 12), (FrameOffset{5312, -12}));
  EXPECT_EQ(MonsterOffset(119, 208), (FrameOffset{1398, -208}));
  EXPECT_EQ(MonsterOffset(1, 1), (FrameOffset{11, -1}));

  // The display, the digits and the effect pictures.
  for (plat::Texture t : {Gfx.HudFrameTex, Gfx.ExpOrbTex, Gfx.HpBarTex, Gfx.MpBarTex, Gfx.MonHpFillTex,
                          Gfx.MonHpFrameTex, Gfx.TargetBarTex, Gfx.AuraTex, Gfx.SpiritGlowTex, Gfx.FlashTex}) {
    EXPECT_TRUE(t);
  }
  for (int d = 0; d <= 10; ++d) EXPECT_TRUE(DigitTexture(d)) << d;
  EXPECT_EQ(Gfx.Device->SurfaceSize(Gfx.LoadingSurfSmall), (plat::Size{180, 40}));
  EXPECT_EQ(Gfx.Device->SurfaceSize(Gfx.LoadingSurfLarge), (plat::Size{190, 190}));

  // The particles at the ends of their ranges: y 1..400, x 50..749, kind 1..3.
  EXPECT_EQ(G.WindParticles[0].Y, 1);
  EXPECT_EQ(G.WindParticles[0].X, 50);
  EXPECT_EQ(G.WindParticles[0].Kind, 1);
  EXPECT_EQ(G.WindParticles[25].Y, 400);
  EXPECT_EQ(G.WindParticles[25].X, 749);
  EXPECT_EQ(G.WindParticles[25].Kind, 3);

  // The title line replaced the loading screen, and the title menu is up.
  BeginScene();
  EXPECT_EQ(Gfx.Device->ReadPixel(560, 410), plat::Color::Black());  // where the loading bar was
  bool lit = false;
  for (int x = 20; x < 140 && !lit; ++x) {
    for (int y = 420; y < 436 && !lit; ++y) lit = Gfx.Device->ReadPixel(x, y).r > 128;
  }
  EXPECT_TRUE(lit);
  EXPECT_TRUE(ui::Form1.MainMeun->Visible);
}

TEST_F(StartupAssetsTest, TheLoadingScreenComesBeforeTheTables) {
  // A missing monster table ends the start while the loading screen is still shown.
  std::filesystem::remove(dir / "date/Mon/60.zb");
  testsupport::ScriptedDraws draws(ParticleDraws());
  EXPECT_THROW(LoadGraphics(), plat::ProgramEnded);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_EQ(Shown()[0].text, "文件缺失，程序不能进行\r\n\\date\\Mon\\60.zb");
  EXPECT_FALSE(ui::Form1.MainMeun->Visible);
}

TEST_F(StartupAssetsTest, ShortAndDamagedTablesEndTheProgram) {
  // 415 values: one short of 208 frames.
  std::string values;
  for (int i = 0; i < 415; ++i) values += "1,";
  testpics::WriteText(dir / "date/Mon/7.zb", values);
  EXPECT_THROW(ReadOffsetTable("\\date\\Mon\\7.zb", 208), plat::ProgramEnded);
  EXPECT_THROW(ReadOffsetTable("\\date\\Mon\\none.zb", 208), plat::ProgramEnded);
  testpics::WriteText(dir / "date/NPC/9.zb", "1,2,x,4");
  EXPECT_THROW(ReadOffsetTable("\\date\\NPC\\9.zb", 2), plat::ProgramEnded);
  testpics::WriteText(dir / "date/NPC/9.zb", "1,2,70000,4");
  EXPECT_THROW(ReadOffsetTable("\\date\\NPC\\9.zb", 2), plat::ProgramEnded);
  EXPECT_EQ(Shown().size(), 4u);
}

TEST_F(StartupAssetsTest, ValuesAfterTheLastFrameAreIgnored) {
  std::string values;
  for (int i = 1; i <= 30; ++i) values += std::to_string(i) + (i % 2 ? " " : "\r\n");
  testpics::WriteText(dir / "date/NPC/9.zb", values);
  const auto t = ReadOffsetTable("\\date\\NPC\\9.zb", 12);
  ASSERT_EQ(t.size(), 13u);
  EXPECT_EQ(t[1], (FrameOffset{1, 2}));
  EXPECT_EQ(t[12], (FrameOffset{23, 24}));
}

}  // namespace
