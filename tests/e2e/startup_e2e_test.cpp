// The real program on a copy of the sample game folder: the start-up to the title
// screen, driven by key presses, and the quit question; and the files the start-up reads.
#include <SDL.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/game_state.h"
#include "e2e/program_driver.h"
#include "graphics/device.h"
#include "graphics/number_table.h"
#include "graphics/pictures.h"
#include "graphics/resources.h"
#include "graphics/startup_assets.h"
#include "platform/files.h"
#include "platform/forms.h"
#include "platform/paths.h"
#include "platform/process.h"
#include "platform/render.h"
#include "platform/sdl_host.h"
#include "support/test_support.h"
#include "window/form1.h"
#include "ui/program.h"
#include "window/window_system.h"

namespace {

namespace fs = std::filesystem;
using e2e::PixelOf;
using plat::Color;

bool IsWhite(Color c) { return c.r == 255 && c.g == 255 && c.b == 255; }
// A pixel of white text: grey or white (the glyphs' edges are smoothed into the black).
bool IsTextWhite(Color c) { return c.r == c.g && c.g == c.b && c.r >= 128; }
bool IsBlack(Color c) { return c.r == 0 && c.g == 0 && c.b == 0; }

// What the title screen showed when the program first got there.
struct TitleSeen {
  bool reached = false;
  bool menuVisible = false, listVisible = false;
  std::vector<std::string> rows;
  int titlePixels = 0;  // white text pixels where the title line stands
  int strayPixels = 0;  // anything but black elsewhere on the game screen
  int panelPixels = 0;  // non-black pixels of the title panel in the window
};

TitleSeen LookAtTitle(plat::SdlHost& host) {
  TitleSeen t;
  t.reached = true;
  t.menuVisible = ui::Form1.MainMeun->Visible;
  t.listVisible = ui::Form1.IdList->IsShown();
  t.rows = ui::Form1.IdList->Items;
  // The game screen: the title line in white from (20, 420), black everywhere else.
  const auto screen = e2e::ReadTarget(host, host.GameScreenTarget());
  const plat::Rect line{20, 418, 300, 22};
  for (int y = 0; y < plat::kGameScreenHeight; ++y) {
    for (int x = 0; x < plat::kGameScreenWidth; ++x) {
      const Color c = PixelOf(screen, plat::kGameScreenWidth, x, y);
      if (line.Contains(x, y)) {
        t.titlePixels += IsTextWhite(c) ? 1 : 0;
      } else {
        t.strayPixels += IsBlack(c) ? 0 : 1;
      }
    }
  }
  // The window: the title panel (left 2280, top 600, 6030 x 5730 twips) is drawn.
  host.DrawForm();
  const auto window = e2e::ReadTarget(host, plat::Texture{});
  const int width = host.Render().OutputSize().w;
  for (int y = 40; y < 40 + 382; y += 3) {
    for (int x = 152; x < 152 + 402; x += 3) t.panelPixels += IsBlack(PixelOf(window, width, x, y)) ? 0 : 1;
  }
  return t;
}

class StartupE2e : public ::testing::Test {
 protected:
  void SetUp() override {
    e2e::CopyGameFolder(dir.path());
    e2e::WriteSave(dir.path(), {"阿青", "战士", 7, "2024-03-05 08:09:10", "普通"});
    e2e::WriteSave(dir.path(), {"Bob", "法师", 12, "2024-11-30 21:00:00", "专家"});
    // Not saves: another extension, and the right one in other letters.
    ASSERT_TRUE(plat::WriteAllBytes(dir / "Save/readme.txt", {'x'}));
    fs::copy_file(dir / "Save/Bob.kzs", dir / "Save/Old.KZS");
    saves = SaveBytes();
  }

  std::vector<std::vector<std::uint8_t>> SaveBytes() {
    std::vector<std::vector<std::uint8_t>> out;
    for (const char* name : {"Save/Bob.kzs", "Save/阿青.kzs", "Save/Old.KZS"}) {
      out.push_back(plat::ReadAllBytes(dir / name).value_or(std::vector<std::uint8_t>{}));
    }
    return out;
  }

