// The device's start and end, the low-memory switch and the transparent black.
#include <gtest/gtest.h>

#include "graphics/device.h"
#include "graphics/graphics_fixture.h"
#include "graphics/look.h"
#include "graphics/pictures.h"
#include "graphics/test_pictures.h"
#include "graphics/texture_cache.h"
#include "platform/db.h"

namespace {

class DeviceTest : public GraphicsTest {
 protected:
  void SetUp() override {
    GraphicsTest::SetUp();
    testpics::WriteBytes(dir / "date/Item/1.bmp", testpics::Bmp(16, 8, plat::Color{40, 60, 80}));
  }
  void WriteDisplayMemory(const std::string& text) { testpics::WriteText(dir / "DisplayMemory.cfg", text); }
};

TEST_F(DeviceTest, StartValuesAndConnectionStrings) {
  StartDevice();
  ASSERT_NE(Gfx.Device, nullptr);
  EXPECT_EQ(G.GameRunning, 1);
  EXPECT_EQ(G.GamePaused, 0);
  EXPECT_EQ(G.FpsAdjust, 25);
  EXPECT_EQ(G.SoundAliasCount, 8);
  EXPECT_EQ(G.Player.TintA, 255);
  EXPECT_EQ(G.ObjectTintB, 255);
  EXPECT_EQ(G.Spirit.Frame, 1);
  EXPECT_EQ(G.LowMemoryMode, 0);  // no DisplayMemory.cfg: the mode stays off
  EXPECT_TRUE(Gfx.Device->HasFont());

  // The connection strings name the three data files under the program folder.
  EXPECT_EQ(G.NpcConnStr.rfind("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False;Data Source=", 0), 0u);
  EXPECT_NE(G.NpcConnStr.find(";Jet OLEDB:Database Password=qm25170894;"), std::string::npos);
  EXPECT_EQ(std::filesystem::path(plat::db::DataSourceOf(G.NpcConnStr)), plat::ResolvePath("\\Date\\Mon\\75.dat"));
  EXPECT_EQ(std::filesystem::path(plat::db::DataSourceOf(G.MonConnStr)), dir.path() / "date/rpg/21.dat");
  EXPECT_EQ(std::filesystem::path(plat::db::DataSourceOf(G.ItemConnStr)), plat::ResolvePath("\\Date\\Mon\\74.dat"));

  // The map surface holds the first item picture, scaled to 912 x 576.
  EXPECT_EQ(Gfx.Device->SurfaceSize(Gfx.MapSurface), (plat::Size{912, 576}));
  ASSERT_TRUE(Gfx.Device->CopyRect(Gfx.MapSurface, plat::Rect{900, 560, 12, 16}, 0, 0));
  EXPECT_EQ(Gfx.Device->ReadPixel(5, 5), (plat::Color{40, 60, 80, 255}));
}

TEST_F(DeviceTest, AMissingFirstItemPictureEndsTheStartWithItsName) {
  std::filesystem::remove(dir / "date/Item/1.bmp");
  EXPECT_THROW(StartDevice(), plat::ProgramEnded);
  ASSERT_EQ(Shown().size(), 1u);
  EXPECT_NE(Shown()[0].text.find("\\date\\Item\\1.bmp"), std::string::npos);
}

TEST_F(DeviceTest, DisplayMemorySwitchesTheLowMemoryModeOnlyWithTwo) {
  struct Case {
    const char* text;
    int mode;
  };
  const Case cases[] = {
      {"2", 2},      {"2\r\n", 2},  {" 2 ", 2},  {"2,7", 2}, {"1", 1},    {"0", 0},    {"3", 3},
      {"255", 255},  {"256", 0},    {"-1", 0},   {"abc", 0}, {"2abc", 0}, {"", 0},     {"\"2\"", 2},
      {"2.4", 2},
  };
  for (const Case& c : cases) {
    WriteDisplayMemory(c.text);
    EXPECT_EQ(ReadDisplayMemory(), c.mode) << "\"" << c.text << "\"";
  }
  std::filesystem::remove(dir / "DisplayMemory.cfg");
  EXPECT_EQ(ReadDisplayMemory(), 0);

  WriteDisplayMemory("2,7");
  StartDevice();
  EXPECT_EQ(G.LowMemoryMode, 2);
}

TEST_F(DeviceTest, PureBlackIsTransparentAndNearBlackIsDrawn) {
  StartDevice();
  // Two 10 x 10 sprites with a red centre: one on (0, 0, 0), one on (0, 0, 1).
  testpics::WritePack(dir / "date/Game",
                      {testpics::Bmp(10, 10, plat::Color{0, 0, 0}, plat::Rect{3, 3, 4, 4}, plat::Color{255, 0, 0}),
                       testpics::Bmp(10, 10, plat::Color{0, 0, 1}, plat::Rect{3, 3, 4, 4}, plat::Color{255, 0, 0})});
  plat::Texture black, nearBlack;
  LoadTexPack(black, "\\date\\Game", 1);
  LoadTexPack(nearBlack, "\\date\\Game", 2);
  BeginScene();
  ClearScene(plat::Color{255, 255, 255, 255});
  Gfx.Device->DrawSprite(black, std::nullopt, 100, 100);
  Gfx.Device->DrawSprite(nearBlack, std::nullopt, 200, 100);
  PresentScene();

  EXPECT_EQ(Gfx.Device->ReadPixel(101, 101), (plat::Color{255, 255, 255, 255}));  // background gone
  EXPECT_EQ(Gfx.Device->ReadPixel(105, 105), (plat::Color{255, 0, 0, 255}));
  EXPECT_EQ(Gfx.Device->ReadPixel(201, 101), (plat::Color{0, 0, 1, 255}));  // background kept
  EXPECT_EQ(Gfx.Device->ReadPixel(205, 105), (plat::Color{255, 0, 0, 255}));
}

TEST_F(DeviceTest, TheTitleTextIsDrawnFromItsPointOnOneLine) {
  StartDevice();
  BeginScene();
  ClearScene(plat::Color::Black());
  DrawTextAt("Orvanth：6.0.02", plat::Color::White(), 20.4f, 420.6f, 30, 20);
  // Right 30 and bottom 20 cut nothing: the text reaches past x 30 and below y 420.
  bool lit = false;
  for (int x = 40; x < 120 && !lit; ++x) {
    for (int y = 421; y < 440 && !lit; ++y) lit = Gfx.Device->ReadPixel(x, y).r > 128;
  }
  EXPECT_TRUE(lit);
  // Nothing above the rounded y.
  for (int x = 0; x < 200; ++x) EXPECT_EQ(Gfx.Device->ReadPixel(x, 419).r, 0) << x;
}

TEST_F(DeviceTest, EndGameReleasesEverythingAndEnds) {
  StartDevice();
  testpics::WriteNumberedPack(dir / "date/NPC/3", 4);
  testpics::WriteNumberedPack(dir / "date/Mon/2", 4);
  ASSERT_TRUE(NpcTexture(3, 2));
  ASSERT_TRUE(MonsterTexture(2, 1));
  Looks.BodyZb[5] = FrameOffset{17, 2};
  Gfx.HeadZb[4] = FrameOffset{3, 4};

  EXPECT_THROW(EndGame(), plat::ProgramEnded);
  EXPECT_EQ(Gfx.Device, nullptr);
  EXPECT_FALSE(Gfx.MapSurface);
  EXPECT_EQ(Gfx.NpcLoaded(3, 2), 0);
  EXPECT_FALSE(Gfx.NpcTex(3, 2));
  EXPECT_EQ(Gfx.MonsterLoaded(2, 1), 0);
  EXPECT_EQ(Looks.BodyZb[5], FrameOffset{});
  EXPECT_EQ(Gfx.HeadZb[4], FrameOffset{});
  EXPECT_TRUE(Shown().empty());  // no question asked
}

}  // namespace
