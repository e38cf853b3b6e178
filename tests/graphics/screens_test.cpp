// The logos, the intro picture and the ending.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "graphics/graphics_fixture.h"
#include "graphics/screens.h"
#include "graphics/test_pictures.h"
#include "window/form1.h"

namespace {

void Post(std::function<void()> fn) {
  plat::InputEvent e{};
  e.type = plat::InputEvent::Custom;
  e.custom = std::move(fn);
  plat::Application::Get().Post(std::move(e));
}

class ScreensTest : public GraphicsTest {
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

  plat::Color Pixel(int x, int y) {
    BeginScene();
    return Gfx.Device->ReadPixel(x, y);
  }

  struct Mark {
    int x, y;
    plat::Color colour;
    std::string name;
  };

  // A watcher that runs at every pump: it names the picture the screen shows (a known
  // colour at a known point) and holds Enter while one is shown, else releases it.
  void Watch(std::vector<Mark> marks) {
    watch_ = [this, marks] {
      std::string seen;
      for (const Mark& m : marks) {
        if (Pixel(m.x, m.y) == m.colour) seen = m.name;
      }
      if (!seen.empty() && (log.empty() || log.back() != seen)) log.push_back(seen);
      plat::SetKeyHeld(plat::vk::Return, !seen.empty());
      Post(watch_);
    };
    Post(watch_);
  }

  std::vector<std::string> log;

 private:
  std::function<void()> watch_;
};

TEST_F(ScreensTest, EachLogoWaitsFullyFadedInAndTheScreenEndsBlack) {
  // Logo 1 (red, 12 x 10) lies at (180, 170), logo 2 (green) at (150, 120).
  Watch({{190, 178, plat::Color{255, 0, 0, 255}, "first"}, {155, 125, plat::Color{0, 255, 0, 255}, "second"}});
  ShowLogo();
  EXPECT_EQ(log, (std::vector<std::string>{"first", "second"}));
  // Both faded out: the background went back to black with them.
  EXPECT_EQ(Pixel(190, 178), plat::Color::Black());
  EXPECT_EQ(Pixel(155, 125), plat::Color::Black());
  EXPECT_EQ(Pixel(0, 0), plat::Color::Black());
}

TEST_F(ScreensTest, AFadeFrameGreysTheBackgroundWithThePicture) {
  plat::Texture t = Gfx.Device->LoadTexture(testpics::Bmp(10, 10, plat::Color{200, 100, 50}));
  FadeFrame(t, 30, 40, 128);
  EXPECT_EQ(Pixel(0, 0), (plat::Color{128, 128, 128, 255}));
  const plat::Color c = Pixel(35, 45);
  EXPECT_NEAR(c.r, 100, 1);
  EXPECT_NEAR(c.g, 50, 1);
  EXPECT_NEAR(c.b, 25, 1);
  FadeFrame(t, 30, 40, 255);
  EXPECT_EQ(Pixel(35, 45), (plat::Color{200, 100, 50, 255}));
  EXPECT_EQ(Pixel(0, 0), plat::Color::White());
}

TEST_F(ScreensTest, TheIntroPictureHidesTheFrameUntilAKey) {
  for (plat::Control* c : {ui::Form1.PbkUp, ui::Form1.PbkLeft, ui::Form1.PbkRight, ui::Form1.PBkDown1,
                           ui::Form1.PbkDown2, ui::Form1.Pminimap}) {
    c->Visible = true;
  }
  bool hiddenWhileShown = false;
  Watch({{300, 200, plat::Color{200, 0, 200, 255}, "intro"}});
  Post([&] { hiddenWhileShown = !ui::Form1.PbkUp->Visible && !ui::Form1.Pminimap->Visible; });
  ShowIntroPicture();
  EXPECT_EQ(log, (std::vector<std::string>{"intro"}));
  EXPECT_TRUE(hiddenWhileShown);
  EXPECT_TRUE(ui::Form1.PbkUp->Visible);
  EXPECT_TRUE(ui::Form1.PbkDown2->Visible);
  EXPECT_TRUE(ui::Form1.Pminimap->Visible);
  // The picture is scaled to 400 x 200 at (150, 100) on black.
  EXPECT_EQ(Pixel(151, 101), (plat::Color{200, 0, 200, 255}));
  EXPECT_EQ(Pixel(549, 299), (plat::Color{200, 0, 200, 255}));
  EXPECT_EQ(Pixel(149, 101), plat::Color::Black());
  EXPECT_EQ(Pixel(550, 299), plat::Color::Black());
}

TEST_F(ScreensTest, TheEndingShowsThreePicturesThenEnds) {
  testsupport::ScopedFakeClock clock;
  G.Player.ID = "测试";
  G.GAMELEVEL = 1;
  G.Et[19] = 1;
  G.Et[5] = 7;
  G.Player.HpMax = 90;
  G.Player.MpMax = 40;
  ui::Form1.Pspt->Visible = true;
  Watch({{300, 200, plat::Color{0, 0, 200, 255}, "2"},
         {300, 200, plat::Color{0, 200, 200, 255}, "3"},
         {300, 200, plat::Color{200, 200, 0, 255}, "4"}});
  EXPECT_THROW(GameEnding(), plat::ProgramEnded);
  EXPECT_EQ(log, (std::vector<std::string>{"2", "3", "4"}));
  EXPECT_EQ(clock.clock.TotalSlept(), 400);  // 200 ms after the second and the third
  EXPECT_FALSE(ui::Form1.Pspt->Visible);
  EXPECT_FALSE(ui::Form1.PbkUp->Visible);
  EXPECT_EQ(G.Et[19], 0);
  EXPECT_EQ(G.Et[5], 0);
  EXPECT_EQ(G.Et[20], 1);
  EXPECT_EQ(G.Player.HP, 90);
  EXPECT_EQ(G.Player.Mp, 40);
  EXPECT_EQ(Gfx.Device, nullptr);
}

TEST(EndingRules, TheUnlockRisesByDifficultyAndNeverFalls) {
  struct Case {
    int level, before, after;
  };
  const Case cases[] = {{1, 0, 1}, {1, 1, 1}, {1, 2, 2}, {2, 0, 2}, {2, 1, 2},
                        {2, 2, 2}, {3, 0, 1}, {3, 1, 1}, {3, 2, 2}};
  for (const Case& c : cases) {
    G = GameState{};
    G.GAMELEVEL = static_cast<std::uint8_t>(c.level);
    G.Et[20] = c.before;
    for (int i = 0; i <= 40; ++i) {
      if (i != 20) G.Et[static_cast<std::size_t>(i)] = i + 1;
    }
    G.MainMap = 4;
    G.SubMap = 3;
    G.GoX = 50;
    G.Player.MapS = 6;
    G.Player.HP = 1;
    G.Player.HpMax = 100;
    ResetCharacterForNextGame();
    EXPECT_EQ(G.Et[20], c.after) << "difficulty " << c.level << ", unlock " << c.before;
    for (int i = 0; i <= 40; ++i) {
      if (i != 20) {
        EXPECT_EQ(G.Et[static_cast<std::size_t>(i)], 0) << i;
      }
    }
    EXPECT_EQ(G.MainMap, 1);
    EXPECT_EQ(G.SubMap, 1);
    EXPECT_EQ(G.GoMain, 1);
    EXPECT_EQ(G.GoSub, 1);
    EXPECT_EQ(G.GoX, 13);
    EXPECT_EQ(G.GoY, 13);
    EXPECT_EQ(G.Player.MapS, 0);
    EXPECT_EQ(G.Player.HP, 100);
  }
  G = GameState{};
}

}  // namespace