  testsupport::TempDir dir;
  std::vector<std::vector<std::uint8_t>> saves;
  e2e::ProgramRun run;
  testsupport::ScopedEndThrows ends;
};

TEST_F(StartupE2e, StartsToTheTitleScreenAndAsksBeforeQuitting) {
  e2e::WatchingClock clock;
  e2e::LogoKeys logoKeys(clock, {SDLK_RETURN, SDLK_SPACE});
  e2e::KeyboardAnswers answers;
  TitleSeen title;
  int titlePasses = 0;
  bool runningAfterCancel = false;

  ui::ProgramHooks hooks;
  hooks.folder = dir.path();
  hooks.windowOpened = [&](plat::SdlHost& host) {
    logoKeys.Attach(host);
    answers.Attach(host);
  };
  hooks.leaveTitle = [&](plat::SdlHost& host) {
    ++titlePasses;
    if (titlePasses == 1) {
      title = LookAtTitle(host);
      // The window's close button (the system's quit): answered Cancel.
      answers.answers.push_back(SDLK_ESCAPE);
      SDL_Event quit{};
      quit.type = SDL_QUIT;
      SDL_PushEvent(&quit);
      return false;
    }
    if (titlePasses == 2) {
      runningAfterCancel = answers.shown.size() == 1 && ui::Form1.MainMeun->Visible && Gfx.Device != nullptr;
      // Closed again, through the window: answered OK, which ends the program.
      answers.answers.push_back(SDLK_RETURN);
      SDL_Event close{};
      close.type = SDL_WINDOWEVENT;
      close.window.event = SDL_WINDOWEVENT_CLOSE;
      close.window.windowID = SDL_GetWindowID(host.Window());
      SDL_PushEvent(&close);
      return false;
    }
    ADD_FAILURE() << "the program went on after the quit was confirmed";
    return true;
  };

  try {
    ui::RunProgram(hooks);
    FAIL() << "the program left the title screen without ending";
  } catch (const plat::ProgramEnded& e) {
    EXPECT_EQ(e.code, 0);
  }

  // Both logos waited for their key, each fully shown (the fade ends on white), and the
  // title panel came only after the second.
  ASSERT_EQ(logoKeys.taps.size(), 2u);
  for (const auto& tap : logoKeys.taps) {
    EXPECT_FALSE(tap.titleShown);
    EXPECT_TRUE(IsWhite(tap.screen));
  }

  ASSERT_TRUE(title.reached);
  EXPECT_TRUE(title.menuVisible);
  EXPECT_TRUE(title.listVisible);
  // One row per save, in file-name order: name padded to 9 bytes (2 a Chinese
  // character), class, level padded to 2, date, account mode.
  EXPECT_EQ(title.rows, (std::vector<std::string>{
                            "Bob       法师 等级：12 2024-11-30 21:00:00 专家",
                            "阿青      战士 等级：7  2024-03-05 08:09:10 普通",
                        }));
  EXPECT_GT(title.titlePixels, 60) << title.titlePixels;
  EXPECT_EQ(title.strayPixels, 0);
  EXPECT_GT(title.panelPixels, 1000);

  // The close asked; Cancel kept everything; the second close asked again and OK ended.
  EXPECT_EQ(answers.shown, (std::vector<std::string>{"确实要退出游戏吗？", "确实要退出游戏吗？"}));
  EXPECT_EQ(answers.results, (std::vector<int>{plat::kCancel, plat::kOk}));
  EXPECT_TRUE(runningAfterCancel);
  EXPECT_EQ(titlePasses, 2);
  EXPECT_EQ(Gfx.Device, nullptr);  // EndGame let everything go
  // Listing and quitting changed no file of the save folder and added none.
  EXPECT_TRUE(SaveBytes() == saves);
  EXPECT_EQ(plat::ListFiles(dir.path() / "Save").size(), 4u);
}

TEST_F(StartupE2e, AHookLeavingTheTitleScreenReturnsAndTheProgramCanRunAgain) {
  for (int round = 1; round <= 2; ++round) {
    SCOPED_TRACE(round);
    e2e::WatchingClock clock;
    e2e::LogoKeys logoKeys(clock, {SDLK_SPACE, SDLK_RETURN});
    ui::ProgramHooks hooks;
    hooks.folder = dir.path();
    hooks.windowOpened = [&](plat::SdlHost& host) { logoKeys.Attach(host); };
    int rows = -1;
    hooks.leaveTitle = [&](plat::SdlHost&) {
      rows = ui::Form1.IdList->ListCount();
      return true;
    };
    EXPECT_EQ(ui::RunProgram(hooks), 0);
    EXPECT_EQ(logoKeys.taps.size(), 2u);
    EXPECT_EQ(rows, 2);
    // Nothing is left pointing at the closed window.
    EXPECT_EQ(Gfx.Device, nullptr);
    EXPECT_FALSE(Gfx.ShowFrame);
    EXPECT_FALSE(ui::MainWindowSystem.Minimize);
  }
}

// --- the files the start-up reads

class StartupFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = plat::ProgramFolder();
    plat::SetProgramFolder(testsupport::GameDir());
    device = plat::Renderer::CreateHeadless(8, 8);
  }
  void TearDown() override { plat::SetProgramFolder(previous_); }

  bool Exists(const std::string& gamePath) { return plat::FileExists(plat::ResolvePath(gamePath)); }

  // A picture of a pack that the start-up loads: its record, its bytes and a picture in them.
  void ExpectPackPicture(const std::string& base, long n) {
    SCOPED_TRACE(base + " picture " + std::to_string(n));
    ASSERT_TRUE(ReadPackRecord(base, n).has_value()) << "no usable index record";
    const auto bytes = ReadPackPicture(base, n);
    ASSERT_TRUE(bytes.has_value()) << "the record lies outside the data file";
    plat::Texture t = device->LoadTexture(*bytes);
    EXPECT_TRUE(t) << device->LastError();
    device->ReleaseTexture(t);
  }

  void ExpectPictureFile(const std::string& gamePath) {
    SCOPED_TRACE(gamePath);
    ASSERT_TRUE(Exists(gamePath));
    plat::Texture t = device->LoadTextureFile(plat::ResolvePath(gamePath).string());
    EXPECT_TRUE(t) << device->LastError();
    device->ReleaseTexture(t);
  }

  void ExpectOffsetTable(const std::string& gamePath, int frames) {
    SCOPED_TRACE(gamePath);
    ASSERT_TRUE(Exists(gamePath));
    testsupport::ScopedDialogs dialogs;
    testsupport::ScopedEndThrows ends;
    std::vector<FrameOffset> table;
    EXPECT_NO_THROW(table = ReadOffsetTable(gamePath, frames));
    EXPECT_TRUE(dialogs.dialogs.shown.empty());
    EXPECT_EQ(table.size(), static_cast<std::size_t>(frames) + 1);
  }

  std::unique_ptr<plat::Renderer> device;

 private:
  fs::path previous_;
};

TEST_F(StartupFiles, TheDeviceAndTheDatabasesFindTheirFiles) {
  ExpectPictureFile("\\date\\Item\\1.bmp");
  EXPECT_TRUE(Exists("\\DisplayMemory.cfg"));
  // The three data connections and the save template.
  for (const char* db :
       {"\\Date\\Mon\\75.dat", "\\Date\\rpg\\21.dat", "\\Date\\Mon\\74.dat", "\\date\\Sk.dat"}) {
    SCOPED_TRACE(db);
    EXPECT_TRUE(Exists(db));
    EXPECT_GT(plat::FileLength(plat::ResolvePath(db)).value_or(0), 20u);
  }
  EXPECT_TRUE(fs::is_directory(plat::ResolvePath("\\Save")));
}

TEST_F(StartupFiles, TheLogosLoadingScreenAndHudPicturesOfTheGamePack) {
  // 5, 6 the logos; 7, 8 the loading screen; 9 to 15 the head-up display.
  for (long n = 5; n <= 15; ++n) ExpectPackPicture("\\date\\Game", n);
}

TEST_F(StartupFiles, EveryHeadFrameWithItsOffsets) {
  for (long n = 1; n <= kPlayerFrameLast; ++n) ExpectPackPicture("\\date\\Rpg\\Head", n);
  ExpectOffsetTable("\\date\\Rpg\\Head.zb", kPlayerFrameLast);
}

TEST_F(StartupFiles, EveryNpcAndMonsterOffsetTable) {
  for (int n = 1; n <= kNpcPictureLast; ++n)
    ExpectOffsetTable("\\date\\NPC\\" + std::to_string(n) + ".zb", kNpcFrameLast);
  for (int m = 1; m <= kMonsterPictureLast; ++m) {
    ExpectOffsetTable("\\date\\Mon\\" + std::to_string(m) + ".zb", kMonsterFrameLast);
  }
}

TEST_F(StartupFiles, DigitsAndEffectPictures) {
  for (int d = 0; d <= kDigitLast; ++d) ExpectPictureFile("\\date\\Number\\" + std::to_string(d) + ".bmp");
  for (const char* p : {"\\date\\Mgc\\Tz.tga", "\\date\\Mgc\\Sp.bmp", "\\date\\Mgc\\Lj.bmp"})
    ExpectPictureFile(p);
}

}  // namespace
